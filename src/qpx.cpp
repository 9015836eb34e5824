// Program entry of qpx: the application object and its title, Qt's own Russian texts, the six
// windows created once and hidden (main window first), the splash window for three seconds, then
// the message loop with the main window maximised.
#include "app/about.h"
#include "app/logo.h"
#include "app/main.h"
#include "app/qttexts.h"
#include "base/regional.h"
#include "device/widgets/receive.h"
#include "output/widgets/graf.h"
#include "output/widgets/param_graf.h"
#include "ui/apptitle.h"

#include <QApplication>
#include <csignal>
#include <memory>

int main(int argc, char *argv[])
{
    // A file size limit (ulimit -f) then fails the write, which is reported like a full disk,
    // instead of killing the program without a word.
#ifdef SIGXFSZ // POSIX only: Windows has no file size limit signal
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Norvelt"));
    QCoreApplication::setApplicationName(QStringLiteral("QPX"));
    QCoreApplication::setApplicationVersion(fileVersionText());
    setApplicationTitle(programTitle());
    // Numbers and dates in the table follow the operator's regional settings.
    Regional::setCurrent(Regional::fromEnvironment());

    installRussianQtTexts();

    // The splash window must not end the program when it closes before the main window is shown.
    app.setQuitOnLastWindowClosed(false);

    TForm1 Form1;
    auto Form2 = std::make_unique<TForm2>(&Form1);
    auto Form3 = std::make_unique<TForm3>(&Form1.Dbf1(), &Form1);
    auto Form4 = std::make_unique<TForm4>(&Form1.Dbf1(), &Form1);
    auto Form5 = std::make_unique<TForm5>();
    auto Form6 = std::make_unique<Tform6>(&Form1);
    Form1.setDownloadDialog(Form2.get());
    Form1.setChartWindows(Form3.get(), Form4.get());
    Form1.setAboutBox(Form6.get());
    QApplication::setWindowIcon(Form1.windowIcon());

    Form5->exec();
    Form5.reset();

    Form1.show();
    app.setQuitOnLastWindowClosed(true);
    const int result = app.exec();
    // The windows that refer to the main window's table go before it.
    Form6.reset();
    Form4.reset();
    Form3.reset();
    Form2.reset();
    return result;
}
