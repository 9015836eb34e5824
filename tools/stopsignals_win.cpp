#include "stopsignals.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QMutex>

#include <windows.h>

namespace cli {

namespace {

// The console calls its control handler on a thread of its own; the stop goes to the event loop
// through a queued call on the application object.
QMutex g_mutex;
std::function<void()> *g_stop = nullptr;

BOOL WINAPI onConsoleControl(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT: {
        QMutexLocker lock(&g_mutex);
        if (!g_stop || !QCoreApplication::instance())
            return FALSE;
        const std::function<void()> stop = *g_stop;
        QMetaObject::invokeMethod(QCoreApplication::instance(), stop, Qt::QueuedConnection);
        // For a close of the console window Windows ends the process once the handlers return:
        // this one waits a moment so that the loop can close the port and the table first.
        if (event == CTRL_CLOSE_EVENT) {
            lock.unlock();
            ::Sleep(2000);
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}

} // namespace

struct StopSignals::Private
{
    std::function<void()> stop;
    bool installed = false;
};

StopSignals::StopSignals(std::function<void()> stopRequested) : d(std::make_unique<Private>())
{
    d->stop = std::move(stopRequested);
    {
        QMutexLocker lock(&g_mutex);
        g_stop = &d->stop;
    }
    d->installed = ::SetConsoleCtrlHandler(onConsoleControl, TRUE) != 0;
}

StopSignals::~StopSignals()
{
    if (d->installed)
        ::SetConsoleCtrlHandler(onConsoleControl, FALSE);
    QMutexLocker lock(&g_mutex);
    if (g_stop == &d->stop)
        g_stop = nullptr;
}

} // namespace cli
