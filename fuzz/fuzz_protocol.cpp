// The download protocol fed arbitrary instrument streams. The input is a sequence of batches:
// a length byte n followed by n bytes is one batch from the port; a length byte 0 is a tick of
// the delay timer (the memory command goes out), 255 a tick of the search timer.
#include "data/errors.h"
#include "device/downloadprotocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class NullHost : public DownloadHost
{
public:
    void setPortName(const QString &) override {}
    bool openPort() override { return open = true; }
    void closePort() override { open = false; }
    bool writeByte(quint8) override { return open; }
    void timerChanged(DownloadTimer, bool, int) override {}
    void setText(DownloadText, const QString &) override {}
    void setProgress(int) override {}
    void showMessage(const QString &, const QString &, MessageIcon) override {}
    void finish(int r) override { result = r; }
    bool open = false;
    int result = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    NullHost host;
    MemoryImage image;
    DeviceInfo device;
    DownloadProtocol protocol(host, image, device);
    protocol.FormShow();
    size_t at = 0;
    while (at < size && protocol.running()) {
        const size_t n = data[at++];
        if (n == 0) {
            protocol.Timer2Timer();
            continue;
        }
        if (n == 255) {
            protocol.Timer1Timer();
            continue;
        }
        const size_t take = std::min(n, size - at);
        if (take == 0)
            break;
        try {
            protocol.CommPortDriver1ReceiveData(data + at, quint32(take));
        } catch (const QpxError &) {
            // A format error ends the download with the port closed.
            if (!protocol.failedByError() || host.open)
                std::abort();
            protocol.endAfterFormatError();
        }
        at += take;
    }
    // A completed download has a record count the image holds in full.
    if (host.result == 1 && 2 + image.recordCount() * MemoryImage::RecordSize > MemoryImage::Size)
        std::abort();
    return 0;
}
