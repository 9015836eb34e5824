// The download protocol fed arbitrary instrument streams, as the runner drives it through the
// protocol's host interface: instrument bytes, ticks of both timers, a port that hangs up or will
// not open, the operator's cancel, and the import of whatever the download completed into a
// table in memory.
//
// Input: a sequence of commands. A byte n of 1..250 is followed by n bytes from the port; 0 is a
// tick of the delay timer (the memory command goes out), 255 of the search timer, 254 a hangup
// (writes fail, the port is gone), 253 makes the next open fail, 252 is the operator's cancel,
// 251 the dialog closing.
#include "base/errors.h"
#include "data/measurementtable.h"
#include "data/memoryimport.h"
#include "device/downloadprotocol.h"
#include "fuzzing.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class Host : public DownloadHost
{
public:
    void setPortName(const QString &) override {}
    bool openPort() override
    {
        if (refuseOpen) {
            refuseOpen = false;
            return false;
        }
        return open = true;
    }
    void closePort() override { open = false; }
    bool writeByte(quint8) override { return open; }
    void timerChanged(DownloadTimer, bool, int) override {}
    void setText(DownloadText, const QString &) override {}
    void setProgress(int) override {}
    void showMessage(const QString &, const QString &, MessageIcon) override {}
    void finish(int r) override
    {
        if (finished)
            std::abort(); // one result per download
        finished = true;
        result = r;
    }
    bool open = false;
    bool refuseOpen = false;
    bool finished = false;
    int result = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Host host;
    MemoryImage image;
    DeviceInfo device;
    DownloadProtocol protocol(host, image, device);
    protocol.start();
    size_t at = 0;
    try {
        while (at < size && protocol.running()) {
            const size_t n = data[at++];
            switch (n) {
            case 0:
                protocol.requestMemory();
                continue;
            case 255:
                protocol.searchTimedOut();
                continue;
            case 254:
                host.open = false;
                continue;
            case 253:
                host.refuseOpen = true;
                continue;
            case 252:
                protocol.cancel();
                continue;
            case 251:
                protocol.close();
                continue;
            default:
                break;
            }
            const size_t take = std::min(n, size - at);
            if (take == 0)
                break;
            try {
                protocol.receive(data + at, quint32(take));
            } catch (const QpxError &) {
                if (!protocol.failedByError() || host.open)
                    std::abort(); // a format error ends the download with the port closed
                protocol.endAfterFormatError();
            }
            at += take;
        }
    } catch (const QpxError &) {
    }
    if (host.result != 1)
        return 0;
    // A completed download has a record count the image holds in full, and imports.
    if (2 + image.recordCount() * MemoryImage::RecordSize > MemoryImage::Size)
        std::abort();
    if (image.recordCount() == 0)
        return 0;
    fuzzing::MemoryFiles files;
    const QString path = QStringLiteral("/fuzz/d.db");
    DbfTable table(Measurement::schema());
    table.setFileName(path);
    try {
        table.create();
        table.open();
        importImage(table, image, device, false, nullptr);
    } catch (const QpxError &) {
    }
    fuzzing::checkOpenTable(table);
    fuzzing::checkFileMatches(table, files.fs().contents(path));
    return 0;
}
