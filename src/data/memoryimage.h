#pragma once
// The instrument's memory as a download leaves it, and what the identification told about the
// instrument. Both are program-wide: the download protocol fills them, the import reads them.
#include "base/errors.h"

#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <array>

struct MemoryImage
{
    static constexpr int Size = 65536;
    static constexpr int RecordSize = 12;
    static constexpr int MaxRecords = (Size - 2) / RecordSize; // 5461

    std::array<quint8, Size> bytes{};
    // How many leading bytes hold what was really delivered (by a download, a file, or set()).
    // The import takes no record beyond it.
    int length = 0;

    // Checked access: a position outside the image raises "Range check error".
    quint8 at(int position) const
    {
        if (position < 0 || position >= Size)
            throw RangeError();
        return bytes[size_t(position)];
    }
    void set(int position, quint8 value)
    {
        if (position < 0 || position >= Size)
            throw RangeError();
        bytes[size_t(position)] = value;
        length = std::max(length, position + 1);
    }
    // Record count: bytes 0 and 1, little-endian.
    int recordCount() const { return bytes[0] | (bytes[1] << 8); }
    void clear()
    {
        bytes.fill(0);
        length = 0;
    }
    // The records that the delivered bytes hold whole.
    int deliveredRecords() const { return std::max(0, length - 2) / RecordSize; }
};

struct DeviceInfo
{
    int ModelIndex = 0;      // 1 to 10, one per model of the series
    int TypeCode = 0;        // 3 for the right instrument
    QString FirmwareVersion; // such as 03.12.05
};

// The program-wide instances.
MemoryImage &memoryImage();
DeviceInfo &deviceInfo();
