#pragma once
// Shared pieces of the qpx-cli commands: exit codes, output to the terminal, usage errors.
#include <QString>
#include <QStringList>
#include <functional>

namespace cli {

enum ExitCode { Ok = 0, Failed = 1, BadUsage = 2 };

// Writes text and a newline to stderr / stdout in UTF-8.
void err(const QString &text);
void out(const QString &text);

// Prints "qpx-cli: <text>" and the command's usage line to stderr; returns BadUsage.
int usage(const QString &text, const QString &usageLine);

// Runs body, turning any error of ours into its text on stderr and exit code Failed.
int guarded(const std::function<int()> &body);

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
