// The serial port component's own rules over a scripted line, the same on every system: what
// opening asks of the line, what a failed setting does, delivery per tick, and how a device that
// goes away (a failed read, trouble reported between ticks, a send into a dead line) ends the
// connection exactly once.
#include "device/CPDrv.h"
#include "device/serialline.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

// What the component asked of the line, and what the line answers.
struct Script
{
    QStringList calls;
    QString openedDevice;
    SerialLineSettings settings;
    quint16 writeTimeout = 0;
    bool opens = true;
    bool lineAccepted = true;
    bool timeoutsAccepted = true;
    QByteArray waiting;     // bytes the next reads hand over
    bool readFails = false; // read() returns -1
    bool gone = false;
    qint64 queued = 0; // output queue
    qint64 writeRoom = 1 << 20;
    QByteArray written;
};

class ScriptedLine : public SerialLine
{
public:
    explicit ScriptedLine(Script &script) : s(script) {}
    bool open(const QString &device) override
    {
        s.calls << QStringLiteral("open");
        s.openedDevice = device;
        m_open = s.opens;
        return s.opens;
    }
    void close() override
    {
        s.calls << QStringLiteral("close");
        m_open = false;
    }
    bool isOpen() const override { return m_open; }
    bool setLine(const SerialLineSettings &settings) override
    {
        s.calls << QStringLiteral("line");
        s.settings = settings;
        return s.lineAccepted;
    }
    bool setQueues(quint32, quint32) override
    {
        s.calls << QStringLiteral("queues");
        return true;
    }
    bool setTimeouts(quint16 writeTimeoutMs) override
    {
        s.calls << QStringLiteral("timeouts");
        s.writeTimeout = writeTimeoutMs;
        return s.timeoutsAccepted;
    }
    bool purge(bool rx, bool tx) override
    {
        s.calls << QStringLiteral("purge%1%2")
                       .arg(rx ? QStringLiteral(" rx") : QString(), tx ? QStringLiteral(" tx") : QString());
        return true;
    }
    qint64 outputQueued() override { return s.queued; }
    qint64 write(const char *data, qint64 size) override
    {
        const qint64 n = std::min(size, s.writeRoom);
        s.written.append(data, n);
        s.queued += n; // the line sends nothing on while the component waits
        return n;
    }
    qint64 read(char *buffer, qint64 max) override
    {
        if (s.readFails)
            return -1;
        const qint64 n = std::min<qint64>(max, s.waiting.size());
        std::copy_n(s.waiting.constData(), n, buffer);
        s.waiting.remove(0, n);
        return n;
    }
    bool gone() override { return m_open && s.gone; }
    QString errorText() const override { return QStringLiteral("refused by the line"); }

private:
    Script &s;
    bool m_open = false;
};

struct Harness
{
    Script script;
    ScriptedLine *line = new ScriptedLine(script); // owned by the driver
    TCommPortDriver driver{std::unique_ptr<SerialLine>(line)};
    QList<QByteArray> batches;
    int lost = 0;
    bool openAtLoss = true;

    Harness()
    {
        driver.OnReceiveData = [this](TCommPortDriver *, const void *data, quint32 size) {
            batches << QByteArray(static_cast<const char *>(data), qsizetype(size));
        };
        driver.OnConnectionLost = [this](TCommPortDriver *d) {
            ++lost;
            openAtLoss = d->IsOpen();
        };
        driver.setPortName(QStringLiteral("/dev/ttyTEST"));
    }
};

} // namespace

TEST(CommPortDriverRules, OpeningAsksTheLineInOrderWithTheProperties)
{
    Harness h;
    h.driver.setInBufSize(4096);
    h.driver.setOutBufSize(4096);
    h.script.timeoutsAccepted = false; // ignored
    ASSERT_TRUE(h.driver.OpenPort());
    EXPECT_EQ(h.script.openedDevice, QStringLiteral("/dev/ttyTEST"));
    EXPECT_EQ(h.script.calls,
              (QStringList{QStringLiteral("open"), QStringLiteral("line"), QStringLiteral("purge rx tx"),
                           QStringLiteral("queues"), QStringLiteral("timeouts")}));
    // The instrument's line: 9600 8N1, RTS raised, DTR low, no flow control.
    EXPECT_EQ(h.script.settings.baudRate, 9600u);
    EXPECT_EQ(h.script.settings.dataBits, db8BITS);
    EXPECT_EQ(h.script.settings.parity, ptNONE);
    EXPECT_EQ(h.script.settings.stopBits, sb1BITS);
    EXPECT_EQ(h.script.settings.hwFlow, hfNONERTSON);
    EXPECT_EQ(h.script.settings.swFlow, sfNONE);
    EXPECT_FALSE(h.script.settings.dtr);
    EXPECT_EQ(h.script.settings.inQueue, 4096u);
    EXPECT_EQ(h.script.settings.outQueue, 4096u);
    EXPECT_EQ(h.script.writeTimeout, 500);
    EXPECT_TRUE(h.driver.openErrorText().isEmpty());

    // Open again: nothing reopened, and the sizes are not changed under the open line.
    h.script.calls.clear();
    EXPECT_TRUE(h.driver.OpenPort());
    h.driver.setInBufSize(200);
    h.driver.setPortName(QStringLiteral("/dev/ttyOTHER"));
    EXPECT_TRUE(h.script.calls.isEmpty());
    EXPECT_EQ(h.driver.InBufSize(), 4096u);
    EXPECT_EQ(h.driver.PortName(), QStringLiteral("/dev/ttyTEST"));
}

TEST(CommPortDriverRules, RefusedLineSettingsCloseThePortAgain)
{
    Harness h;
    h.script.lineAccepted = false;
    EXPECT_FALSE(h.driver.OpenPort());
    EXPECT_FALSE(h.driver.IsOpen());
    EXPECT_EQ(h.script.calls.last(), QStringLiteral("close"));
    EXPECT_EQ(h.driver.openErrorText(), QStringLiteral("refused by the line"));
    EXPECT_FALSE(h.driver.WriteByte('I'));

    Harness missing;
    missing.script.opens = false;
    EXPECT_FALSE(missing.driver.OpenPort());
    EXPECT_EQ(missing.script.calls, QStringList{QStringLiteral("open")});
    EXPECT_FALSE(missing.driver.openErrorText().isEmpty());
}

TEST(CommPortDriverRules, OneBatchPerTickOfAtMostTheChunk)
{
    Harness h;
    h.driver.setInBufSize(128);
    ASSERT_TRUE(h.driver.OpenPort());
    h.driver.poll();
    EXPECT_TRUE(h.batches.isEmpty()); // nothing waiting: no event, never an empty batch
    h.script.waiting = QByteArray(300, 'x');
    h.driver.poll();
    h.driver.poll();
    ASSERT_EQ(h.batches.size(), 2);
    EXPECT_EQ(h.batches[0].size(), 128);
    EXPECT_EQ(h.batches[1].size(), 128);
    h.driver.poll();
    h.driver.poll();
    ASSERT_EQ(h.batches.size(), 3);
    EXPECT_EQ(h.batches[2].size(), 44);
}

TEST(CommPortDriverRules, ReadFailingOnALostDeviceEndsTheConnectionOnce)
{
    Harness h;
    ASSERT_TRUE(h.driver.OpenPort());
    h.script.waiting = "abc";
    h.driver.poll();
    h.script.readFails = true;
    h.script.gone = true;
    h.driver.poll();
    EXPECT_EQ(h.lost, 1);
    EXPECT_FALSE(h.openAtLoss); // closed before the handler runs
    EXPECT_FALSE(h.driver.IsOpen());
    h.driver.poll();
    h.driver.poll();
    EXPECT_EQ(h.lost, 1);
    EXPECT_EQ(h.batches, QList<QByteArray>{QByteArray("abc")});

    // A failed read of a line that is still there loses nothing and ends nothing.
    Harness passing;
    ASSERT_TRUE(passing.driver.OpenPort());
    passing.script.readFails = true;
    passing.driver.poll();
    EXPECT_EQ(passing.lost, 0);
    EXPECT_TRUE(passing.driver.IsOpen());
}

TEST(CommPortDriverRules, TroubleBetweenTicksIsCheckedOnceAfterwards)
{
    Harness h;
    ASSERT_TRUE(h.driver.OpenPort());
    // Trouble that passes (a line error): the check finds the line there and ends nothing.
    h.line->onTrouble();
    QCoreApplication::processEvents();
    EXPECT_EQ(h.lost, 0);
    EXPECT_TRUE(h.driver.IsOpen());

    // The device went: reported twice before the event loop runs, checked once. What arrived
    // before it went is handed over first.
    h.script.waiting = "tail";
    h.script.gone = true;
    h.line->onTrouble();
    h.line->onTrouble();
    EXPECT_EQ(h.lost, 0); // never inside the system's report
    QCoreApplication::processEvents();
    EXPECT_EQ(h.lost, 1);
    EXPECT_EQ(h.batches, QList<QByteArray>{QByteArray("tail")});
    EXPECT_FALSE(h.driver.IsOpen());
    h.driver.poll();
    EXPECT_EQ(h.lost, 1);
}

TEST(CommPortDriverRules, SendingRespectsRoomAndALostLine)
{
    Harness h;
    h.driver.setOutBufSize(128);
    ASSERT_TRUE(h.driver.OpenPort());
    EXPECT_EQ(h.driver.OutputFreeSpace(), 128);
    h.script.queued = 1000;
    EXPECT_EQ(h.driver.OutputFreeSpace(), 0);
    // No room for the whole time-out: nothing goes out.
    EXPECT_EQ(h.driver.WriteBytesTimed("ab", 2, 10), 0u);
    h.script.queued = 100;
    const QByteArray data(60, 'd');
    EXPECT_EQ(h.driver.WriteBytesTimed(data.constData(), 60, 10), 28u); // the room, then no more
    EXPECT_EQ(h.script.written, data.left(28));
    h.script.queued = 0;
    h.script.written.clear();
    h.script.writeRoom = 0; // the line takes nothing
    h.script.gone = true;   // ... because it is gone: the send stops without waiting
    EXPECT_EQ(h.driver.WriteBytesTimed("x", 1, 60000), 0u);
    h.script.gone = false;
    h.script.writeRoom = 1 << 20;
    EXPECT_TRUE(h.driver.WriteByte('I'));
    EXPECT_EQ(h.script.written, QByteArray("I"));

    h.driver.ClosePort();
    EXPECT_EQ(h.driver.OutputFreeSpace(), 65535);
}
