// End to end: `qpx-cli simulate` on a pseudo-terminal and `qpx-cli download` into a table file,
// with "\\.\COM1" and "\\.\COM2" pointed through a temporary settings file.
#include "data/dbftable.h"
#include "data/measurementtable.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString cli = QStringLiteral(QPX_BINARY_DIR "/tools/qpx-cli");

struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// A running simulator; stopped (SIGTERM) when it goes out of scope.
class Simulator
{
public:
    Simulator(const QStringList &args)
    {
        m_process.start(cli, QStringList{QStringLiteral("simulate")} + args);
        if (m_process.waitForStarted(10000) && m_process.waitForReadyRead(10000))
            m_path = QString::fromUtf8(m_process.readLine()).trimmed();
    }
    ~Simulator()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
    QString path() const { return m_path; }
    // Stops the simulator and returns what it logged.
    QString stopAndLog()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
        return QString::fromUtf8(m_process.readAllStandardError());
    }

private:
    QProcess m_process;
    QString m_path;
};

class DownloadE2E : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(cli)) << cli.toStdString();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        pointPorts(missing("com1"), missing("com2"));
    }

    void pointPorts(const QString &com1, const QString &com2)
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Norvelt"),
                    QStringLiteral("QPX"));
        s.setValue(QStringLiteral("1.0/Ports/COM1"), com1);
        s.setValue(QStringLiteral("1.0/Ports/COM2"), com2);
        s.sync();
    }
    QString missing(const char *name) const { return m_dir.filePath(QLatin1String(name)); }
    QString table() const { return m_dir.filePath(QStringLiteral("readings.db")); }

    CliRun download(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        p.setProcessEnvironment(env);
        p.start(cli, QStringList{QStringLiteral("download")} + args);
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

    QList<int> numbers()
    {
        DbfTable dbf;
        dbf.setFileName(table());
        dbf.open();
        QList<int> out;
        for (dbf.first(); !dbf.eof(); dbf.next())
            out << int(dbf.integer(Measurement::N));
        dbf.close();
        return out;
    }

    QTemporaryDir m_dir;
};

QList<int> oneTo(int n)
{
    QList<int> out;
    for (int i = 1; i <= n; ++i)
        out << i;
    return out;
}

} // namespace

TEST_F(DownloadE2E, NewTableThenAppend)
{
    {
        Simulator sim({QStringLiteral("--fast"), QStringLiteral("--records"), QStringLiteral("50"),
                       QStringLiteral("--model"), QStringLiteral("4")});
        ASSERT_FALSE(sim.path().isEmpty());
        pointPorts(sim.path(), missing("com2"));
        const CliRun run = download({table()});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("Тип прибора: Лкт-2000 ДН7.01")));
        EXPECT_TRUE(run.err.contains(QStringLiteral("Количество записей: 50")));
        EXPECT_EQ(numbers(), oneTo(50));
    }
    {
        // The operator had sorted by number, descending: the append drops that index and adds in
        // file order.
        DbfTable dbf;
        dbf.setFileName(table());
        dbf.open();
        dbf.addIndex(Measurement::SortIndex, Measurement::N, true);
        dbf.selectIndex(Measurement::SortIndex);
        dbf.close();
    }
    {
        // The instrument has taken ten more readings since.
        Simulator sim({QStringLiteral("--fast"), QStringLiteral("--records"), QStringLiteral("60"),
                       QStringLiteral("--model"), QStringLiteral("4"), QStringLiteral("--link"),
                       m_dir.filePath(QStringLiteral("instrument"))});
        const CliRun run = download({QStringLiteral("--port"), m_dir.filePath(QStringLiteral("instrument")),
                                     QStringLiteral("--append"), table()});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out.trimmed(), QStringLiteral("Добавлено записей: 10"));
        EXPECT_EQ(numbers(), oneTo(60));
        DbfTable dbf;
        dbf.setFileName(table());
        dbf.open();
        EXPECT_EQ(dbf.indexNames(), QStringList());
        dbf.close();

        const CliRun again = download({QStringLiteral("--port"), m_dir.filePath(QStringLiteral("instrument")),
                                       QStringLiteral("--append"), table()});
        ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
        EXPECT_EQ(again.out.trimmed(), QStringLiteral("Добавлено записей: 0"));
        EXPECT_EQ(numbers(), oneTo(60));
    }
}

TEST_F(DownloadE2E, NoInstrumentAtAll)
{
    const CliRun run = download({table()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(
        QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!")));
    EXPECT_FALSE(QFile::exists(table()));
}

TEST_F(DownloadE2E, SilentCom1AndInstrumentOnCom2)
{
    Simulator silent({QStringLiteral("--silent")});
    Simulator sim({QStringLiteral("--fast"), QStringLiteral("--records"), QStringLiteral("7")});
    pointPorts(silent.path(), sim.path());
    const CliRun run = download({table()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(numbers(), oneTo(7));
}

TEST_F(DownloadE2E, WrongInstrumentEmptyMemoryAndBrokenReply)
{
    {
        Simulator sim({QStringLiteral("--type-code"), QStringLiteral("4")});
        const CliRun run = download({QStringLiteral("--port"), sim.path(), table()});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QStringLiteral("Вы подключили не тот прибор !")));
    }
    {
        Simulator sim({QStringLiteral("--fast"), QStringLiteral("--records"), QStringLiteral("0")});
        const CliRun run = download({QStringLiteral("--port"), sim.path(), table()});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QStringLiteral("Архив прибора пуст!")));
    }
    {
        const QString raw = m_dir.filePath(QStringLiteral("raw"));
        QFile file(raw);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("S1000P"); // one record announced, none sent
        file.close();
        Simulator sim({QStringLiteral("--fast"), QStringLiteral("--raw"), raw});
        const CliRun run = download({QStringLiteral("--port"), sim.path(), table()});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QStringLiteral("Range check error.")));
    }
    EXPECT_FALSE(QFile::exists(table()));
}

TEST_F(DownloadE2E, NotReadyAtStartThenPacedLikeTheLine)
{
    Simulator sim(
        {QStringLiteral("--z"), QStringLiteral("2"), QStringLiteral("--records"), QStringLiteral("20")});
    const CliRun run = download({QStringLiteral("--port"), sim.path(), table()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(numbers(), oneTo(20));
    const QString log = sim.stopAndLog();
    EXPECT_EQ(log.count(QStringLiteral("received \"V\"")), 3);
    EXPECT_EQ(log.count(QStringLiteral("received \"N\"")), 1);
}
