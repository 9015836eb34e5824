#include "CPDrv.h"

#include "base/settingsstore.h"
#include "serialline.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <algorithm>

namespace {

constexpr quint32 minBufSize = 128;
constexpr quint32 maxBufSize = 8192;
constexpr quint16 minPollingDelay = 5;

} // namespace

TCommPortDriver::TCommPortDriver(QObject *parent) : TCommPortDriver(SerialLine::create(), parent) {}

TCommPortDriver::TCommPortDriver(std::unique_ptr<SerialLine> line, QObject *parent)
    : QObject(parent), m_line(std::move(line)), m_chunk(2048, 0), m_portName(QStringLiteral("\\\\.\\COM2"))
{
    m_pollTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pollTimer, &QTimer::timeout, this, &TCommPortDriver::poll);
    // Trouble the line notices between ticks is looked at once the system's own handling of it
    // has returned, and only once however often it is reported.
    m_line->onTrouble = [this] {
        if (m_lineCheckQueued || !IsOpen())
            return;
        m_lineCheckQueued = true;
        QMetaObject::invokeMethod(this, &TCommPortDriver::checkLine, Qt::QueuedConnection);
    };
}

TCommPortDriver::~TCommPortDriver()
{
    ClosePort();
}

// ---- names -------------------------------------------------------------------------------

QString TCommPortDriver::resolvePortName(const QString &name)
{
    static const QRegularExpression comName(QStringLiteral("^\\\\\\\\\\.\\\\COM([0-9]+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(name);
    if (!match.hasMatch())
        return name;
    const int number = match.captured(1).toInt();
    const QString configured =
        SettingsStore::open()->value(QStringLiteral("Ports/COM%1").arg(number)).toString().trimmed();
    if (!configured.isEmpty())
        return configured;
    return defaultDevice(number);
}

QString TCommPortDriver::defaultDevice(int com)
{
    return SerialLine::defaultDevice(com);
}

// ---- property setters --------------------------------------------------------------------

void TCommPortDriver::setPortName(const QString &value)
{
    if (IsOpen())
        return;
    m_portName = value;
}

void TCommPortDriver::setInBufSize(quint32 value)
{
    if (IsOpen())
        return;
    m_inBufSize = std::clamp(value, minBufSize, maxBufSize);
    m_chunk.assign(m_inBufSize, 0);
}

void TCommPortDriver::setOutBufSize(quint32 value)
{
    if (IsOpen())
        return;
    m_outBufSize = std::clamp(value, minBufSize, maxBufSize);
}

void TCommPortDriver::setPollingDelay(quint16 value)
{
    value = std::max(value, minPollingDelay);
    const bool changed = value != m_pollingDelay;
    m_pollingDelay = value;
    if (changed && IsOpen())
        m_pollTimer.start(m_pollingDelay);
}

// ---- operations --------------------------------------------------------------------------

bool TCommPortDriver::IsOpen() const
{
    return m_line->isOpen();
}

SerialLineSettings TCommPortDriver::lineSettings() const
{
    // The instrument's line: 9600 8N1 with RTS raised and no flow control (the defaults of the
    // settings), and DTR low.
    SerialLineSettings settings;
    settings.dtr = false;
    settings.inQueue = m_inBufSize;
    settings.outQueue = m_outBufSize;
    return settings;
}

bool TCommPortDriver::OpenPort()
{
    if (IsOpen())
        return true;
    m_openError.clear();
    if (!m_line->open(resolvePortName(m_portName))) {
        m_openError = m_line->errorText();
        return false;
    }
    if (!ApplyLineSettings()) {
        m_openError = m_line->errorText();
        ClosePort();
        return false;
    }
    // Reads never wait (only what is waiting is read); a failure here does not stop the line.
    m_line->setTimeouts(OutputTimeout);
    m_pollTimer.start(m_pollingDelay);
    return true;
}

void TCommPortDriver::ClosePort()
{
    if (!IsOpen())
        return;
    m_pollTimer.stop();
    m_line->close();
}

bool TCommPortDriver::ApplyLineSettings()
{
    if (!IsOpen())
        return false;
    // Stale input (anything the instrument sent while nobody listened) is discarded.
    return m_line->setLine(lineSettings()) && PurgeBuffers(true, true) &&
           m_line->setQueues(m_inBufSize, m_outBufSize);
}

bool TCommPortDriver::PurgeBuffers(bool rx, bool tx)
{
    if (!IsOpen())
        return false;
    return m_line->purge(rx, tx);
}

quint16 TCommPortDriver::OutputFreeSpace()
{
    if (!IsOpen())
        return 65535;
    return quint16(std::max<qint64>(0, qint64(m_outBufSize) - m_line->outputQueued()));
}

quint32 TCommPortDriver::WriteBytesTimed(const void *data, quint32 size, quint32 timeout)
{
    if (!IsOpen())
        return 0;
    const char *bytes = static_cast<const char *>(data);
    quint32 sent = 0;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    while (sent < size) {
        const quint16 room = OutputFreeSpace();
        if (room > 0) {
            const qint64 written = m_line->write(bytes + sent, std::min<qint64>(size - sent, room));
            if (written > 0) {
                if (OnTraffic)
                    OnTraffic(true, bytes + sent, written);
                sent += quint32(written);
                sinceProgress.restart();
                continue;
            }
        }
        // A device that has gone away takes nothing more; waiting out the time-out would spin.
        if (!IsOpen() || m_line->gone())
            break;
        if (quint64(sinceProgress.elapsed()) > timeout)
            break;
    }
    return sent;
}

bool TCommPortDriver::WriteByte(quint8 value)
{
    return WriteBytesTimed(&value, 1, OutputTimeout) == 1;
}

void TCommPortDriver::poll()
{
    if (!IsOpen())
        return;
    if (m_line->gone()) {
        checkLine();
        return;
    }
    deliver();
    // A read that failed because the device went away ends the connection now, not a tick later.
    if (IsOpen() && m_line->gone())
        checkLine();
}

void TCommPortDriver::deliver()
{
    const qint64 got = m_line->read(m_chunk.data(), qint64(m_chunk.size()));
    if (got <= 0)
        return;
    if (OnTraffic)
        OnTraffic(false, m_chunk.data(), got);
    if (OnReceiveData)
        OnReceiveData(this, m_chunk.data(), quint32(got));
}

void TCommPortDriver::checkLine()
{
    m_lineCheckQueued = false;
    if (!IsOpen() || !m_line->gone())
        return;
    // What arrived before the line went is still handed over (it may complete a reply).
    deliver();
    if (!IsOpen())
        return;
    ClosePort();
    if (OnConnectionLost)
        OnConnectionLost(this);
}
