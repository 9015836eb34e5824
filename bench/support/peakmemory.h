#pragma once
// The process's peak resident memory so far, in MiB (0 where the system does not tell). It only
// grows: run one benchmark at a time (--benchmark_filter) to read the figure of that one.
#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

inline double peakResidentMiB()
{
#ifdef Q_OS_UNIX
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
#ifdef Q_OS_MACOS
    return double(usage.ru_maxrss) / (1024.0 * 1024.0); // bytes
#else
    return double(usage.ru_maxrss) / 1024.0; // KiB
#endif
#else
    return 0.0;
#endif
}
