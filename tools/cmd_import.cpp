// qpx-cli import IMAGE MODEL TABLE.db [--append]: what New (or Append) does after a download.
#include "cli.h"

#include "data/dbftable.h"
#include "data/measurementtable.h"
#include "data/memoryimage.h"
#include "data/memoryimport.h"
#include "data/messages.h"

#include <QFile>

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
    for (const QString &a : args) {
        if (a == QLatin1String("--append"))
            append = true;
        else if (a.startsWith(QLatin1String("--")))
            return cli::usage(QStringLiteral("unknown option %1").arg(a));
        else
            positional.append(a);
    }
    if (positional.size() != 3)
        return cli::usage(QStringLiteral("import takes an image, a model index and a table file"));
    bool ok = false;
    const int model = positional[1].toInt(&ok);
    if (!ok || model < 1 || model > 10)
        return cli::usage(QStringLiteral("MODEL is the model index, 1 to 10"));

    return cli::guarded([&] {
        QFile file(positional[0]);
        if (!file.open(QIODevice::ReadOnly)) {
            cli::err(
                QStringLiteral("Не удаётся открыть файл «%1»: %2").arg(positional[0], file.errorString()));
            return int(cli::Failed);
        }
        if (file.size() > MemoryImage::Size) {
            cli::err(QStringLiteral("Файл «%1» больше памяти прибора (%2 байт).")
                         .arg(positional[0])
                         .arg(MemoryImage::Size));
            return int(cli::Failed);
        }
        MemoryImage &image = memoryImage();
        image.clear();
        const QByteArray bytes = file.readAll();
        std::copy(bytes.cbegin(), bytes.cend(), image.bytes.begin());
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
            table.create();
            table.open();
            flash2qpx01(table, image, device, false, &sink);
        } else {
            table.open();
            if (const QString damaged = damagedRecordsText(table); !damaged.isEmpty())
                cli::err(damaged);
            flash2qpx01(table, image, device, true, &sink);
        }
        table.close();
        return int(cli::Ok);
    });
}
