#include "stopsignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace cli {

namespace {

int signalPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

} // namespace

// SIGINT and SIGTERM: the handler only writes a byte to a pipe that the loop watches.
struct StopSignals::Private
{
    std::unique_ptr<QSocketNotifier> notifier;
    struct sigaction oldInt
    {};
    struct sigaction oldTerm
    {};
};

StopSignals::StopSignals(std::function<void()> stopRequested) : d(std::make_unique<Private>())
{
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    d->notifier = std::make_unique<QSocketNotifier>(qintptr(signalPipe[0]), QSocketNotifier::Read);
    QObject::connect(d->notifier.get(), &QSocketNotifier::activated, [stop = std::move(stopRequested)] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        stop();
    });
    struct sigaction action
    {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &d->oldInt);
    ::sigaction(SIGTERM, &action, &d->oldTerm);
}

StopSignals::~StopSignals()
{
    if (!d->notifier)
        return;
    ::sigaction(SIGINT, &d->oldInt, nullptr);
    ::sigaction(SIGTERM, &d->oldTerm, nullptr);
}

} // namespace cli
