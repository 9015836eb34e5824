// The one table of qpx-cli's commands: what runs each one, and its usage (synopsis, what it does,
// every option). Help, version and usage errors are all printed from here. A new command or a
// new option is one entry of this table.
#include "cli.h"

#include <algorithm>

namespace cli {

const QList<Command> &commands()
{
    static const QList<Command> table{
        {"dump", cmdDump, false, "dump TABLE.db", "print the live rows of a table file as CSV (UTF-8)", {}},
        {"import",
         cmdImport,
         false,
         "import IMAGE MODEL TABLE.db [--append]",
         "import a memory image file (MODEL: model index 1 to 10) into a new table",
         {{"--append", "add only the readings newer than the table's last row"}}},
        {"download",
         cmdDownload,
         false,
         "download [--port DEVICE] [--append] [--timeout SECONDS] [--trace FILE] TABLE.db",
         "download the instrument's memory into a new table (COM1, then COM2)",
         {{"--port DEVICE", "ask only this serial device (\\\\.\\COM3, /dev/ttyUSB0)"},
          {"--append", "add only the readings newer than the table's last row"},
          {"--timeout SECONDS", "give up when the instrument makes no progress for this long (default 60)"},
          {"--trace FILE", "write every byte sent and received, with time stamps, to FILE"}}},
        {"ports",
         cmdPorts,
         false,
         "ports [DEVICE...]",
         "list the serial ports (path, description, access) and what COM1 and COM2 stand for",
         {{"DEVICE", "also check these devices (opens each to tell why it cannot be used)"}}},
        {"simulate",
         cmdSimulate,
         false,
         "simulate [OPTIONS]",
         "play the instrument on a pseudo-terminal until interrupted; prints its path",
         {{"--model N", "model index sent in the identification (default 1; 0 to 207)"},
          {"--type-code C", "type code sent in the identification (default 3; 0 to 207)"},
          {"--firmware X.Y.Z", "firmware version as the program shows it (default 03.12.05)"},
          {"--records N", "memory of N generated readings (default 120; 0 to 5461)"},
          {"--image FILE", "send this memory image file instead"},
          {"--raw FILE", "send this file unchanged as the reply to \"N\""},
          {"--fast", "send as fast as possible instead of at 9600 bit/s"},
          {"--z N", "answer the first N commands with \"Z\""},
          {"--silent", "never answer"},
          {"--link PATH", "also reach the pseudo-terminal through this symbolic link"},
          {"--hangup-after N", "hang up after sending N characters, as an unplugged cable does"}}},
        {"export",
         cmdExport,
         false,
         "export TABLE.db OUT.xlsx",
         "write the spreadsheet workbook of a table",
         {}},
        {"report", cmdReport, true, "report TABLE.db OUT.pdf", "write the measurement report as PDF", {}},
        {"chart",
         cmdChart,
         true,
         "chart TABLE.db SERIES OUT.png|OUT.pdf",
         "draw one observation series: the window's picture (PNG) or the printed page (PDF)",
         {}},
    };
    return table;
}

const Command *findCommand(const QString &name)
{
    const QList<Command> &table = commands();
    const auto it = std::find_if(table.cbegin(), table.cend(),
                                 [&](const Command &c) { return name == QLatin1String(c.name); });
    return it == table.cend() ? nullptr : &*it;
}

namespace {
const Command *running = nullptr;

// "  NAME  text" lines, the texts in one column.
QString aligned(const QList<std::pair<QString, QString>> &rows)
{
    qsizetype width = 0;
    for (const auto &row : rows)
        width = std::max(width, row.first.size());
    QString text;
    for (const auto &[name, help] : rows)
        text += QStringLiteral("  ") + name.leftJustified(width + 2) + help + QLatin1Char('\n');
    return text;
}
} // namespace

QString programUsage()
{
    QList<std::pair<QString, QString>> rows;
    for (const Command &c : commands())
        rows.append({QString::fromUtf8(c.name), QString::fromUtf8(c.summary)});
    return QStringLiteral("usage: qpx-cli COMMAND [ARGS]\n"
                          "       qpx-cli COMMAND --help | --help | --version\n\n"
                          "commands:\n") +
           aligned(rows) +
           QStringLiteral("\nMessages go to stderr. Exit status: 0 success, 1 a reported failure, "
                          "2 bad usage.\n");
}

QString commandUsage(const Command &command)
{
    QString text = QStringLiteral("usage: qpx-cli ") + QString::fromUtf8(command.synopsis) +
                   QLatin1Char('\n') + QString::fromUtf8(command.summary) + QLatin1Char('\n');
    QList<std::pair<QString, QString>> rows;
    for (const Option &o : command.options)
        rows.append({QString::fromUtf8(o.name), QString::fromUtf8(o.help)});
    rows.append({QStringLiteral("--help"), QStringLiteral("print this usage and exit")});
    return text + QStringLiteral("\noptions:\n") + aligned(rows);
}

void setRunningCommand(const Command *command)
{
    running = command;
}

int usage(const QString &text)
{
    err(QStringLiteral("qpx-cli: ") + text);
    write(stderr, running ? commandUsage(*running) : programUsage());
    return BadUsage;
}

} // namespace cli
