#include "ptyinstrument.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

PtyInstrument::PtyInstrument(InstrumentOptions options, QObject *parent)
    : QObject(parent), m_simulator(std::move(options))
{
    m_paceTimer.setInterval(10);
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_paceTimer, &QTimer::timeout, this, &PtyInstrument::pump);
}

PtyInstrument::~PtyInstrument()
{
    delete m_readNotifier;
    delete m_writeNotifier;
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
    if (m_master >= 0)
        ::close(m_master);
}

void PtyInstrument::hangUp()
{
    if (m_master < 0)
        return;
    // The notifiers may be the ones whose signal runs this: they go once it has returned.
    for (QSocketNotifier *notifier : {m_readNotifier, m_writeNotifier}) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    m_paceTimer.stop();
    m_pending.clear();
    // With the master side closed the slave side reads as hung up, whoever holds it open.
    ::close(m_master);
    m_master = -1;
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
    m_slaveKeep = -1;
    emit hangedUp();
}

bool PtyInstrument::start(QString *error)
{
    auto fail = [&](const char *what) {
        if (error)
            *error =
                QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail("posix_openpt");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail("grantpt");
    const char *name = ::ptsname(m_master);
    if (!name)
        return fail("ptsname");
    m_slavePath = QString::fromLocal8Bit(name);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    // Raw mode on both sides: bytes pass unchanged, nothing is echoed.
    termios tio{};
    if (::tcgetattr(m_master, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_master, TCSANOW, &tio);
    }
    m_slaveKeep = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slaveKeep < 0)
        return fail("open slave");
    if (::tcgetattr(m_slaveKeep, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B9600);
        ::tcsetattr(m_slaveKeep, TCSANOW, &tio);
    }

    m_readNotifier = new QSocketNotifier(qintptr(m_master), QSocketNotifier::Read);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyInstrument::onReadable);
    m_writeNotifier = new QSocketNotifier(qintptr(m_master), QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyInstrument::pump);
    return true;
}

void PtyInstrument::onReadable()
{
    char buffer[256];
    for (;;) {
        const ssize_t got = ::read(m_master, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t i = 0; i < got; ++i) {
            const quint8 command = quint8(buffer[i]);
            m_commands.append(char(command));
            emit commandReceived(command);
            const QByteArray reply = m_simulator.answer(command);
            if (reply.isEmpty())
                continue;
            // A new command starts a new exchange: whatever was still going out is dropped.
            m_pending = reply;
            m_replySent = 0;
            m_replyClock.start();
        }
    }
    schedule();
}

void PtyInstrument::schedule()
{
    if (m_master < 0)
        return;
    if (m_pending.isEmpty()) {
        m_paceTimer.stop();
        m_writeNotifier->setEnabled(false);
        return;
    }
    pump();
}

void PtyInstrument::pump()
{
    if (m_master < 0)
        return;
    if (m_hangupAfter >= 0 && m_sent >= m_hangupAfter) {
        hangUp();
        return;
    }
    if (m_pending.isEmpty()) {
        m_paceTimer.stop();
        m_writeNotifier->setEnabled(false);
        return;
    }
    qint64 allowed = m_pending.size();
    if (m_cps > 0) {
        const qint64 due = m_replyClock.elapsed() * m_cps / 1000 + 1;
        allowed = std::min<qint64>(allowed, std::max<qint64>(0, due - m_replySent));
    }
    if (m_hangupAfter >= 0)
        allowed = std::min(allowed, m_hangupAfter - m_sent);
    bool blocked = false;
    if (allowed > 0) {
        const ssize_t written = ::write(m_master, m_pending.constData(), size_t(allowed));
        if (written > 0) {
            m_pending.remove(0, qsizetype(written));
            m_replySent += written;
            m_sent += written;
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            blocked = true;
        }
        blocked = blocked || (written >= 0 && written < allowed);
    }
    if (m_hangupAfter >= 0 && m_sent >= m_hangupAfter) {
        hangUp();
        return;
    }
    if (m_pending.isEmpty()) {
        m_paceTimer.stop();
        m_writeNotifier->setEnabled(false);
        emit replySent();
        return;
    }
    // Wait for room in the line (fast) or for the next slice of line time (paced).
    m_writeNotifier->setEnabled(blocked || m_cps <= 0);
    if (m_cps > 0 && !m_paceTimer.isActive())
        m_paceTimer.start();
}
