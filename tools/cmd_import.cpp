// qpx-cli import IMAGE MODEL TABLE.db [--append]: what New (or Append) does after a download.
#include "cli.h"

#include "data/measurementtable.h"
#include "data/memoryimage.h"
#include "data/memoryimport.h"
#include "data/tabledocument.h"
#include "dbase/dbftable.h"

int cmdImport(const QStringList &args)
{
    QStringList positional;
    bool append = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (!cli::isOption(args, i))
            positional.append(a);
        else if (a == QLatin1String("--append"))
            append = true;
        else
            return cli::usage(QStringLiteral("unknown option %1").arg(a));
    }
    if (positional.size() != 3)
        return cli::usage(QStringLiteral("import takes an image, a model index and a table file"));
    bool ok = false;
    const int model = positional[1].toInt(&ok);
    if (!ok || model < 1 || model > 10)
        return cli::usage(QStringLiteral("MODEL is the model index, 1 to 10"));

    return cli::guarded([&] {
        MemoryImage &image = memoryImage();
        readImageFile(positional[0], image);
        DeviceInfo &device = deviceInfo();
        device.ModelIndex = model;
        device.TypeCode = 3;

        cli::StderrSink sink;
        if (!append) {
            // New, as the main window makes it; an empty archive is reported and makes no table.
            TableDocument document{QString()};
            document.create(positional[2], sink);
            if (!document.isOpen())
                return int(cli::Failed);
            document.table().close();
        } else {
            DbfTable table(Measurement::schema());
            table.setFileName(positional[2]);
            table.open();
            if (const QString damaged = damagedRecordsText(table); !damaged.isEmpty())
                cli::err(damaged);
            importImage(table, image, device, true, &sink);
            table.close();
        }
        return int(cli::Ok);
    });
}
