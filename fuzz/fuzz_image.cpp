// Imports arbitrary memory image bytes into a fresh measurement table, as New and as Append; the
// table must then pass the open checks, hold what its file holds and no row the image lacks.
#include "base/regional.h"
#include "data/measurementtable.h"
#include "data/memoryimport.h"
#include "dbase/dbftable.h"
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
    image.length = int(std::min<size_t>(size - 1, MemoryImage::Size));
    fuzzing::MemoryFiles files;
    const QString path = QStringLiteral("/fuzz/image.db");
    DbfTable table(Measurement::schema());
    table.setFileName(path);
    try {
        table.create();
        table.open();
        importImage(table, image, device, false, nullptr);
    } catch (const QpxError &) {
    }
    // No row that the image does not hold: an image whose count promises more than arrived (or
    // more than the memory holds) yields none at all, as New and as Append.
    const bool whole = image.recordCount() <= image.deliveredRecords();
    if (table.isOpen() && table.physicalRecordCount() > (whole ? image.recordCount() : 0))
        std::abort();
    try {
        importImage(table, image, device, true, nullptr);
    } catch (const QpxError &) {
    }
    fuzzing::checkOpenTable(table);
    fuzzing::checkFileMatches(table, files.fs().contents(path));
    if (table.physicalRecordCount() > 2 * (whole ? image.recordCount() : 0))
        std::abort();
    table.close();
    return 0;
}
