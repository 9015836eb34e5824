#include "downloadrunner.h"

#include "data/errors.h"

#include <QCoreApplication>

DownloadRunner::DownloadRunner(QObject *parent) : QObject(parent), m_protocol(*this)
{
    // The port as the dialog's stored description sets it up.
    m_port.setPort(pnCustom);
    m_port.setPortName(DownloadProtocol::com1());
    m_port.setInBufSize(4096);
    m_port.setOutBufSize(4096);
    m_port.setEnableDTROnOpen(false);
    m_port.OnReceiveData = [this](TCommPortDriver *, const void *data, quint32 size) {
        guarded([&] { m_protocol.CommPortDriver1ReceiveData(static_cast<const quint8 *>(data), size); });
        // A format error ends the download once it has been reported.
        if (m_protocol.failedByError())
            m_protocol.endAfterFormatError();
    };

    m_timer1.setTimerType(Qt::PreciseTimer);
    m_timer2.setTimerType(Qt::PreciseTimer);
    connect(&m_timer1, &QTimer::timeout, this, [this] { guarded([this] { m_protocol.Timer1Timer(); }); });
    connect(&m_timer2, &QTimer::timeout, this, [this] { guarded([this] { m_protocol.Timer2Timer(); }); });
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
    guarded([this] { m_protocol.FormShow(); });
}

void DownloadRunner::cancel()
{
    guarded([this] { m_protocol.Button1Click(); });
}

void DownloadRunner::close()
{
    m_protocol.FormClose();
}

void DownloadRunner::setPortName(const QString &name)
{
    m_port.setPortName(name);
}

bool DownloadRunner::openPort()
{
    return m_port.OpenPort();
}

void DownloadRunner::closePort()
{
    m_port.ClosePort();
}

bool DownloadRunner::writeByte(quint8 value)
{
    return m_port.WriteByte(value);
}

void DownloadRunner::timerChanged(DownloadTimer timer, bool enabled, int interval)
{
    QTimer &t = timer == DownloadTimer::Timer1 ? m_timer1 : m_timer2;
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
