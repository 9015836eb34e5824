#pragma once
// Turning the readings of a memory image into rows of the open measurement table.
#include "base/messages.h"
#include "dbase/dbftable.h"
#include "memoryimage.h"

#include <QString>

// Imports the image's records into the open table: all of them (append false), or only those
// newer than the table's last row (append true, which then reports "Добавлено записей: N" through
// messages when it is not null). Does nothing when the table is not open. An error ends the
// import at the record that raised it; the rows posted before it stay in the file. A complete
// import syncs the table (DbfTable::sync) before it reports.
void importImage(DbfTable &table, const MemoryImage &image, const DeviceInfo &device, bool append,
                 MessageSink *messages);

// Refuses an image whose record count announces more records than were delivered (a download
// or file cut short) or than the instrument's memory holds, with the operator's text naming the
// count and what arrived. Checked before anything is created or posted.
void requireWholeImage(const MemoryImage &image);

// Reads a memory image file: a regular file of at most MemoryImage::Size bytes (never a device
// or a FIFO, which would be read without end or block). Raises with the operator's text.
void readImageFile(const QString &path, MemoryImage &image);

// Bytes position and position + 1, unsigned little-endian. Positions outside the image raise
// RangeError.
int imageWord(const MemoryImage &image, int position);
// Bytes position .. position + 3, little-endian; a value with the top bit set raises OverflowError.
qint32 imageLong(const MemoryImage &image, int position);
// "hh:mm:ss" from the seconds, minutes and hours bytes starting at position (out of range -> 00).
QString imageTimeText(const MemoryImage &image, int position);
// "dd.mm.yyyy" from the day, month and year bytes starting at position (out of range -> 01).
QString imageDateText(const MemoryImage &image, int position);
// The moment of a DATE and a TIME text as whole seconds since 1 January of year 1 (day 1).
// Texts that are no valid date and time raise ConvertError with the joined text.
qint64 dateTimeSeconds(const QString &date, const QString &time);
// dateTimeSeconds of the DATE and TIME texts that the record at `position` gets on import.
qint64 imageRecordSeconds(const MemoryImage &image, int position);
