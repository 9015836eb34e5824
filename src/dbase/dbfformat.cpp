#include "dbfformat.h"

#include "codepage.h"

#include <QDate>
#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

using namespace DbfFormat;

QString kindName(DbfFieldKind kind, char type)
{
    switch (kind) {
    case DbfFieldKind::Text:
        return QStringLiteral("String");
    case DbfFieldKind::SmallInt:
        return QStringLiteral("SmallInt");
    case DbfFieldKind::Integer:
        return QStringLiteral("Integer");
    case DbfFieldKind::LargeInt:
        return QStringLiteral("LargeInt");
    case DbfFieldKind::Float:
        return QStringLiteral("Float");
    case DbfFieldKind::Other:
        break;
    }
    switch (type) {
    case 'D':
        return QStringLiteral("Date");
    case 'L':
        return QStringLiteral("Boolean");
    case 'M':
        return QStringLiteral("Memo");
    default:
        return QStringLiteral("Unknown");
    }
}

char *at(char *base, Slot slot)
{
    return base + slot.offset;
}
const char *at(const char *base, Slot slot)
{
    return base + slot.offset;
}

} // namespace

quint16 DbfFormat::readU16(const char *p)
{
    return quint16(quint8(p[0]) | (quint8(p[1]) << 8));
}

quint32 DbfFormat::readU32(const char *p)
{
    return quint32(quint8(p[0])) | (quint32(quint8(p[1])) << 8) | (quint32(quint8(p[2])) << 16) |
           (quint32(quint8(p[3])) << 24);
}

void DbfFormat::writeU16(char *p, quint16 v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

void DbfFormat::writeU32(char *p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}

void DbfFormat::stampDate(char *header)
{
    const QDate today = QDate::currentDate();
    *at(header, Header::UpdateYear) = char(std::clamp(today.year() - 1900, 0, 255));
    *at(header, Header::UpdateMonth) = char(today.month());
    *at(header, Header::UpdateDay) = char(today.day());
}

DbfError DbfFormat::invalidFile()
{
    return DbfError(QStringLiteral("Invalid DBF file."));
}

DbfError DbfFormat::fieldNotFound(const QString &name)
{
    return DbfError(QStringLiteral("Field '%1' not found").arg(name));
}

DbfFieldKind DbfFormat::kindOf(const DbfFieldDef &f)
{
    switch (f.type) {
    case 'C':
        return DbfFieldKind::Text;
    case 'N':
        if (f.decimals > 0)
            return DbfFieldKind::Float;
        if (f.width <= 4)
            return DbfFieldKind::SmallInt;
        if (f.width <= 9)
            return DbfFieldKind::Integer;
        return DbfFieldKind::LargeInt;
    case 'F':
        return DbfFieldKind::Float;
    default:
        return DbfFieldKind::Other;
    }
}

QByteArray DbfFormat::encodeHeader(const QList<DbfFieldDef> &defs)
{
    if (defs.isEmpty() || defs.size() > 255)
        throw DbfError(QStringLiteral("Неверный список полей таблицы."));
    int length = 1;
    for (const DbfFieldDef &f : defs) {
        const QByteArray n = f.name.toUpper().toLatin1();
        const bool known = f.type == 'C' || f.type == 'N' || f.type == 'F' || f.type == 'D' || f.type == 'L';
        const int maxWidth = f.type == 'C' ? 65535 : 255;
        if (n.isEmpty() || n.size() >= Descriptor::Name.length || !known || f.width < 1 ||
            f.width > maxWidth || f.decimals < 0 || f.decimals > 255)
            throw DbfError(QStringLiteral("Неверное описание поля «%1».").arg(f.name));
        length += f.width;
    }
    if (length > 65535)
        throw DbfError(QStringLiteral("Неверный список полей таблицы."));
    const int hl = Header::Size + Descriptor::Size * int(defs.size()) + 1;
    QByteArray bytes(hl, '\0');
    char *h = bytes.data();
    *at(h, Header::Version) = char(VersionDbase);
    stampDate(h);
    writeU16(at(h, Header::HeaderLength), quint16(hl));
    writeU16(at(h, Header::RecordLength), quint16(length));
    *at(h, Header::LanguageDriver) = char(DriverWindows1251);
    for (qsizetype i = 0; i < defs.size(); ++i) {
        char *d = h + Header::Size + Descriptor::Size * i;
        const QByteArray n = defs[i].name.toUpper().toLatin1();
        std::memcpy(at(d, Descriptor::Name), n.constData(), size_t(n.size()));
        *at(d, Descriptor::Type) = defs[i].type;
        *at(d, Descriptor::Width) = char(defs[i].width & 0xFF);
        *at(d, Descriptor::Decimals) =
            defs[i].type == 'C' ? char(defs[i].width >> 8) : char(defs[i].decimals);
    }
    h[hl - 1] = Terminator;
    return bytes;
}

DbfFormat::Layout DbfFormat::decodeHeader(const char *h, qint64 size)
{
    if (size < Header::Size)
        throw invalidFile();
    if ((quint8(*at(h, Header::Version)) & VersionMask) != VersionDbase)
        throw invalidFile();
    Layout layout;
    const int hl = readU16(at(h, Header::HeaderLength));
    const int rl = readU16(at(h, Header::RecordLength));
    if (hl == 0 || rl == 0 || hl < Header::Size)
        throw invalidFile();
    int offset = 1; // after the flag byte
    const int maxFields = (hl - Header::Size) / Descriptor::Size;
    layout.fields.reserve(qMin<qint64>(maxFields, (size - Header::Size) / Descriptor::Size + 1));
    for (int i = 0; i < maxFields; ++i) {
        const qint64 start = Header::Size + Descriptor::Size * qint64(i);
        if (start >= size)
            throw invalidFile();
        const char *d = h + start;
        if (d[0] == Terminator)
            break;
        if (start + Descriptor::Size > size)
            throw invalidFile();
        const char *name = at(d, Descriptor::Name);
        int n = 0;
        while (n < Descriptor::Name.length && name[n] != '\0')
            ++n;
        const QString fieldName = QString::fromLatin1(name, n).trimmed();
        const char type = char(std::toupper(quint8(*at(d, Descriptor::Type))));
        if (fieldName.isEmpty() || !type || !std::memchr("CNFDLM", type, 6))
            throw invalidFile();
        Field f;
        f.def.name = fieldName;
        f.def.type = type;
        f.def.width = quint8(*at(d, Descriptor::Width));
        f.def.decimals = 0;
        if (type == 'C')
            f.def.width += quint8(*at(d, Descriptor::Decimals)) << 8;
        else
            f.def.decimals = quint8(*at(d, Descriptor::Decimals));
        f.offset = offset;
        f.kind = kindOf(f.def);
        offset += f.def.width;
        if (offset > rl)
            throw invalidFile();
        layout.fields.append(std::move(f));
    }
    // Lengths that disagree with the descriptors are no table: a header shorter than its own
    // descriptors and terminator, a header that runs past the end of the file, or a record length
    // that is not the deletion flag plus the fields would place every record wrongly, and anything
    // written from them would overwrite readings.
    if (hl < qint64(Header::Size) + qint64(Descriptor::Size) * layout.fields.size() + 1 || hl > size ||
        offset != rl)
        throw invalidFile();
    layout.headerLength = hl;
    layout.recordLength = rl;
    for (qsizetype i = 0; i < layout.fields.size(); ++i) {
        const QString key = layout.fields[i].def.name.toUpper();
        if (!layout.fieldByName.contains(key))
            layout.fieldByName.insert(key, int(i));
    }
    return layout;
}

void DbfFormat::bindSchema(const Layout &layout, const QList<DbfFieldDef> &schema)
{
    for (const DbfFieldDef &want : schema) {
        const int i = layout.fieldByName.value(want.name.toUpper(), -1);
        if (i < 0)
            throw fieldNotFound(want.name);
        const Field &have = layout.fields[i];
        const DbfFieldKind expected = kindOf(want);
        if (have.kind != expected)
            throw DbfError(
                QStringLiteral("Type mismatch for field '%1', expecting: %2 actual: %3")
                    .arg(want.name, kindName(expected, want.type), kindName(have.kind, have.def.type)));
    }
}

int DbfFormat::trimmedLength(const char *p, int n)
{
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
        --n;
    return n;
}

QString DbfFormat::fieldText(const char *record, const Field &fd, const CodePage &codec)
{
    const char *p = record + fd.offset;
    if (fd.kind == DbfFieldKind::Text || fd.kind == DbfFieldKind::Other)
        return codec.decode(p, trimmedLength(p, fd.def.width));
    if (fieldNull(record, fd))
        return QString();
    const int n = trimmedLength(p, fd.def.width);
    int start = 0;
    while (start < n && p[start] == ' ')
        ++start;
    return QString::fromLatin1(p + start, n - start);
}

bool DbfFormat::fieldNull(const char *record, const Field &fd)
{
    const bool numeric = isNumericKind(fd.kind);
    for (int i = 0; i < fd.def.width; ++i) {
        const char c = record[fd.offset + i];
        if (c != ' ' && c != '\0' && !(numeric && c == '*'))
            return false;
    }
    return true;
}

void DbfFormat::store(char *record, const Field &fd, const QByteArray &bytes, bool rightAlign)
{
    char *p = record + fd.offset;
    std::memset(p, ' ', size_t(fd.def.width));
    const int n = std::min<int>(int(bytes.size()), fd.def.width);
    std::memcpy(p + (rightAlign ? fd.def.width - n : 0), bytes.constData(), size_t(n));
}
