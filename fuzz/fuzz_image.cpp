// Imports arbitrary memory image bytes into a fresh measurement table, as New and as Append.
#include "data/dbftable.h"
#include "data/memoryimport.h"
#include "data/regional.h"

#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    if (size < 1)
        return 0;
    MemoryImage image;
    DeviceInfo device;
    device.ModelIndex = data[0] % 12; // 0 and 11 too: the import must cope with any value
    std::copy_n(data + 1, std::min<size_t>(size - 1, MemoryImage::Size), image.bytes.begin());
    DbfTable table;
    table.setFileName(dir.filePath(QStringLiteral("image.db")));
    try {
        table.create();
        table.open();
        flash2qpx01(table, image, device, false, nullptr);
    } catch (const QpxError &) {
    }
    try {
        flash2qpx01(table, image, device, true, nullptr);
    } catch (const QpxError &) {
    }
    table.close();
    return 0;
}
