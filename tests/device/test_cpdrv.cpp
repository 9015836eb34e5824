// The serial port component on a pseudo-terminal pair: property rules, opening, delivery in
// batches and the results of a closed port.
#include "device/CPDrv.h"
#include "ptytestkit.h"
#include "support/temporarysettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Runs the event loop until pred holds or the limit passes (a wait, never an assertion on time).
template <typename Pred> bool waitFor(Pred pred, int limitMs = 3000)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (pred())
            return true;
        if (clock.elapsed() >= limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

void spin(int ms)
{
    waitFor([] { return false; }, ms);
}

struct Recorder
{
    QList<QByteArray> batches;
    void attach(TCommPortDriver &driver)
    {
        driver.OnReceiveData = [this](TCommPortDriver *, const void *data, quint32 size) {
            batches << QByteArray(static_cast<const char *>(data), qsizetype(size));
        };
    }
    QByteArray all() const
    {
        QByteArray out;
        for (const QByteArray &b : batches)
            out += b;
        return out;
    }
};

// Settings in a temporary folder, so that "\\.\COMn" can be pointed anywhere.
class TempSettings : public TemporarySettings
{
public:
    TempSettings() { qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit()); }
    void setPort(int number, const QString &device)
    {
        setValue(QStringLiteral("Ports/COM%1").arg(number), device);
    }
};

} // namespace

TEST(CommPortDriver, DefaultsAndSetterRulesWhileClosed)
{
    TCommPortDriver d;
    EXPECT_EQ(d.PortName(), QStringLiteral("\\\\.\\COM2"));
    EXPECT_EQ(d.InBufSize(), 2048u);
    EXPECT_EQ(d.chunkBufferSize(), 2048);
    EXPECT_EQ(d.OutBufSize(), 2048u);
    EXPECT_EQ(d.PollingDelay(), 50);

    d.setPortName(QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(d.PortName(), QStringLiteral("/dev/ttyUSB0"));

    d.setInBufSize(100);
    EXPECT_EQ(d.InBufSize(), 128u);
    EXPECT_EQ(d.chunkBufferSize(), 128);
    d.setInBufSize(10000);
    EXPECT_EQ(d.InBufSize(), 8192u);
    EXPECT_EQ(d.chunkBufferSize(), 8192);
    d.setOutBufSize(1);
    EXPECT_EQ(d.OutBufSize(), 128u);
    d.setOutBufSize(70000);
    EXPECT_EQ(d.OutBufSize(), 8192u);
    for (quint16 v : {0, 1, 4}) {
        d.setPollingDelay(v);
        EXPECT_EQ(d.PollingDelay(), 5);
    }
    d.setPollingDelay(7);
    EXPECT_EQ(d.PollingDelay(), 7);
}

TEST(CommPortDriver, ClosedPortResults)
{
    TCommPortDriver d;
    Recorder rec;
    rec.attach(d);
    d.setPortName(QStringLiteral("/nonexistent/qpx-port"));
    EXPECT_FALSE(d.OpenPort());
    EXPECT_FALSE(d.IsOpen());
    EXPECT_FALSE(d.WriteByte('V'));
    EXPECT_EQ(d.WriteBytesTimed("VN", 2, 500), 0u);
    EXPECT_EQ(d.OutputFreeSpace(), 65535);
    EXPECT_FALSE(d.PurgeBuffers(true, true));
    EXPECT_FALSE(d.ApplyLineSettings());
    d.ClosePort(); // nothing happens
    spin(150);
    EXPECT_TRUE(rec.batches.isEmpty());
}

TEST(CommPortDriver, OpensAPseudoTerminalAndTalks)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    TCommPortDriver d;
    Recorder rec;
    rec.attach(d);
    d.setPortName(pty.path);
    d.setInBufSize(4096);

    pty.write(QByteArrayLiteral("stale")); // sent while nobody listened
    ASSERT_TRUE(d.OpenPort());             // DTR/RTS are refused by a pseudo-terminal: still open
    EXPECT_TRUE(d.IsOpen());
    EXPECT_TRUE(d.WriteByte('V'));
    EXPECT_TRUE(waitFor([&] { return pty.read() == QByteArrayLiteral("V"); }));

    pty.write(QByteArrayLiteral("1xx350<030"));
    ASSERT_TRUE(waitFor([&] { return rec.all().size() >= 10; }));
    EXPECT_EQ(rec.all(), QByteArrayLiteral("1xx350<030")); // the stale bytes were discarded

    // Opening again while open changes nothing and loses nothing.
    pty.write(QByteArrayLiteral("abc"));
    spin(20);
    EXPECT_TRUE(d.OpenPort());
    ASSERT_TRUE(waitFor([&] { return rec.all().endsWith("abc"); }));

    // Name and buffer sizes are ignored while open, and not kept for later.
    d.setPortName(QStringLiteral("/dev/null"));
    d.setInBufSize(200);
    d.setOutBufSize(200);
    EXPECT_EQ(d.PortName(), pty.path);
    EXPECT_EQ(d.InBufSize(), 4096u);
    EXPECT_EQ(d.OutBufSize(), 2048u);
    EXPECT_GT(d.OutputFreeSpace(), 0);

    d.ClosePort();
    EXPECT_FALSE(d.IsOpen());
    const qsizetype before = rec.batches.size();
    pty.write(QByteArrayLiteral("late"));
    spin(150);
    EXPECT_EQ(rec.batches.size(), before);
    d.setInBufSize(200);
    EXPECT_EQ(d.InBufSize(), 200u);
}

TEST(CommPortDriver, DeliversInBatchesOfAtMostTheChunkSize)
{
    Pty pty;
    TCommPortDriver d;
    Recorder rec;
    rec.attach(d);
    d.setPortName(pty.path);
    d.setInBufSize(1024);
    ASSERT_TRUE(d.OpenPort());
    QByteArray data;
    for (int i = 0; i < 10000; ++i)
        data += char('0' + i % 16);
    pty.write(data);
    ASSERT_TRUE(waitFor([&] { return rec.all().size() >= data.size(); }, 10000));
    EXPECT_EQ(rec.all(), data);
    EXPECT_GE(rec.batches.size(), 10);
    for (const QByteArray &b : rec.batches) {
        EXPECT_GT(b.size(), 0);
        EXPECT_LE(b.size(), 1024);
    }
    // A tick with nothing waiting delivers nothing.
    const qsizetype count = rec.batches.size();
    d.poll();
    spin(120);
    EXPECT_EQ(rec.batches.size(), count);
}

TEST(CommPortDriver, OneBatchPerTick)
{
    Pty pty;
    TCommPortDriver d;
    Recorder rec;
    rec.attach(d);
    d.setPortName(pty.path);
    d.setInBufSize(128);
    d.setPollingDelay(60000); // no timer tick during the test: ticks are run by hand
    ASSERT_TRUE(d.OpenPort());
    pty.write(QByteArray(300, 'x'));
    spin(50); // the bytes reach the port's queue
    d.poll();
    EXPECT_EQ(rec.batches.size(), 1);
    EXPECT_EQ(rec.batches.value(0).size(), 128);
    d.poll();
    d.poll();
    EXPECT_EQ(rec.batches.size(), 3);
    EXPECT_EQ(rec.all().size(), 300);
}

TEST(CommPortDriver, OpenIsExclusive)
{
    Pty pty;
    TCommPortDriver first;
    TCommPortDriver second;
    first.setPortName(pty.path);
    second.setPortName(pty.path);
    ASSERT_TRUE(first.OpenPort());
    EXPECT_FALSE(second.OpenPort());
    first.ClosePort();
    EXPECT_TRUE(second.OpenPort());
}

TEST(CommPortDriver, ComNamesResolveThroughTheSettings)
{
    TempSettings settings;
    Pty pty;
    EXPECT_EQ(TCommPortDriver::resolvePortName(QStringLiteral("\\\\.\\COM1")), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(TCommPortDriver::resolvePortName(QStringLiteral("\\\\.\\COM2")), QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(TCommPortDriver::resolvePortName(pty.path), pty.path);
    settings.setPort(1, pty.path);
    EXPECT_EQ(TCommPortDriver::resolvePortName(QStringLiteral("\\\\.\\COM1")), pty.path);

    TCommPortDriver d;
    d.setPortName(QStringLiteral("\\\\.\\COM1"));
    ASSERT_TRUE(d.OpenPort());
    EXPECT_TRUE(d.WriteByte('N'));
    QByteArray got;
    waitFor([&] { return (got += pty.read()).contains('N'); });
    EXPECT_EQ(got, QByteArrayLiteral("N"));
}

TEST(CommPortDriver, SendingGivesUpWithoutProgress)
{
    Pty pty;
    TCommPortDriver d;
    d.setPortName(pty.path);
    ASSERT_TRUE(d.OpenPort());
    // Nobody reads the other side: the line fills up and the send stops after its time-out.
    const QByteArray lots(1 << 20, 'x');
    const quint32 sent = d.WriteBytesTimed(lots.constData(), quint32(lots.size()), 50);
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, quint32(lots.size()));
}

TEST(CommPortDriver, LineHungUpMidReplyClosesThePortAndStaysIdle)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    TCommPortDriver d;
    d.setPortName(pty.path);
    Recorder rec;
    rec.attach(d);
    int lost = 0;
    d.OnConnectionLost = [&](TCommPortDriver *sender) {
        EXPECT_EQ(sender, &d);
        EXPECT_FALSE(d.IsOpen());
        ++lost;
    };
    ASSERT_TRUE(d.OpenPort());
    pty.write("S1000");
    ASSERT_TRUE(waitFor([&] { return rec.all() == "S1000"; }));

    // The other side goes away in the middle of the reply.
    ::close(pty.master);
    pty.master = -1;
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitFor([&] { return lost > 0; }, 2000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_FALSE(d.IsOpen());

    // Nothing spins on the dead descriptor afterwards (it used to take a whole core).
    const qint64 before = cpuMs();
    idle(5000);
    EXPECT_LT(cpuMs() - before, 250);
    EXPECT_EQ(lost, 1);
    // Writing to the closed port returns at once.
    EXPECT_FALSE(d.WriteByte('V'));
}

TEST(CommPortDriver, PortLockedByAnotherProgramDoesNotOpen)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    // A terminal program's advisory lock on the device (taken here on a descriptor of our own).
    const int other = ::open(pty.path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    TCommPortDriver d;
    d.setPortName(pty.path);
    EXPECT_FALSE(d.OpenPort());
    EXPECT_FALSE(d.openErrorText().isEmpty());
    ::close(other);
    EXPECT_TRUE(d.OpenPort());
    EXPECT_TRUE(d.openErrorText().isEmpty());
    // While we hold it, the next program is kept out in the same way.
    const int next = ::open(pty.path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(next, 0);
    EXPECT_NE(::flock(next, LOCK_EX | LOCK_NB), 0);
    ::close(next);
}
