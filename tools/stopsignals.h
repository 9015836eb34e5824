#pragma once
// SIGINT and SIGTERM for a qpx-cli command that runs an event loop: while a StopSignals lives, the
// signal handler only writes a byte to a pipe, and the loop calls stopRequested() on its own thread.
#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace cli {

class StopSignals
{
public:
    explicit StopSignals(std::function<void()> stopRequested);
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_oldInt
    {};
    struct sigaction m_oldTerm
    {};
};

} // namespace cli
