#include "downloadrunner.h"

#include "base/errors.h"
#include "linetrace.h"
#include "serialports.h"

#include <QCoreApplication>

DownloadRunner::DownloadRunner(QObject *parent) : QObject(parent), m_protocol(*this)
{
    // The port as the dialog's stored description sets it up (the line itself, DTR low
    // included, is the component's own).
    m_port.setPortName(DownloadProtocol::com1());
    m_port.setInBufSize(4096);
    m_port.setOutBufSize(4096);
    m_port.OnReceiveData = [this](TCommPortDriver *, const void *data, quint32 size) {
        guarded([&] { m_protocol.receive(static_cast<const quint8 *>(data), size); });
        // A format error ends the download once it has been reported.
        if (m_protocol.failedByError())
            m_protocol.endAfterFormatError();
    };
    m_port.OnConnectionLost = [this](TCommPortDriver *) {
        if (m_trace)
            m_trace->note(QStringLiteral("связь потеряна"));
        guarded([this] { m_protocol.connectionLost(); });
    };
    m_port.OnTraffic = [this](bool outgoing, const char *data, qint64 size) {
        if (!outgoing && !m_attempts.isEmpty())
            m_attempts.last().bytes += quint64(size);
        if (m_trace)
            m_trace->bytes(outgoing, data, size);
    };

    m_searchTimer.setTimerType(Qt::PreciseTimer);
    m_memoryDelayTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_searchTimer, &QTimer::timeout, this,
            [this] { guarded([this] { m_protocol.searchTimedOut(); }); });
    connect(&m_memoryDelayTimer, &QTimer::timeout, this,
            [this] { guarded([this] { m_protocol.requestMemory(); }); });
}

DownloadRunner::~DownloadRunner()
{
    m_port.OnReceiveData = nullptr;
    m_port.ClosePort();
}

void DownloadRunner::guarded(const std::function<void()> &handler)
{
    if (m_guard) {
        m_guard(handler);
        return;
    }
    try {
        handler();
    } catch (const QpxError &e) {
        QString text = e.text();
        if (!text.isEmpty() && text.back() > QLatin1Char('.'))
            text += QLatin1Char('.');
        if (m_sink)
            m_sink->showMessage(text, QCoreApplication::applicationName(), MessageIcon::Error);
    }
}

void DownloadRunner::start()
{
    m_attempts.clear();
    guarded([this] { m_protocol.start(); });
}

void DownloadRunner::cancel()
{
    guarded([this] { m_protocol.cancel(); });
}

void DownloadRunner::close()
{
    m_protocol.close();
}

void DownloadRunner::setPortName(const QString &name)
{
    m_port.setPortName(name);
}

bool DownloadRunner::openPort()
{
    Attempt attempt;
    attempt.name = m_port.PortName();
    attempt.device = TCommPortDriver::resolvePortName(attempt.name);
    const bool opened = m_port.OpenPort();
    if (!opened) {
        // Ask the system why: the probe opens the device itself, which is harmless now that
        // our own open has failed.
        const SerialPorts::PortCheck check = SerialPorts::probe(attempt.device);
        attempt.failure = check.access == SerialPorts::Access::Available
                              ? QStringLiteral("не открывается: ") + m_port.openErrorText()
                              : SerialPorts::accessText(check);
    }
    m_attempts.append(attempt);
    if (m_trace)
        m_trace->note(attemptLine(attempt, opened ? QStringLiteral("открыт") : attempt.failure));
    return opened;
}

void DownloadRunner::closePort()
{
    if (m_trace && m_port.IsOpen())
        m_trace->note(QStringLiteral("порт закрыт"));
    m_port.ClosePort();
}

QString DownloadRunner::attemptLine(const Attempt &attempt, const QString &what)
{
    const QString port = attempt.name == attempt.device
                             ? attempt.name
                             : QStringLiteral("%1 (%2)").arg(attempt.name, attempt.device);
    return port + QStringLiteral(": ") + what;
}

QString DownloadRunner::searchReport()
{
    QStringList lines;
    for (const Attempt &a : m_attempts) {
        QString what = a.failure;
        if (what.isEmpty())
            what = a.bytes == 0 ? QStringLiteral("открыт, но прибор не ответил")
                                : QStringLiteral("открыт, получено символов: %1, ответ прибора не распознан")
                                      .arg(a.bytes);
        lines << attemptLine(a, what);
    }
    return lines.join(QLatin1Char('\n'));
}

QString DownloadRunner::lostPortReport()
{
    if (m_attempts.isEmpty())
        return QString();
    return attemptLine(m_attempts.last(), QStringLiteral("устройство отключено или линия оборвана"));
}

void DownloadRunner::progressMade()
{
    emit advanced();
}

void DownloadRunner::showDetailedMessage(const QString &text, const QString &informative,
                                         const QString &caption, MessageIcon icon)
{
    if (m_sink)
        m_sink->showDetailedMessage(text, informative, caption, icon);
}

bool DownloadRunner::writeByte(quint8 value)
{
    return m_port.WriteByte(value);
}

void DownloadRunner::timerChanged(DownloadTimer timer, bool enabled, int interval)
{
    QTimer &t = timer == DownloadTimer::Search ? m_searchTimer : m_memoryDelayTimer;
    if (enabled && interval > 0)
        t.start(interval);
    else
        t.stop();
}

void DownloadRunner::setText(DownloadText field, const QString &text)
{
    emit textChanged(field, text);
}

void DownloadRunner::setProgress(int position)
{
    emit progressChanged(position);
}

void DownloadRunner::showMessage(const QString &text, const QString &caption, MessageIcon icon)
{
    if (m_sink)
        m_sink->showMessage(text, caption, icon);
}

void DownloadRunner::finish(int result)
{
    emit finished(result);
}
