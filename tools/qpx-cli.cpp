// qpx-cli: the program's core without windows, for scripts, tests and demos.
#include "cli.h"

#include "data/regional.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <csignal>
#include <map>
#include <memory>

namespace {

struct Command
{
    int (*run)(const QStringList &);
    bool needsGui; // draws with QPainter on fonts, so it needs a (possibly offscreen) GUI application
    const char *summary;
};

const std::map<QString, Command> &commands()
{
    static const std::map<QString, Command> table{
        {QStringLiteral("dump"),
         {cmdDump, false, "dump TABLE.db                       print the live rows as CSV"}},
        {QStringLiteral("import"),
         {cmdImport, false, "import IMAGE MODEL TABLE.db [--append]  import a memory image"}},
        {QStringLiteral("download"),
         {cmdDownload, false, "download [--port DEVICE] [--append] TABLE.db  download from the instrument"}},
        {QStringLiteral("simulate"),
         {cmdSimulate, false,
          "simulate [options]                  play the instrument on a pseudo-terminal"}},
        {QStringLiteral("export"),
         {cmdExport, false, "export TABLE.db OUT.xlsx            write the spreadsheet workbook"}},
        {QStringLiteral("report"),
         {cmdReport, true, "report TABLE.db OUT.pdf             write the measurement report as PDF"}},
        {QStringLiteral("chart"),
         {cmdChart, true, "chart TABLE.db SERIES OUT.png|OUT.pdf  draw one observation series"}},
    };
    return table;
}

int printHelp()
{
    cli::err(QStringLiteral("usage: qpx-cli COMMAND [ARGS]"));
    for (const auto &[name, command] : commands())
        cli::err(QStringLiteral("  ") + QString::fromUtf8(command.summary));
    return cli::BadUsage;
}

} // namespace

int main(int argc, char *argv[])
{
    // A file size limit (ulimit -f) then fails the write, which is reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    const QString word = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const auto it = commands().find(word);
    if (it == commands().end())
        return printHelp();

    std::unique_ptr<QCoreApplication> app;
    if (it->second.needsGui) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // Numbers and dates follow the locale the environment names (LANG=ru_RU.UTF-8: decimal comma).
    Regional::setCurrent(Regional::fromEnvironment());

    QStringList args = app->arguments().mid(2);
    return it->second.run(args);
}
