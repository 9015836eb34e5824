// Shared main of the benchmark programs: a Qt application object (offscreen for the ones that
// draw), the Russian regional settings the tables are written in, then Google Benchmark.
#include "base/regional.h"

#include <QtGlobal>
#include <benchmark/benchmark.h>
#ifdef QPX_BENCH_GUI
#include <QApplication>
using BenchApplication = QApplication;
#else
#include <QCoreApplication>
using BenchApplication = QCoreApplication;
#endif

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchApplication app(argc, argv);
    Regional::setCurrent(Regional::russian());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
