// qpx-cli download: the dialog's download without a window, then what New or Append do with it.
#include "cli.h"

#include "data/measurementtable.h"
#include "data/tabledocument.h"
#include "dbase/dbftable.h"
#include "device/downloadrunner.h"
#include "device/linetrace.h"
#include "stopsignals.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>

namespace {

constexpr int defaultTimeout = 60;

// Messages of the download and the import: informations on stdout, the rest on stderr.
class ConsoleSink : public MessageSink
{
public:
    void showMessage(const QString &text, const QString &, MessageIcon icon) override
    {
        if (icon == MessageIcon::Information)
            cli::out(text);
        else
            cli::err(text);
    }
    void showDetailedMessage(const QString &text, const QString &informative, const QString &caption,
                             MessageIcon icon) override
    {
        showMessage(text, caption, icon);
        if (!informative.isEmpty())
            showMessage(informative, caption, icon);
    }
};

// The dialog's information fields and progress bar, drawn on stderr.
class ConsoleProgress
{
public:
    ConsoleProgress() : m_tty(::isatty(STDERR_FILENO) == 1) {}

    void text(DownloadText field, const QString &value)
    {
        if (value.isEmpty())
            return;
        switch (field) {
        case DownloadText::DeviceType:
            line(QStringLiteral("Тип прибора: ") + value);
            break;
        case DownloadText::Firmware:
            line(QStringLiteral("Версия ПО: ") + value);
            break;
        case DownloadText::RecordCount:
            line(QStringLiteral("Количество записей: ") + value);
            break;
        case DownloadText::Status:
            line(value);
            break;
        case DownloadText::Caption:
            break;
        }
    }

    void progress(int position)
    {
        const int percent = std::clamp(position, 0, 100);
        if (percent == m_percent)
            return;
        m_percent = percent;
        if (!m_tty)
            return;
        const int filled = percent * 40 / 100;
        const QString bar =
            QStringLiteral("\r[%1%2] %3%")
                .arg(QString(filled, QLatin1Char('#')), QString(40 - filled, QLatin1Char('-')))
                .arg(percent, 3);
        cli::write(stderr, bar);
        m_barShown = true;
    }

    void done()
    {
        if (m_barShown)
            cli::write(stderr, QStringLiteral("\n"));
        m_barShown = false;
    }

private:
    void line(const QString &text)
    {
        done();
        cli::err(text);
    }

    bool m_tty;
    bool m_barShown = false;
    int m_percent = -1;
};

struct DownloadOptions
{
    QString port;
    int timeout = defaultTimeout; // seconds without progress once the instrument has answered
    LineTrace *trace = nullptr;
};

// Runs one download as the dialog does; returns its result (1 success, 2 otherwise).
// There is no Cancel button here: a line that stops making progress for options.timeout
// seconds, SIGINT and SIGTERM each end the download the way Cancel ends it in the window.
int runDownload(const DownloadOptions &options, MessageSink &sink)
{
    DownloadRunner runner;
    runner.setMessageSink(&sink);
    runner.setTrace(options.trace);
    if (!options.port.isEmpty())
        runner.protocol().setSearchPorts({options.port});
    ConsoleProgress progress;
    QEventLoop loop;
    QObject::connect(&runner, &DownloadRunner::textChanged,
                     [&](DownloadText field, const QString &text) { progress.text(field, text); });
    QObject::connect(&runner, &DownloadRunner::progressChanged,
                     [&](int position) { progress.progress(position); });
    int result = 0;
    QObject::connect(&runner, &DownloadRunner::finished, [&](int r) {
        result = r;
        loop.quit();
    });

    QString stopReason;
    auto stop = [&](const QString &reason) {
        if (!runner.running() || !stopReason.isEmpty())
            return;
        stopReason = reason;
        if (options.trace)
            options.trace->note(reason);
        runner.cancel();
    };
    // The watchdog: restarted by every step forward. While the 3000 ms search is still in
    // charge of the port it waits, so the search itself runs as in the window.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    watchdog.setTimerType(Qt::PreciseTimer);
    watchdog.setInterval(options.timeout * 1000);
    QObject::connect(&runner, &DownloadRunner::advanced, &watchdog, qOverload<>(&QTimer::start));
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (runner.protocol().timerRunning(DownloadTimer::Search)) {
            watchdog.start();
            return;
        }
        stop(QStringLiteral("Нет ответа от прибора в течение %1 с. Прием данных прерван.")
                 .arg(options.timeout));
    });
    cli::StopSignals stopSignals([&] { stop(QStringLiteral("Прием данных прерван.")); });

    runner.start();
    if (runner.running()) {
        watchdog.start();
        loop.exec();
    } else if (result == 0)
        result = runner.result() ? runner.result() : 2;
    runner.close();
    if (result == 1)
        progress.progress(100); // the bar estimates 14 bytes a record and stops short of the end
    progress.done();
    if (!stopReason.isEmpty())
        cli::err(stopReason);
    return result;
}

} // namespace

int cmdDownload(const QStringList &args)
{
    DownloadOptions options;
    QString traceFile;
    QString table;
    bool append = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (!cli::isOption(args, i)) {
            if (!table.isEmpty())
                return cli::usage(QStringLiteral("unexpected argument \"%1\"").arg(a));
            table = a;
        } else if (a == QLatin1String("--port") && i + 1 < args.size())
            options.port = args[++i];
        else if (a == QLatin1String("--trace") && i + 1 < args.size())
            traceFile = args[++i];
        else if (a == QLatin1String("--timeout")) {
            bool ok = false;
            options.timeout = i + 1 < args.size() ? args[++i].toInt(&ok) : 0;
            if (!ok || options.timeout < 1 || options.timeout > 86400)
                return cli::usage(QStringLiteral("--timeout needs a number of seconds 1..86400"));
        } else if (a == QLatin1String("--append"))
            append = true;
        else
            return cli::usage(QStringLiteral("unexpected argument \"%1\"").arg(a));
    }
    if (table.isEmpty())
        return cli::usage(QStringLiteral("no table file given"));

    LineTrace trace;
    if (!traceFile.isEmpty()) {
        QString error;
        if (!trace.open(traceFile, &error)) {
            cli::err(QStringLiteral("qpx-cli: %1: %2").arg(traceFile, error));
            return int(cli::Failed);
        }
        options.trace = &trace;
    }

    return cli::guarded([&] {
        ConsoleSink sink;
        // New and Append as the main window runs them, without a window to tell.
        TableDocument document{QString()};
        DbfTable &dbf = document.table();
        if (append) {
            // The table is opened (exclusively) before the download, so that a missing or
            // damaged file is reported before the instrument is read.
            if (!QFileInfo::exists(table)) {
                cli::err(QStringLiteral("qpx-cli: %1: no such table").arg(table));
                return int(cli::Failed);
            }
            dbf.setSchema(Measurement::schema());
            dbf.setFileName(table);
            dbf.open();
        }
        if (runDownload(options, sink) != 1)
            return int(cli::Failed);

        if (!append) {
            // New: an empty memory makes no table; that report is an error here.
            cli::StderrSink errors;
            document.create(table, errors);
            if (!document.isOpen())
                return int(cli::Failed);
            const int rows = dbf.exactRecordCount();
            dbf.close();
            cli::err(QStringLiteral("Записано строк: %1").arg(rows));
            return int(cli::Ok);
        }
        // Append: only the newer readings, in file order, then saved.
        document.append(sink);
        dbf.close();
        return int(cli::Ok);
    });
}
