// Device link figures: a full memory through a pseudo-terminal against the least the polling
// rule allows, the handler's CPU time per 100 000 characters, and a download paced like the
// 9600 baud line against its line time plus the 1000 ms delay before "N".
#include "base/errors.h"
#include "device/downloadrunner.h"
#include "simulator/instrumentsimulator.h"
#include "simulator/ptyinstrument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

struct DownloadTimes
{
    double totalMs = 0;  // from the first "V" to the result
    double memoryMs = 0; // from "N" to the result
    qint64 memoryChars = 0;
    int result = 0;
};

DownloadTimes runDownload(int records, int charsPerSecond)
{
    InstrumentOptions options;
    options.model = 9;
    options.image = InstrumentSimulator::generateImage(records, 9);
    PtyInstrument instrument(options);
    instrument.setCharsPerSecond(charsPerSecond);
    DownloadTimes times;
    if (!instrument.start(nullptr))
        return times;
    times.memoryChars = InstrumentSimulator::memoryReply(options.image).size();

    DownloadRunner runner;
    runner.protocol().setSearchPorts({instrument.slavePath()});
    QElapsedTimer clock;
    qint64 memoryStart = 0;
    QObject::connect(&instrument, &PtyInstrument::commandReceived, [&](quint8 c) {
        if (c == 'N')
            memoryStart = clock.nsecsElapsed();
    });
    QEventLoop loop;
    QObject::connect(&runner, &DownloadRunner::finished, [&](int r) {
        times.result = r;
        loop.quit();
    });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    clock.start();
    runner.start();
    loop.exec();
    const qint64 end = clock.nsecsElapsed();
    runner.close();
    times.totalMs = double(end) / 1e6;
    times.memoryMs = double(end - memoryStart) / 1e6;
    return times;
}

// The fewest polling ticks that can carry n characters, 4096 a tick every 50 ms.
double deliveryFloorMs(qint64 chars)
{
    return std::ceil(double(chars) / 4096.0) * 50.0;
}

void BM_FullMemoryFast(benchmark::State &state)
{
    DownloadTimes t;
    for (auto _ : state) {
        t = runDownload(MemoryImage::MaxRecords, 0);
        state.SetIterationTime(t.totalMs / 1000.0);
    }
    const double floor = deliveryFloorMs(t.memoryChars);
    state.counters["result"] = t.result;
    state.counters["chars"] = double(t.memoryChars);
    state.counters["memory_ms"] = t.memoryMs;
    state.counters["floor_ms"] = floor;
    state.counters["memory/floor"] = t.memoryMs / floor;
    state.counters["total_ms"] = t.totalMs;
}
BENCHMARK(BM_FullMemoryFast)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_Paced100Records(benchmark::State &state)
{
    DownloadTimes t;
    for (auto _ : state) {
        t = runDownload(100, PtyInstrument::LineCharsPerSecond);
        state.SetIterationTime(t.totalMs / 1000.0);
    }
    // Identification (10 characters) and memory reply at 960 characters a second, plus the delay.
    const double lineMs = double(10 + t.memoryChars) * 1000.0 / PtyInstrument::LineCharsPerSecond;
    state.counters["result"] = t.result;
    state.counters["total_ms"] = t.totalMs;
    state.counters["line+delay_ms"] = lineMs + 1000.0;
    state.counters["total/(line+delay)"] = t.totalMs / (lineMs + 1000.0);
}
BENCHMARK(BM_Paced100Records)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

class NullHost : public DownloadHost
{
public:
    void setPortName(const QString &) override {}
    bool openPort() override { return true; }
    void closePort() override {}
    bool writeByte(quint8) override { return true; }
    void timerChanged(DownloadTimer, bool, int) override {}
    void setText(DownloadText, const QString &) override {}
    void setProgress(int) override {}
    void showMessage(const QString &, const QString &, MessageIcon) override {}
    void finish(int r) override { result = r; }
    int result = 0;
};

// CPU time of the handler for a memory reply of 100 000 characters, in batches of the given size
// (48: what one 50 ms tick brings at 9600 baud; 4096: a full chunk).
void BM_HandlerPer100kChars(benchmark::State &state)
{
    const int batch = int(state.range(0));
    const int records = (100000 - 6) / 24;
    const QByteArray reply = InstrumentSimulator::memoryReply(InstrumentSimulator::generateImage(records, 1));
    const QByteArray ident = InstrumentSimulator::identificationReply(1, 3, 5, 12, 3);
    NullHost host;
    MemoryImage image;
    DeviceInfo device;
    DownloadProtocol protocol(host, image, device);
    for (auto _ : state) {
        protocol.start();
        protocol.receive(reinterpret_cast<const quint8 *>(ident.constData()), 10);
        protocol.requestMemory();
        for (qsizetype at = 0; at < reply.size(); at += batch) {
            const qsizetype n = std::min<qsizetype>(batch, reply.size() - at);
            protocol.receive(reinterpret_cast<const quint8 *>(reply.constData() + at), quint32(n));
        }
        if (host.result != 1)
            state.SkipWithError("download did not complete");
    }
    state.counters["chars"] = double(reply.size());
    state.SetBytesProcessed(state.iterations() * reply.size());
}
BENCHMARK(BM_HandlerPer100kChars)->Arg(48)->Arg(4096)->Unit(benchmark::kMicrosecond);

} // namespace
