// qpx-cli import IMAGE MODEL TABLE.db [--append]: what New (or Append) does after a download.
#include "cli.h"

#include "base/messages.h"
#include "data/measurementtable.h"
#include "data/memoryimage.h"
#include "data/memoryimport.h"
#include "dbase/dbftable.h"

namespace {

// Messages of the import go to stderr.
class StderrSink : public MessageSink
{
public:
    void showMessage(const QString &text, const QString &, MessageIcon) override { cli::err(text); }
};

} // namespace

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

        DbfTable table(Measurement::schema());
        table.setFileName(positional[2]);
        StderrSink sink;
        if (!append) {
            if (image.recordCount() == 0) {
                cli::err(QStringLiteral("Архив прибора пуст!"));
                return int(cli::Failed);
            }
            requireWholeImage(image);
            table.create();
            table.open();
            importImage(table, image, device, false, &sink);
        } else {
            table.open();
            if (const QString damaged = damagedRecordsText(table); !damaged.isEmpty())
                cli::err(damaged);
            importImage(table, image, device, true, &sink);
        }
        table.close();
        return int(cli::Ok);
    });
}
