// End to end: `qpx-cli simulate` on a pseudo-terminal and `qpx-cli download` into a table file,
// with "\\.\COM1" and "\\.\COM2" pointed through a temporary settings file.
#include "data/measurementtable.h"
#include "dbase/dbftable.h"

#include "simulator/instrumentsimulator.h"
#include "support/temporarysettings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString cli = QStringLiteral(QPX_CLI);

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
        pointPorts(missing("com1"), missing("com2"));
    }

    void pointPorts(const QString &com1, const QString &com2) { m_settings.pointPorts(com1, com2); }
    QString missing(const char *name) const { return m_settings.missing(name); }
    QString table() const { return m_dir.filePath(QStringLiteral("readings.db")); }

    CliRun download(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
        p.setProcessEnvironment(env);
        p.start(cli, QStringList{QStringLiteral("download")} + args);
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

    QList<int> numbers()
    {
        DbfTable dbf(Measurement::schema());
        dbf.setFileName(table());
        dbf.open();
        QList<int> out;
        for (dbf.first(); !dbf.eof(); dbf.next())
            out << int(dbf.integer(Measurement::N));
        dbf.close();
        return out;
    }

    TemporarySettings m_settings; // qpx-cli finds them through XDG_CONFIG_HOME
    QTemporaryDir &m_dir = m_settings.dir;
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
        DbfTable dbf(Measurement::schema());
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
        DbfTable dbf(Measurement::schema());
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

namespace {

qint64 childCpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

} // namespace

TEST_F(DownloadE2E, NotFoundNamesEachPortAndItsCause)
{
    Simulator silent({QStringLiteral("--silent")});
    pointPorts(missing("ttyUSB0"), silent.path());
    const CliRun run = download({table()});
    EXPECT_EQ(run.exitCode, 1);
    const QStringList lines = run.err.split(QLatin1Char('\n'));
    const qsizetype at = lines.indexOf(
        QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!"));
    ASSERT_GE(at, 0) << run.err.toStdString();
    ASSERT_GT(lines.size(), at + 2);
    EXPECT_EQ(lines[at + 1],
              QStringLiteral("\\\\.\\COM1 (%1): нет такого устройства").arg(missing("ttyUSB0")));
    EXPECT_EQ(lines[at + 2],
              QStringLiteral("\\\\.\\COM2 (%1): открыт, но прибор не ответил").arg(silent.path()));
}

TEST_F(DownloadE2E, HangupMidReplyExitsWithNothingImported)
{
    {
        Simulator sim({QStringLiteral("--fast"), QStringLiteral("--records"), QStringLiteral("5")});
        ASSERT_EQ(download({QStringLiteral("--port"), sim.path(), table()}).exitCode, 0);
    }
    const QByteArray before = [&] {
        QFile f(table());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    // New and Append: the line hangs up part-way through a paced memory reply.
    for (bool append : {false, true}) {
        SCOPED_TRACE(append);
        Simulator sim({QStringLiteral("--records"), QStringLiteral("300"), QStringLiteral("--hangup-after"),
                       QStringLiteral("600")});
        const QString target = append ? table() : m_dir.filePath(QStringLiteral("new.db"));
        QStringList args{QStringLiteral("--port"), sim.path()};
        if (append)
            args << QStringLiteral("--append");
        const qint64 cpu = childCpuMs();
        QElapsedTimer clock;
        clock.start();
        const CliRun run = download(args << target);
        EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
        EXPECT_LT(clock.elapsed(), 8000); // it ends: it used to wait on the dead line forever
        EXPECT_LT(childCpuMs() - cpu, 2000);
        EXPECT_TRUE(run.err.contains(QStringLiteral("Связь с прибором потеряна! Прием данных прерван.")))
            << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()); // no "Добавлено записей"
        EXPECT_EQ(QFile::exists(m_dir.filePath(QStringLiteral("new.db"))), false);
    }
    QFile f(table());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST_F(DownloadE2E, TimeoutEndsAZStormAndSignalsStopTheSame)
{
    Simulator storm({QStringLiteral("--fast"), QStringLiteral("--z"), QStringLiteral("1000000")});
    QElapsedTimer clock;
    clock.start();
    const CliRun run = download(
        {QStringLiteral("--port"), storm.path(), QStringLiteral("--timeout"), QStringLiteral("2"), table()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_GE(clock.elapsed(), 2000); // the "Z" answers are no progress: the time-out ran out
    EXPECT_TRUE(
        run.err.contains(QStringLiteral("Нет ответа от прибора в течение 2 с. Прием данных прерван.")))
        << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(table()));

    for (int sig : {SIGTERM, SIGINT}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
        p.setProcessEnvironment(env);
        p.start(cli, {QStringLiteral("download"), QStringLiteral("--port"), storm.path(), table()});
        ASSERT_TRUE(p.waitForStarted(5000));
        p.waitForFinished(1500); // let it reach the storm
        ::kill(pid_t(p.processId()), sig);
        ASSERT_TRUE(p.waitForFinished(5000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(
            QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("Прием данных прерван.")));
    }
    EXPECT_EQ(download({QStringLiteral("--timeout"), QStringLiteral("0"), table()}).exitCode, 2);
}

TEST_F(DownloadE2E, TraceHoldsEveryByteBothWays)
{
    Simulator sim({QStringLiteral("--fast"), QStringLiteral("--records"), QStringLiteral("2")});
    const QString traceFile = m_dir.filePath(QStringLiteral("line.txt"));
    const CliRun run =
        download({QStringLiteral("--port"), sim.path(), QStringLiteral("--trace"), traceFile, table()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile f(traceFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QString tx;
    QString rx;
    qint64 lastMs = -1;
    bool ordered = true;
    for (const QString &line : lines) {
        const QStringList parts = line.simplified().split(QLatin1Char(' '));
        ASSERT_GE(parts.size(), 2) << line.toStdString();
        const qint64 ms = parts[0].toLongLong();
        ordered = ordered && ms >= lastMs;
        lastMs = ms;
        // The text column follows the time (10), the direction (4) and 16 hex bytes (48 + 2).
        if (parts[1] == QLatin1String("TX"))
            tx += line.mid(64);
        else if (parts[1] == QLatin1String("RX"))
            rx += line.mid(64);
    }
    EXPECT_TRUE(ordered);
    EXPECT_TRUE(lines.first().endsWith(QStringLiteral("-- %1: открыт").arg(sim.path())));
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral("-- порт закрыт")));
    EXPECT_EQ(tx, QStringLiteral("VN"));
    const QByteArray reply = InstrumentSimulator::identificationReply(1, 3, 5, 12, 3) +
                             InstrumentSimulator::memoryReply(InstrumentSimulator::generateImage(2, 1));
    EXPECT_EQ(rx, QString::fromLatin1(reply));
    EXPECT_EQ(
        download({QStringLiteral("--trace"), m_dir.filePath(QStringLiteral("no/such/dir/t.txt")), table()})
            .exitCode,
        1);
}

TEST_F(DownloadE2E, PortsListsAssignedDevicesAndWhatComNamesResolveTo)
{
    Simulator sim({QStringLiteral("--silent")});
    pointPorts(sim.path(), missing("com2"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
    p.setProcessEnvironment(env);
    p.start(cli, {QStringLiteral("ports"), missing("ttyACM9")});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0);
    const QStringList lines =
        QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.contains(missing("ttyACM9") + QStringLiteral("\t-\tнет такого устройства")));
    EXPECT_TRUE(lines.contains(sim.path() + QStringLiteral("\t-\tдоступен")));
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], QStringLiteral("\\\\.\\COM1 -> %1: доступен").arg(sim.path()));
    EXPECT_EQ(lines.last(), QStringLiteral("\\\\.\\COM2 -> %1: нет такого устройства").arg(missing("com2")));
}

TEST_F(DownloadE2E, DeviceThisUserMayNotOpen)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run qpx-cli as an unprivileged user";
    // The pseudo-terminal belongs to root and the group tty; nobody may not read it.
    Simulator sim({QStringLiteral("--fast")});
    const QFileInfo device(sim.path());
    ASSERT_TRUE(device.exists());
    auto asNobody = [&](const QStringList &args) {
        QProcess p;
        p.setWorkingDirectory(QStringLiteral("/"));
        p.start(QStringLiteral("setpriv"),
                QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                            QStringLiteral("--clear-groups"), cli} +
                    args);
        p.waitForFinished(30000);
        return CliRun{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                      QString::fromUtf8(p.readAllStandardError())};
    };
    const QString remedy =
        QStringLiteral("нет прав на чтение и запись; устройство принадлежит группе «%1»").arg(device.group());
    const CliRun run = asNobody({QStringLiteral("download"), QStringLiteral("--port"), sim.path(),
                                 QStringLiteral("/tmp/qpx-nobody-never-written.db")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(
        QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!")));
    EXPECT_TRUE(run.err.contains(sim.path() + QStringLiteral(": ") + remedy)) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("войдите в систему заново")));

    const CliRun ports = asNobody({QStringLiteral("ports"), sim.path()});
    EXPECT_EQ(ports.exitCode, 0);
    EXPECT_TRUE(ports.out.contains(sim.path() + QStringLiteral("\t-\t") + remedy)) << ports.out.toStdString();
}
