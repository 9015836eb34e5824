// qpx-cli download: the dialog's download without a window, then what New or Append do with it.
#include "cli.h"

#include "data/dbftable.h"
#include "data/measurementtable.h"
#include "data/memoryimage.h"
#include "data/memoryimport.h"
#include "device/downloadrunner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace {

const QString usageLine = QStringLiteral("download [--port DEVICE] [--append] TABLE.db");

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
        const QByteArray bytes = bar.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
        std::fflush(stderr);
        m_barShown = true;
    }

    void done()
    {
        if (m_barShown)
            std::fputs("\n", stderr);
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

// Runs one download as the dialog does; returns its result (1 success, 2 otherwise).
int runDownload(const QString &port, MessageSink &sink)
{
    DownloadRunner runner;
    runner.setMessageSink(&sink);
    if (!port.isEmpty())
        runner.protocol().setSearchPorts({port});
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
    runner.start();
    if (runner.running())
        loop.exec();
    else if (result == 0)
        result = runner.result() ? runner.result() : 2;
    runner.close();
    if (result == 1)
        progress.progress(100); // the bar estimates 14 bytes a record and stops short of the end
    progress.done();
    return result;
}

} // namespace

int cmdDownload(const QStringList &args)
{
    QString port;
    QString table;
    bool append = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--port") && i + 1 < args.size())
            port = args[++i];
        else if (a == QLatin1String("--append"))
            append = true;
        else if (a.startsWith(QLatin1String("--")) || !table.isEmpty())
            return cli::usage(QStringLiteral("unexpected argument \"%1\"").arg(a), usageLine);
        else
            table = a;
    }
    if (table.isEmpty())
        return cli::usage(QStringLiteral("no table file given"), usageLine);

    return cli::guarded([&] {
        ConsoleSink sink;
        DbfTable dbf;
        dbf.setFileName(table);
        if (append) {
            // The table is opened (exclusively) before the download, so that a missing or
            // damaged file is reported before the instrument is read.
            if (!QFileInfo::exists(table)) {
                cli::err(QStringLiteral("qpx-cli: %1: no such table").arg(table));
                return int(cli::Failed);
            }
            dbf.open();
        }
        if (runDownload(port, sink) != 1)
            return int(cli::Failed);

        if (!append) {
            // New: an empty memory makes no table.
            if (memoryImage().recordCount() == 0) {
                cli::err(QStringLiteral("Архив прибора пуст!"));
                return int(cli::Failed);
            }
            dbf.setSchema(Measurement::schema());
            dbf.create();
            dbf.open();
            flash2qpx01(dbf, memoryImage(), deviceInfo(), false, &sink);
            const int rows = dbf.exactRecordCount();
            dbf.close();
            cli::err(QStringLiteral("Записано строк: %1").arg(rows));
            return int(cli::Ok);
        }
        // Append: physical order first (the sort index goes), then only the newer readings.
        dbf.selectIndex(QString());
        if (dbf.hasIndex(Measurement::SortIndex))
            dbf.deleteIndex(Measurement::SortIndex);
        flash2qpx01(dbf, memoryImage(), deviceInfo(), true, &sink);
        dbf.close();
        return int(cli::Ok);
    });
}
