// Imports arbitrary memory image bytes into a fresh measurement table, as New and as Append; the
// table must then pass the open checks and hold what its file holds.
#include "data/dbftable.h"
#include "data/measurementtable.h"
#include "data/memoryimport.h"
#include "data/regional.h"
#include "fuzzing.h"

#include <algorithm>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    MemoryImage image;
    DeviceInfo device;
    device.ModelIndex = data[0] % 12; // 0 and 11 too: the import must cope with any value
    std::copy_n(data + 1, std::min<size_t>(size - 1, MemoryImage::Size), image.bytes.begin());
    // Most counts would import thousands of zero records and slow the fuzzer to a crawl: the count
    // stops one record after the end of the input (the unit tests cover a full image and beyond),
    // also for an input that ends within the count itself.
    const int given = size >= 3 ? int((size - 3) / MemoryImage::RecordSize) + 1 : 1;
    const int count = std::min(image.recordCount(), given);
    image.bytes[0] = quint8(count & 0xFF);
    image.bytes[1] = quint8(count >> 8);
    fuzzing::MemoryFiles files;
    const QString path = QStringLiteral("/fuzz/image.db");
    DbfTable table(Measurement::schema());
    table.setFileName(path);
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
    fuzzing::checkOpenTable(table);
    fuzzing::checkFileMatches(table, files.fs().contents(path));
    table.close();
    return 0;
}
