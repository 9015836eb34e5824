#pragma once
// Shared pieces of the qpx-cli commands: exit codes, output to the terminal, usage errors.
#include "base/messages.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>

namespace cli {

enum ExitCode { Ok = 0, Failed = 1, BadUsage = 2 };

// Writes text and a newline to stderr / stdout in UTF-8 (a Windows console gets the characters:
// clisystem.h).
void err(const QString &text);
void out(const QString &text);

// Writes text as it stands (UTF-8) to a stream.
void write(FILE *stream, const QString &text);

// One line of a command's option list: the option as typed and what it does.
struct Option
{
    const char *name;
    const char *help;
};

// A command of qpx-cli and its usage; commands.cpp holds them all.
struct Command
{
    const char *name;
    int (*run)(const QStringList &);
    bool needsGui;        // draws with QPainter on fonts: needs a GUI application (clisystem.h)
    const char *synopsis; // after "qpx-cli "
    const char *summary;
    QList<Option> options;
};

const QList<Command> &commands();
const Command *findCommand(const QString &name);
// The usage of the whole program and of one command, options aligned in one column.
QString programUsage();
QString commandUsage(const Command &command);

// "--" ends the options: main() takes the first one out of the arguments and tells from which
// position on every word is an operand, even one that starts with "--" (a file so named).
void setOperandsFrom(int index);
// Whether args[i] is an option: it starts with "--" and stands before the end of the options.
bool isOption(const QStringList &args, int i);

// The command that main() runs, whose usage usage() prints.
void setRunningCommand(const Command *command);

// Prints "qpx-cli: <text>" and the running command's usage to stderr; returns BadUsage.
int usage(const QString &text);

// Runs body, turning any error of ours into its text on stderr and exit code Failed.
int guarded(const std::function<int()> &body);

// Every message on stderr: what the import and the table document report.
class StderrSink : public MessageSink
{
public:
    void showMessage(const QString &text, const QString &, MessageIcon) override { err(text); }
};

} // namespace cli

// One function per command; args are the arguments after the command word.
int cmdDump(const QStringList &args);
int cmdImport(const QStringList &args);
int cmdDownload(const QStringList &args);
int cmdSimulate(const QStringList &args);
int cmdPorts(const QStringList &args);
int cmdExport(const QStringList &args);
int cmdReport(const QStringList &args);
int cmdChart(const QStringList &args);
