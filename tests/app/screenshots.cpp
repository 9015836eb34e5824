// Saves the pictures of the shell's windows for the README: the splash window, the main window in
// its no-table state and with a table open, the download dialog part-way through a download, and
// the about box. Run under a real display server, e.g.:
//   xvfb-run -a -s "-screen 0 1280x800x24" build/tests/app/shell_screenshots docs [table.db]
#include "app/about.h"
#include "app/apptitle.h"
#include "app/logo.h"
#include "app/main.h"
#include "data/memoryimport.h"
#include "data/regional.h"
#include "device/ptyinstrument.h"
#include "device/receive.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QProgressBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

namespace {

// A table of a day's readings: operative weighings and one observation series.
QString makeTable(const QDir &dir)
{
    MemoryImage &image = memoryImage();
    image.clear();
    const int count = 40;
    image.set(0, count);
    for (int k = 0; k < count; ++k) {
        const int p = 2 + 12 * k;
        const quint32 raw = 250000 + quint32(k) * 1370 - quint32(k % 7) * 4100;
        for (int i = 0; i < 4; ++i)
            image.set(p + i, quint8(raw >> (8 * i)));
        image.set(p + 5, k % 3 == 0 ? 0 : 7);
        image.set(p + 6, quint8((k * 17) % 60));
        image.set(p + 7, quint8((k % 6) * 10 + 1));
        image.set(p + 8, quint8(8 + k / 6));
        image.set(p + 9, 7);
        image.set(p + 10, 11);
        image.set(p + 11, 5);
    }
    DeviceInfo device;
    device.ModelIndex = 5;
    device.TypeCode = 3;
    const QString file = dir.filePath(QStringLiteral("2005.db"));
    DbfTable table;
    table.setFileName(file);
    table.create();
    table.open();
    flash2qpx01(table, image, device, false, nullptr);
    table.close();
    return file;
}

void save(QWidget *w, const QString &path)
{
    QCoreApplication::processEvents();
    if (!w->grab().save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setApplicationTitle(programTitle());
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());

    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
    const QString table = argc > 2 ? QString::fromLocal8Bit(argv[2]) : makeTable(QDir(settingsDir.path()));

    TForm5 splash;
    splash.show();
    save(&splash, out.filePath(QStringLiteral("splash.png")));
    splash.hide();

    TForm1 form;
    form.showNormal();
    form.resize(1024, 640);
    save(&form, out.filePath(QStringLiteral("main-no-table.png")));

    if (!table.isEmpty()) {
        form.Open_DB(table);
        save(&form, out.filePath(QStringLiteral("main-table-open.png")));
    }

    Tform6 about(&form);
    about.show();
    save(&about, out.filePath(QStringLiteral("about.png")));
    about.hide();

    // The download dialog against the simulated instrument, paced like the real line.
    InstrumentOptions options;
    options.model = 5;
    options.image = InstrumentSimulator::generateImage(300, 5);
    PtyInstrument instrument(options);
    QString error;
    if (!instrument.start(&error)) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", qPrintable(error));
        return 1;
    }
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Norvelt"),
                    QStringLiteral("QPX"));
        s.setValue(QStringLiteral("1.0/Ports/COM1"), instrument.slavePath());
    }
    TForm2 download(&form);
    QTimer poll;
    bool taken = false;
    QObject::connect(&poll, &QTimer::timeout, &download, [&] {
        if (!taken && download.ProgressBar1->value() >= 40) {
            taken = true;
            save(&download, out.filePath(QStringLiteral("download.png")));
        }
    });
    poll.start(20);
    download.exec();
    return 0;
}
