#pragma once
// The bytes of a dBase table file (internal to src/dbase): the 32-byte header, the 32-byte field
// descriptors after it up to a terminator byte, then the records, each a flag byte and the
// fields' values side by side, then an end-of-file byte. Every place in the header and in a
// descriptor is named below by its offset and length.
#include "base/errors.h"
#include "dbffield.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

class CodePage;

namespace DbfFormat {

// A place in the header or in a descriptor.
struct Slot
{
    int offset;
    int length;
};

namespace Header {
constexpr int Size = 32;
constexpr Slot Version{0, 1};          // the low three bits 3: dBase III / IV without memo
constexpr Slot UpdateYear{1, 1};       // the date of the last change: years since 1900,
constexpr Slot UpdateMonth{2, 1};      // month,
constexpr Slot UpdateDay{3, 1};        // day
constexpr Slot RecordCount{4, 4};      // little-endian, as every number here
constexpr Slot HeaderLength{8, 2};     // bytes before the first record
constexpr Slot RecordLength{10, 2};    // the flag byte included
constexpr Slot ProductionIndex{28, 1}; // nonzero: a production index file belongs to the table
constexpr Slot LanguageDriver{29, 1};  // the code page of the texts
} // namespace Header

namespace Descriptor {
constexpr int Size = 32;
constexpr Slot Name{0, 11};     // ASCII, padded with NUL bytes
constexpr Slot Type{11, 1};     // 'C', 'N', 'F', 'D', 'L', 'M'
constexpr Slot Width{16, 1};    // the width, or its low byte in a character field
constexpr Slot Decimals{17, 1}; // the decimals, or the width's high byte in a character field
} // namespace Descriptor

constexpr quint8 VersionDbase = 0x03;      // what a new table is written as
constexpr quint8 VersionMask = 0x07;       // the bits of the version that a table must have 3 in
constexpr quint8 DriverWindows1251 = 0xC9; // the language driver of a new table
constexpr char Terminator = 0x0D;          // after the last descriptor
constexpr char EndOfFile = 0x1A;           // after the last record
constexpr char LiveFlag = ' ';
constexpr char DeletedFlag = '*';

quint16 readU16(const char *at);
quint32 readU32(const char *at);
void writeU16(char *at, quint16 value);
void writeU32(char *at, quint32 value);
inline quint32 recordCount(const char *header)
{
    return readU32(header + Header::RecordCount.offset);
}
inline void setRecordCount(char *header, quint32 count)
{
    writeU32(header + Header::RecordCount.offset, count);
}
// Today's date as the date of the last change.
void stampDate(char *header);

DbfError invalidFile();
DbfError fieldNotFound(const QString &name);

// A field of an open table: its description, where its value starts in a record, its kind.
struct Field
{
    DbfFieldDef def;
    int offset = 0;
    DbfFieldKind kind = DbfFieldKind::Other;
};

DbfFieldKind kindOf(const DbfFieldDef &field);
inline bool isNumericKind(DbfFieldKind k)
{
    return k != DbfFieldKind::Text && k != DbfFieldKind::Other;
}

// The header, the descriptors and the terminator of a new table of these fields; raises for a
// field list that no table file can hold.
QByteArray encodeHeader(const QList<DbfFieldDef> &fields);

// What the header and the descriptors of a file say.
struct Layout
{
    int headerLength = 0;
    int recordLength = 0;
    QList<Field> fields;
    QHash<QString, int> fieldByName; // upper-case name -> index; the first of equal names
};
// Decodes the first `size` bytes of a file (all of it); raises "Invalid DBF file." for what is
// no table.
Layout decodeHeader(const char *data, qint64 size);
// Checks that the layout has every field of `schema` with the same kind (the widths of texts
// aside); raises the operator's error for the first that is missing or of another kind.
void bindSchema(const Layout &layout, const QList<DbfFieldDef> &schema);

// Values. A text without its trailing blanks (and NUL bytes); a number as written, blanks
// around it removed; null (a numeric field of blanks, or of '*' as other writers fill it) reads
// as an empty text.
QString fieldText(const char *record, const Field &field, const CodePage &codec);
bool fieldNull(const char *record, const Field &field);
// The bytes of a text value without trailing blanks and NUL bytes: its length from `value`.
int trimmedLength(const char *value, int width);
// Puts bytes into the field, blank-filled, cut to the width, left or right aligned.
void store(char *record, const Field &field, const QByteArray &bytes, bool rightAlign);

} // namespace DbfFormat
