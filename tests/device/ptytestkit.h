#pragma once
// Pieces the device tests share: a pseudo-terminal whose slave side the code under test opens,
// and the process's CPU time for proving that nothing spins while waiting.
#include <QByteArray>
#include <QEventLoop>
#include <QString>
#include <QThread>
#include <QTimer>
#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

// The master side of a pseudo-terminal; the driver opens the slave side by its path.
struct Pty
{
    int master = -1;
    QString path;

    Pty()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return;
        path = QString::fromLocal8Bit(::ptsname(master));
        termios tio{};
        ::tcgetattr(master, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(master, TCSANOW, &tio);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~Pty()
    {
        if (master >= 0)
            ::close(master);
    }
    void write(const QByteArray &bytes) const
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
            else
                QThread::msleep(1);
        }
    }
    QByteArray read() const
    {
        QByteArray out;
        char buffer[256];
        ssize_t n;
        while ((n = ::read(master, buffer, sizeof buffer)) > 0)
            out.append(buffer, n);
        return out;
    }
};

// CPU time this process has used, user and system, in milliseconds.
inline qint64 cpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// Lets the event loop run idle for ms (no polling of our own, so the CPU time is the driver's).
inline void idle(qint64 ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(int(ms), &loop, &QEventLoop::quit);
    loop.exec();
}
