// qpx-cli: the program's core without windows, for scripts, tests and demos.
#include "cli.h"
#include "clisystem.h"

#include "base/regional.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {

// Qt's own diagnostics (platform plugin, fonts, printing: "QStandardPaths: XDG_RUNTIME_DIR not
// set", "QPainter::begin(): Returned false") are not for the user of a script: qpx-cli prints only
// its own messages, and reports its failures itself. A fatal message still ends the program.
void dropQtMessages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtFatalMsg)
        cli::err(text);
}

bool isHelp(const QString &word)
{
    return word == QLatin1String("--help") || word == QLatin1String("-h");
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(dropQtMessages);
    // A file size limit (ulimit -f) then fails the write, which is reported like a full disk.
#ifdef SIGXFSZ // POSIX only: Windows has no file size limit signal
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // Output goes out byte for byte as on Linux: the dump's CR LF stays CR LF and usage lines end
    // in LF (on Windows the C library would add a CR before every LF).
    cli::prepareStreams();
    const QString word = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (isHelp(word)) {
        cli::write(stdout, cli::programUsage());
        return cli::Ok;
    }
    if (word == QLatin1String("--version")) {
        cli::out(QStringLiteral("qpx-cli " QPX_VERSION_TEXT));
        return cli::Ok;
    }
    const cli::Command *command = cli::findCommand(word);
    if (!command) {
        if (!word.isEmpty())
            cli::err(QStringLiteral("qpx-cli: unknown command \"%1\"").arg(word));
        cli::write(stderr, cli::programUsage());
        return cli::BadUsage;
    }
    cli::setRunningCommand(command);
    for (int i = 2; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--"))
            break; // what follows are operands, "--help" a file so named
        if (isHelp(arg)) {
            cli::write(stdout, cli::commandUsage(*command));
            return cli::Ok;
        }
    }

    std::unique_ptr<QCoreApplication> app;
    if (command->needsGui) {
        const char *platform = cli::drawingPlatform();
        if (platform && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", platform);
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // Numbers and dates follow the locale the environment names (LANG=ru_RU.UTF-8: decimal comma).
    Regional::setCurrent(Regional::fromEnvironment());

    QStringList args = app->arguments().mid(2);
    if (const qsizetype end = args.indexOf(QStringLiteral("--")); end >= 0) {
        args.removeAt(end);
        cli::setOperandsFrom(int(end));
    }
    return command->run(args);
}
