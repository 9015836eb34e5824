// The serial line on POSIX systems: Qt SerialPort on a tty, plus the few tty calls Qt does not
// offer (the advisory lock other programs take, the kernel's output queue, hang-up detection).
#include "serialline.h"

#include <QObject>
#include <QSerialPort>
#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace {

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

class TtyLine final : public SerialLine
{
public:
    TtyLine()
    {
        // A read or resource error may mean the device is gone: Qt would otherwise retry the
        // dead descriptor in a tight loop, so the component is told to look.
        QObject::connect(&m_serial, &QSerialPort::errorOccurred, &m_serial,
                         [this](QSerialPort::SerialPortError error) {
                             if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
                                 error != QSerialPort::WriteError)
                                 return;
                             if (onTrouble && m_serial.isOpen())
                                 onTrouble();
                         });
    }

    bool open(const QString &device) override
    {
        m_error.clear();
        // QSerialPort opens exclusively (lock file and TIOCEXCL): a port another program holds
        // fails.
        m_serial.setPortName(device);
        if (!m_serial.open(QIODevice::ReadWrite)) {
            m_error = m_serial.errorString();
            m_serial.clearError();
            return false;
        }
        // Programs that take the advisory lock on a port (terminal programs do) hold it as
        // well; the lock is ours while the port is open and goes with the descriptor.
        if (::flock(fd(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            m_error = QStringLiteral("Device or resource busy");
            close();
            return false;
        }
        return true;
    }

    void close() override
    {
        m_serial.close();
        m_serial.clearError();
    }

    bool isOpen() const override { return m_serial.isOpen(); }

    bool setLine(const SerialLineSettings &s) override
    {
        QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;
        if (s.hwFlow == hfRTSCTS)
            flow = QSerialPort::HardwareControl;
        else if (s.swFlow == sfXONXOFF)
            flow = QSerialPort::SoftwareControl;
        const bool lineSet = m_serial.setBaudRate(qint32(std::min<quint32>(s.baudRate, 0x7FFFFFFF))) &&
                             m_serial.setDataBits(QSerialPort::DataBits(int(s.dataBits) + 5)) &&
                             m_serial.setParity(toQt(s.parity)) && m_serial.setStopBits(toQt(s.stopBits)) &&
                             m_serial.setFlowControl(flow);
        if (!lineSet) {
            m_error = m_serial.errorString();
            m_serial.clearError();
            return false;
        }
        // DTR and RTS: a pseudo-terminal refuses to change them ("unsupported operation"),
        // which does not stop the line from working.
        m_serial.setDataTerminalReady(s.dtr);
        if (s.hwFlow != hfRTSCTS)
            m_serial.setRequestToSend(s.hwFlow == hfNONERTSON);
        m_serial.clearError();
        return true;
    }

    // The tty's queues are the kernel's own; reads and writes never block here.
    bool setQueues(quint32, quint32) override { return true; }
    bool setTimeouts(quint16) override { return true; }

    bool purge(bool rx, bool tx) override
    {
        if (!rx && !tx)
            return true;
        const QSerialPort::Directions directions =
            rx && tx ? QSerialPort::AllDirections : (rx ? QSerialPort::Input : QSerialPort::Output);
        const bool ok = m_serial.clear(directions);
        m_serial.clearError();
        return ok;
    }

    qint64 outputQueued() override
    {
        // What Qt still holds is handed to the kernel first, then both are counted.
        if (m_serial.bytesToWrite() > 0)
            m_serial.flush();
        qint64 waiting = m_serial.bytesToWrite();
        int queued = 0;
        if (::ioctl(fd(), TIOCOUTQ, &queued) == 0 && queued > 0)
            waiting += queued;
        return waiting;
    }

    qint64 write(const char *data, qint64 size) override
    {
        const qint64 written = m_serial.write(data, size);
        if (written > 0) {
            m_serial.flush(); // hand the bytes to the line now, not at the next event
            return written;
        }
        m_serial.clearError();
        return 0;
    }

    qint64 read(char *buffer, qint64 max) override
    {
        // Line errors (framing, parity, overrun) are cleared and otherwise ignored; a lost
        // device stays visible to gone().
        if (m_serial.error() != QSerialPort::NoError && m_serial.error() != QSerialPort::ResourceError)
            m_serial.clearError();
        const qint64 waiting = m_serial.bytesAvailable();
        if (waiting <= 0)
            return 0;
        const qint64 got = m_serial.read(buffer, std::min(waiting, max));
        if (got < 0 && m_serial.error() != QSerialPort::ResourceError)
            m_serial.clearError();
        return got;
    }

    bool gone() override
    {
        if (!isOpen())
            return false;
        if (m_serial.error() == QSerialPort::ResourceError)
            return true;
        // A hung-up tty (the USB device removed, a pseudo-terminal's other side closed) reports
        // POLLHUP; a descriptor the kernel has invalidated reports POLLERR or POLLNVAL.
        pollfd p{fd(), POLLIN, 0};
        if (::poll(&p, 1, 0) < 0)
            return false;
        return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }

    QString errorText() const override { return m_error; }

private:
    int fd() const { return int(m_serial.handle()); }

    QSerialPort m_serial;
    QString m_error;
};

} // namespace

std::unique_ptr<SerialLine> SerialLine::create()
{
    return std::make_unique<TtyLine>();
}

QString SerialLine::defaultDevice(int com)
{
    return QStringLiteral("/dev/ttyS%1").arg(com - 1);
}
