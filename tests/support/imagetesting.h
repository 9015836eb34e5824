#pragma once
// Building memory images record by record for the import tests, benchmarks and tools.
#include "data/memoryimage.h"

#include <QList>

struct ImageRecord
{
    quint32 mass = 0;
    quint8 sign = 0;
    quint8 series = 0;
    quint8 seconds = 0;
    quint8 minutes = 0;
    quint8 hours = 0;
    quint8 day = 1;
    quint8 month = 1;
    quint8 year = 5;
};

// Writes the records from position 2 on and the count (given, or the number of records).
inline void fillImage(MemoryImage &image, const QList<ImageRecord> &records, int count = -1)
{
    image.clear();
    const int n = count < 0 ? int(records.size()) : count;
    image.bytes[0] = quint8(n & 0xFF);
    image.bytes[1] = quint8(n >> 8);
    for (int k = 0; k < records.size(); ++k) {
        const ImageRecord &r = records[k];
        const int p = 2 + 12 * k;
        for (int i = 0; i < 4; ++i)
            image.bytes[size_t(p + i)] = quint8((r.mass >> (8 * i)) & 0xFF);
        const quint8 rest[8] = {r.sign, r.series, r.seconds, r.minutes, r.hours, r.day, r.month, r.year};
        for (int i = 0; i < 8; ++i)
            image.bytes[size_t(p + 4 + i)] = rest[i];
    }
    image.length = 2 + MemoryImage::RecordSize * int(records.size());
}

// A full image: 5461 readings one minute apart from 01.01.2005 00:00:00, every third one of a
// series, every seventh negative.
inline QList<ImageRecord> fullImageRecords()
{
    QList<ImageRecord> records;
    for (int k = 0; k < MemoryImage::MaxRecords; ++k) {
        ImageRecord r;
        r.mass = quint32(100000 + 37 * k);
        r.sign = k % 7 == 0 ? 1 : 0;
        r.series = k % 3 == 0 ? quint8(1 + k % 255) : 0;
        const int minute = k;
        r.minutes = quint8(minute % 60);
        r.hours = quint8((minute / 60) % 24);
        r.day = quint8(1 + minute / 1440);
        r.month = 1;
        r.year = 5;
        records.append(r);
    }
    return records;
}
