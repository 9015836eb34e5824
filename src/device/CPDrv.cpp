#include "CPDrv.h"

#include "data/settingsstore.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSerialPort>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace {

constexpr quint32 minBufSize = 128;
constexpr quint32 maxBufSize = 8192;
constexpr quint16 minPollingDelay = 5;

QSerialPort::Parity toQt(TParity parity)
{
    switch (parity) {
    case ptODD:
        return QSerialPort::OddParity;
    case ptEVEN:
        return QSerialPort::EvenParity;
    case ptMARK:
        return QSerialPort::MarkParity;
    case ptSPACE:
        return QSerialPort::SpaceParity;
    case ptNONE:
        break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(TStopBits bits)
{
    switch (bits) {
    case sb1HALFBITS:
        return QSerialPort::OneAndHalfStop;
    case sb2BITS:
        return QSerialPort::TwoStop;
    case sb1BITS:
        break;
    }
    return QSerialPort::OneStop;
}

} // namespace

TCommPortDriver::TCommPortDriver(QObject *parent)
    : QObject(parent), m_serial(std::make_unique<QSerialPort>()), m_chunk(2048, 0),
      m_portName(QStringLiteral("\\\\.\\COM2"))
{
    m_pollTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pollTimer, &QTimer::timeout, this, &TCommPortDriver::poll);
    // A read or resource error may mean the device is gone: Qt would otherwise retry the dead
    // descriptor in a tight loop. The check runs once the error's own handling has returned.
    connect(m_serial.get(), &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
            error != QSerialPort::WriteError)
            return;
        if (m_lineCheckQueued || !IsOpen())
            return;
        m_lineCheckQueued = true;
        QMetaObject::invokeMethod(this, &TCommPortDriver::checkLine, Qt::QueuedConnection);
    });
}

TCommPortDriver::~TCommPortDriver()
{
    ClosePort();
}

// ---- names -------------------------------------------------------------------------------

quint32 TCommPortDriver::baudRateOf(TBaudRate rate)
{
    static const quint32 rates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                    14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return rates[rate];
}

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
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
}

// ---- property setters --------------------------------------------------------------------

void TCommPortDriver::setPort(TPortNumber value)
{
    if (IsOpen())
        return;
    m_port = value;
    if (value != pnCustom)
        m_portName = QStringLiteral("\\\\.\\COM%1").arg(int(value));
}

void TCommPortDriver::setPortName(const QString &value)
{
    if (IsOpen())
        return;
    m_portName = value;
    m_port = pnCustom;
}

void TCommPortDriver::setBaudRate(TBaudRate value)
{
    m_baudRate = value;
    if (value != brCustom)
        m_baudRateValue = baudRateOf(value);
    if (IsOpen())
        ApplyLineSettings();
}

void TCommPortDriver::setBaudRateValue(quint32 value)
{
    m_baudRateValue = value;
    m_baudRate = brCustom;
    if (IsOpen())
        ApplyLineSettings();
}

void TCommPortDriver::setDataBits(TDataBits value)
{
    m_dataBits = value;
    if (IsOpen())
        ApplyLineSettings();
}

void TCommPortDriver::setStopBits(TStopBits value)
{
    m_stopBits = value;
    if (IsOpen())
        ApplyLineSettings();
}

void TCommPortDriver::setParity(TParity value)
{
    m_parity = value;
    if (IsOpen())
        ApplyLineSettings();
}

void TCommPortDriver::setHwFlow(THwFlowControl value)
{
    m_hwFlow = value;
    if (IsOpen())
        ApplyLineSettings();
}

void TCommPortDriver::setSwFlow(TSwFlowControl value)
{
    m_swFlow = value;
    if (IsOpen())
        ApplyLineSettings();
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
    return m_serial->isOpen();
}

bool TCommPortDriver::OpenPort()
{
    if (IsOpen())
        return true;
    // QSerialPort opens exclusively (lock file and TIOCEXCL): a port another program holds fails.
    m_serial->setPortName(resolvePortName(m_portName));
    m_openError.clear();
    if (!m_serial->open(QIODevice::ReadWrite)) {
        m_openError = m_serial->errorString();
        m_serial->clearError();
        return false;
    }
#ifdef Q_OS_UNIX
    // Programs that take the advisory lock on a port (terminal programs do) hold it as well;
    // the lock is ours while the port is open and goes with the descriptor.
    if (::flock(int(m_serial->handle()), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        m_openError = QStringLiteral("Device or resource busy");
        m_serial->close();
        m_serial->clearError();
        return false;
    }
#endif
    if (!ApplyLineSettings()) {
        ClosePort();
        return false;
    }
    m_pollTimer.start(m_pollingDelay);
    return true;
}

void TCommPortDriver::ClosePort()
{
    if (!IsOpen())
        return;
    m_pollTimer.stop();
    m_serial->close();
    m_serial->clearError();
}

bool TCommPortDriver::ApplyLineSettings()
{
    if (!IsOpen())
        return false;
    QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;
    if (m_hwFlow == hfRTSCTS)
        flow = QSerialPort::HardwareControl;
    else if (m_swFlow == sfXONXOFF)
        flow = QSerialPort::SoftwareControl;
    const bool lineSet = m_serial->setBaudRate(qint32(std::min<quint32>(m_baudRateValue, 0x7FFFFFFF))) &&
                         m_serial->setDataBits(QSerialPort::DataBits(int(m_dataBits) + 5)) &&
                         m_serial->setParity(toQt(m_parity)) && m_serial->setStopBits(toQt(m_stopBits)) &&
                         m_serial->setFlowControl(flow);
    if (!lineSet) {
        m_serial->clearError();
        return false;
    }
    // DTR and RTS: a pseudo-terminal refuses to change them ("unsupported operation"), which
    // does not stop the line from working.
    m_serial->setDataTerminalReady(m_enableDTROnOpen);
    if (m_hwFlow != hfRTSCTS)
        m_serial->setRequestToSend(m_hwFlow == hfNONERTSON);
    m_serial->clearError();
    // Stale input (anything the instrument sent while nobody listened) is discarded.
    return PurgeBuffers(true, true);
}

bool TCommPortDriver::PurgeBuffers(bool rx, bool tx)
{
    if (!IsOpen())
        return false;
    if (!rx && !tx)
        return true;
    const QSerialPort::Directions directions =
        rx && tx ? QSerialPort::AllDirections : (rx ? QSerialPort::Input : QSerialPort::Output);
    const bool ok = m_serial->clear(directions);
    m_serial->clearError();
    return ok;
}

quint16 TCommPortDriver::OutputFreeSpace()
{
    if (!IsOpen())
        return 65535;
    qint64 waiting = m_serial->bytesToWrite();
#ifdef Q_OS_UNIX
    int queued = 0;
    if (::ioctl(int(m_serial->handle()), TIOCOUTQ, &queued) == 0 && queued > 0)
        waiting += queued;
#endif
    return quint16(std::max<qint64>(0, qint64(m_outBufSize) - waiting));
}

int TCommPortDriver::ReadLineStatus()
{
    if (!IsOpen())
        return 0;
    const QSerialPort::PinoutSignals pins = m_serial->pinoutSignals();
    if (m_serial->error() != QSerialPort::NoError) {
        m_serial->clearError();
        return 0;
    }
    int status = 0;
    if (pins & QSerialPort::ClearToSendSignal)
        status |= lsCTS;
    if (pins & QSerialPort::DataSetReadySignal)
        status |= lsDSR;
    if (pins & QSerialPort::RingIndicatorSignal)
        status |= lsRING;
    if (pins & QSerialPort::DataCarrierDetectSignal)
        status |= lsCD;
    return status;
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
            if (m_checkLineStatus && ReadLineStatus() == 0)
                break;
            const qint64 written = m_serial->write(bytes + sent, std::min<qint64>(size - sent, room));
            if (written > 0 && OnTraffic)
                OnTraffic(true, bytes + sent, written);
            if (written > 0) {
                m_serial->flush(); // hand the bytes to the line now, not at the next event
                sent += quint32(written);
                sinceProgress.restart();
                continue;
            }
            m_serial->clearError();
        }
        m_serial->flush();
        // A device that has gone away takes nothing more; waiting out the time-out would spin.
        if (!IsOpen() || lineGone())
            break;
        if (quint64(sinceProgress.elapsed()) > timeout)
            break;
    }
    return sent;
}

quint32 TCommPortDriver::WriteBytes(const void *data, quint32 size)
{
    return WriteBytesTimed(data, size, m_outputTimeout);
}

bool TCommPortDriver::WriteByte(quint8 value)
{
    return WriteBytes(&value, 1) == 1;
}

void TCommPortDriver::poll()
{
    if (!IsOpen())
        return;
    if (lineGone()) {
        checkLine();
        return;
    }
    // Line errors are cleared and otherwise ignored.
    if (m_serial->error() != QSerialPort::NoError)
        m_serial->clearError();
    deliver();
}

void TCommPortDriver::deliver()
{
    const qint64 waiting = m_serial->bytesAvailable();
    if (waiting <= 0)
        return;
    const qint64 got = m_serial->read(m_chunk.data(), std::min<qint64>(waiting, qint64(m_chunk.size())));
    if (got <= 0) {
        m_serial->clearError();
        return;
    }
    if (OnTraffic)
        OnTraffic(false, m_chunk.data(), got);
    if (OnReceiveData)
        OnReceiveData(this, m_chunk.data(), quint32(got));
}

bool TCommPortDriver::lineGone() const
{
#ifdef Q_OS_UNIX
    if (!IsOpen())
        return false;
    // A hung-up tty (the USB device removed, a pseudo-terminal's other side closed) reports
    // POLLHUP; a descriptor the kernel has invalidated reports POLLERR or POLLNVAL.
    pollfd fd{int(m_serial->handle()), POLLIN, 0};
    if (::poll(&fd, 1, 0) < 0)
        return false;
    return (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return m_serial->error() == QSerialPort::ResourceError;
#endif
}

void TCommPortDriver::checkLine()
{
    m_lineCheckQueued = false;
    if (!IsOpen())
        return;
    if (!lineGone() && m_serial->error() != QSerialPort::ResourceError) {
        m_serial->clearError();
        return;
    }
    // What arrived before the line went is still handed over (it may complete a reply).
    deliver();
    if (!IsOpen())
        return;
    ClosePort();
    if (OnConnectionLost)
        OnConnectionLost(this);
}
