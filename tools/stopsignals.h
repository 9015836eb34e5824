#pragma once
// Interrupts for a qpx-cli command that runs an event loop (Ctrl+C, a termination request): while
// a StopSignals lives, the interrupt only hands a note to the loop, and the loop calls
// stopRequested() on its own thread. POSIX: SIGINT and SIGTERM (stopsignals_posix.cpp); Windows:
// the console's Ctrl+C, Ctrl+Break and close events (stopsignals_win.cpp).
#include <functional>
#include <memory>

namespace cli {

class StopSignals
{
public:
    explicit StopSignals(std::function<void()> stopRequested);
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace cli
