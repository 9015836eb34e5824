// qpx-shots: the program photographs its own windows, for the README and for the operator's
// manual. Not a test. Run under a display server with a window manager, so that the pictures show
// the windows as the operator sees them (scripts/manual-pictures does this under Xvfb):
//
//   qpx-shots readme DIR [TABLE.db]   splash, main window, about box, download dialog
//   qpx-shots manual DIR [MANUAL.html] the pictures of the manual (docs/manual/qpx-help)
//
// The settings store is a temporary one; the operator's own settings are never touched.
#include "app/about.h"
#include "app/helpwindow.h"
#include "app/logo.h"
#include "app/main.h"
#include "app/qttexts.h"
#include "base/regional.h"
#include "base/settingsstore.h"
#include "components/widgets/dbgrid.h"
#include "components/widgets/reportpreview.h"
#include "data/measurementtable.h"
#include "data/memoryimport.h"
#include "device/widgets/portsdialog.h"
#include "device/widgets/receive.h"
#include "output/widgets/graf.h"
#include "output/widgets/param_graf.h"
#include "simulator/ptyinstrument.h"
#include "ui/apptitle.h"
#include "ui/prompts.h"
#include "view/widgets/tablecontroller.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

// One stored reading of the instrument's memory.
struct Reading
{
    double grams;
    int series; // 0: operative weighing
    QDateTime at;
};

// Writes the readings into the memory image as the instrument stores them (model index 5:
// tenths of a gram).
void fillImage(const QList<Reading> &readings)
{
    MemoryImage &image = memoryImage();
    image.clear();
    image.set(0, quint8(readings.size() & 0xff));
    image.set(1, quint8(readings.size() >> 8));
    for (int k = 0; k < readings.size(); ++k) {
        const Reading &r = readings[k];
        const int p = 2 + 12 * k;
        const quint32 raw = quint32(qRound(std::abs(r.grams) * 10));
        for (int i = 0; i < 4; ++i)
            image.set(p + i, quint8(raw >> (8 * i)));
        image.set(p + 4, r.grams < 0 ? 1 : 0);
        image.set(p + 5, quint8(r.series));
        const QTime t = r.at.time();
        const QDate d = r.at.date();
        image.set(p + 6, quint8(t.second()));
        image.set(p + 7, quint8(t.minute()));
        image.set(p + 8, quint8(t.hour()));
        image.set(p + 9, quint8(d.day()));
        image.set(p + 10, quint8(d.month()));
        image.set(p + 11, quint8(d.year() - 2000));
    }
}

// A laboratory's two days: three samples drying (observation series 1 to 3, their mass falling
// over time) among operative weighings.
QList<Reading> labDays()
{
    QList<Reading> out;
    const QDateTime start(QDate(2026, 3, 16), QTime(8, 12, 5));
    const double startMass[] = {152.4, 87.3, 12.6};
    const double loss[] = {0.42, 0.21, 0.27};
    for (int step = 0; step < 14; ++step) {
        const QDateTime at = start.addSecs(qint64(step) * 47 * 60);
        if (step % 4 == 1)
            out.append({250.0 + step * 0.1, 0, at.addSecs(-300)});
        for (int s = 0; s < 3; ++s) {
            const double m = startMass[s] - loss[s] * step * (1.0 - step * 0.025);
            out.append({std::round(m * 10) / 10, s + 1, at.addSecs(s * 95 + 13)});
        }
    }
    out.append({1003.5, 0, start.addDays(1).addSecs(3600)});
    return out;
}

QString makeTable(const QDir &dir, const QList<Reading> &readings)
{
    fillImage(readings);
    DeviceInfo device;
    device.ModelIndex = 5;
    device.TypeCode = 3;
    QString file = dir.filePath(QStringLiteral("2026-03.db"));
    DbfTable table(Measurement::schema());
    table.setFileName(file);
    table.create();
    table.open();
    importImage(table, memoryImage(), device, false, nullptr);
    // A few comments, as an operator would leave them.
    const QStringList comments{QStringLiteral("образец 1: глина, сушка 105 °C"), QString(), QString(),
                               QStringLiteral("образец 3: песок")};
    table.first();
    for (const QString &c : comments) {
        if (!c.isEmpty()) {
            table.edit();
            table.setText(Measurement::COMMENT, c);
            table.post();
        }
        table.next();
    }
    table.close();
    return file;
}

// Lets the windows settle: the window manager frames and places them, timers draw.
void settle(int ms = 350)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The window as it is on the screen, frame and open menus included, when a display server with a
// window manager shows it; otherwise the window's own contents.
bool save(QWidget *w, const QString &path, int settleMs = 350)
{
    settle(settleMs);
    QImage picture;
    if (QGuiApplication::platformName() == QLatin1String("xcb") && w->screen()) {
        const QRect r = w->frameGeometry();
        picture = w->screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
    }
    if (picture.isNull())
        picture = w->grab().toImage();
    if (!picture.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// Runs `act` on the first modal window that `find` accepts, once it is on the screen; the command
// that opens the window is then started by the caller and blocks until `act` closes it.
void whenModal(const std::function<bool(QWidget *)> &find, const std::function<void(QWidget *)> &act)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, find, act] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || !find(w))
            return;
        poll->stop();
        poll->deleteLater();
        act(w);
    });
    poll->start(50);
}

template <class T> bool is(QWidget *w)
{
    return qobject_cast<T *>(w) != nullptr;
}

// The real dialogs, except that the colour dialog answers at once with a pale yellow.
class ShotPrompts : public QtPrompts
{
public:
    bool chooseColor(QColor *color) override
    {
        *color = QColor(255, 255, 190);
        return true;
    }
};

// The devices behind "\\.\COM1" and "\\.\COM2", in the program's own settings key.
void pointPortsAt(const QString &com1, const QString &com2)
{
    const std::unique_ptr<QSettings> key = SettingsStore::open();
    key->setValue(QStringLiteral("Ports/COM1"), com1);
    key->setValue(QStringLiteral("Ports/COM2"), com2);
    key->sync();
}

// The download dialog against the simulated instrument, photographed part-way through.
bool shootDownload(QWidget *parent, const QString &path)
{
    InstrumentOptions options;
    options.model = 5;
    options.image = InstrumentSimulator::generateImage(300, 5);
    PtyInstrument instrument(options);
    QString error;
    if (!instrument.start(&error)) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", qPrintable(error));
        return false;
    }
    pointPortsAt(instrument.slavePath(), QStringLiteral("/dev/null/none"));
    TForm2 download(parent);
    QTimer poll;
    bool taken = false;
    QObject::connect(&poll, &QTimer::timeout, &download, [&] {
        if (!taken && download.ProgressBar1->value() >= 40) {
            taken = true;
            save(&download, path, 0);
        }
    });
    poll.start(20);
    download.exec();
    return taken;
}

QMenu *barMenu(TForm1 &form, int index)
{
    const QList<QAction *> items = form.menuBar()->actions();
    return index < items.size() ? items[index]->menu() : nullptr;
}

// The main window with one of its menus pulled down.
void shootMenu(TForm1 &form, int index, const QString &path)
{
    QMenu *menu = barMenu(form, index);
    if (!menu)
        return;
    QMenuBar *bar = form.menuBar();
    menu->popup(bar->mapToGlobal(bar->actionGeometry(bar->actions()[index]).bottomLeft()));
    save(&form, path, 500);
    menu->hide();
}

int readmePictures(const QDir &out, const QString &givenTable, const QDir &work)
{
    const QString table = givenTable.isEmpty() ? makeTable(work, labDays()) : givenTable;

    TForm5 splash;
    splash.show();
    save(&splash, out.filePath(QStringLiteral("splash.png")));
    splash.hide();

    TForm1 form;
    form.showNormal();
    form.resize(1024, 640);
    save(&form, out.filePath(QStringLiteral("main-no-table.png")));
    form.Open_DB(table);
    save(&form, out.filePath(QStringLiteral("main-table-open.png")));

    Tform6 about(&form);
    about.show();
    save(&about, out.filePath(QStringLiteral("about.png")));
    about.hide();
    return shootDownload(&form, out.filePath(QStringLiteral("download.png"))) ? 0 : 1;
}

int manualPictures(const QDir &out, const QString &manual, const QDir &work)
{
    ShotPrompts prompts;
    Prompts::setInstance(&prompts);
    const QString table = makeTable(work, labDays());
    auto file = [&out](const char *name) { return out.filePath(QString::fromLatin1(name)); };

    TForm1 form;
    form.showNormal();
    form.setGeometry(40, 40, 640, 440); // the manual shows pictures at their own size
    save(&form, file("main-empty.png"), 600);

    // The download dialog first: it needs the simulated instrument on COM1.
    shootDownload(&form, file("download.png"));

    // "Прибор не обнаружен!": both ports lead nowhere, the dialog gives up after two waits.
    pointPortsAt(QStringLiteral("/dev/null/none1"), QStringLiteral("/dev/null/none2"));
    {
        TForm2 download(&form);
        whenModal(is<QMessageBox>, [&file](QWidget *box) {
            save(box, file("no-instrument.png"));
            static_cast<QMessageBox *>(box)->done(QMessageBox::Ok);
        });
        download.exec();
    }

    form.Open_DB(table);
    DbGrid *grid = form.tableController()->dbGrid();
    // Series 2 selected: the footers show its minimum / mean / maximum; the mass column coloured.
    grid->setCurrentCell(0, 5);
    form.N17Click();
    QList<int> series2;
    for (int rec = 1; rec <= form.Dbf1().physicalRecordCount(); ++rec) {
        if (form.Dbf1().text(rec, form.Dbf1().fieldIndex(QStringLiteral("T_2"))).trimmed() ==
            QStringLiteral("2"))
            series2 << rec;
    }
    grid->selectRecords(series2.mid(1, 4));
    save(&form, file("grid.png"));

    shootMenu(form, 0, file("menu-file.png"));
    shootMenu(form, 1, file("menu-view.png"));
    shootMenu(form, 3, file("menu-service.png"));

    grid->clearSelection();
    form.N19Click();
    grid->titleClick(5, Qt::NoModifier); // "Масса, г", first click: descending, as text
    save(&form, file("grid-sorted.png"));
    form.N33Click();

    form.PopupMenu1->popup(grid->mapToGlobal(QPoint(240, 90)));
    save(&form, file("popup-menu.png"), 500);
    form.PopupMenu1->hide();

    // The close question, answered "No" (nothing was edited).
    emit form.tableController()->editStarted();
    whenModal(is<QMessageBox>, [&file](QWidget *box) {
        save(box, file("save-question.png"));
        static_cast<QMessageBox *>(box)->done(QMessageBox::No);
    });
    form.N7Click();
    form.Open_DB(table);

    // Report preview.
    whenModal(is<Report::PreviewWindow>, [&file](QWidget *w) {
        w->setGeometry(60, 60, 640, 480);
        save(w, file("report-preview.png"), 800);
        static_cast<QDialog *>(w)->reject();
    });
    form.N8Click();

    // The chart: the parameters dialog with series 1, then the chart window.
    TForm3 form3(&form.Dbf1(), &form);
    TForm4 form4(&form.Dbf1(), &form);
    form.setChartWindows(&form3, &form4);
    whenModal(is<TForm4>, [&file, &form3](QWidget *w) {
        auto *params = static_cast<TForm4 *>(w);
        params->Edit1->setText(QStringLiteral("1"));
        save(params, file("chart-params.png"));
        whenModal(is<TForm3>, [&file](QWidget *chart) {
            chart->resize(640, 440);
            save(chart, file("chart.png"), 800);
            static_cast<QDialog *>(chart)->reject();
        });
        params->Button1Click();
        Q_UNUSED(form3);
    });
    form.N15Click();

    // "Данной серии измерений не существует".
    whenModal(is<TForm4>, [&file](QWidget *w) {
        auto *params = static_cast<TForm4 *>(w);
        params->Edit1->setText(QStringLiteral("9"));
        whenModal(is<QMessageBox>, [&file, params](QWidget *box) {
            save(box, file("no-series.png"));
            static_cast<QMessageBox *>(box)->done(QMessageBox::Ok);
            QTimer::singleShot(100, params, &QDialog::reject);
        });
        params->Button1Click();
    });
    form.N15Click();

    Tform6 about(&form);
    about.show();
    save(&about, file("about.png"));
    about.hide();

    // "Настройка портов" with the first serial port assigned to COM1.
    pointPortsAt(QString(), QString());
    {
        TPortsDialog ports(&form);
        ports.show();
        ports.resize(640, 400);
        ports.PortList->selectRow(0);
        ports.Com1Assign->click();
        save(&ports, file("ports-dialog.png"), 700);
        ports.reject();
    }

    // The help window on the manual itself.
    if (!manual.isEmpty()) {
        HelpWindow help;
        if (help.showFile(manual)) {
            help.setGeometry(60, 60, 720, 480);
            help.findField()->setText(QStringLiteral("dialout"));
            help.findNext();
            save(&help, file("help-window.png"), 700);
        }
    }
    form.N7Click();
    Prompts::setInstance(nullptr);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setApplicationTitle(programTitle());
    Regional::setCurrent(Regional::russian());
    installRussianQtTexts();
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());

    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString mode = args.value(0);
    if ((mode != QLatin1String("readme") && mode != QLatin1String("manual")) || args.size() < 2) {
        std::fprintf(stderr, "usage: qpx-shots readme DIR [TABLE.db]\n"
                             "       qpx-shots manual DIR [MANUAL.html]\n");
        return 2;
    }
    const QDir out(args[1]);
    if (!out.exists()) {
        std::fprintf(stderr, "no folder %s\n", qPrintable(args[1]));
        return 1;
    }
    const QDir work(settingsDir.path());
    return mode == QLatin1String("readme") ? readmePictures(out, args.value(2), work)
                                           : manualPictures(out, args.value(2), work);
}
