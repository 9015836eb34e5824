#include "dbftable.h"

#include "codepage.h"
#include "measurementtable.h"
#include "regional.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using DbfIo::File;
using DbfIo::OpenMode;
using DbfIo::OpenResult;

// Writes all bytes (short counts are retried).
bool writeAll(File *file, const char *data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const qint64 n = file->write(data, size, offset);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

// The files this process has open, by file system and resolved path: one file is never opened
// twice. Never destroyed, so that a table closed by a static destructor still finds it.
QMutex &openMutex()
{
    static QMutex *mutex = new QMutex;
    return *mutex;
}
QSet<QString> &openFiles()
{
    static QSet<QString> *files = new QSet<QString>;
    return *files;
}

QString openKey(const QString &path)
{
    DbfIo::FileSystem &fs = DbfIo::fileSystem();
    return fs.identity() + fs.resolve(path);
}

bool isOpenInProcess(const QString &path)
{
    QMutexLocker lock(&openMutex());
    return openFiles().contains(openKey(path));
}

// ---------------------------------------------------------------------------------------------
// Texts of errors

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}
DbfError invalidFile()
{
    return DbfError(QStringLiteral("Invalid DBF file."));
}
DbfError fieldNotFound(const QString &name)
{
    return DbfError(QStringLiteral("Field '%1' not found").arg(name));
}
DbfWriteError writeFailed(bool indexToo = false)
{
    return DbfWriteError(
        indexToo ? QStringLiteral("Error while writing occurred; indexes probably corrupted. (Disk full?)")
                 : QStringLiteral("Error while writing occurred. (Disk full?)"));
}
DbfError inUse(const QString &path)
{
    return DbfError(QStringLiteral("Файл «%1» занят другой программой.").arg(native(path)));
}
DbfError notOpen()
{
    return DbfError(QStringLiteral("Таблица не открыта."));
}

// Opens an existing file exclusively; a file this process or another program holds is refused.
// Returns the file or raises the operator's error.
std::unique_ptr<File> openExclusiveOrThrow(const QString &file, const QString &name)
{
    if (name.isEmpty())
        throw DbfError(QStringLiteral("Не задано имя файла таблицы."));
    if (isOpenInProcess(file))
        throw inUse(file);
    std::unique_ptr<File> opened;
    QString error;
    switch (DbfIo::fileSystem().open(file, OpenMode::Existing, true, &opened, &error)) {
    case OpenResult::Ok:
        break;
    case OpenResult::InUse:
        throw inUse(file);
    case OpenResult::Failed:
        throw DbfError(QStringLiteral("Не удаётся открыть файл «%1»: %2").arg(native(file), error));
    }
    return opened;
}

// A scratch file beside target under a fixed name: while the table (or its creation) holds the
// target, nobody else uses that name, so a file of that name is left over from an operation that
// was cut off and goes first. Never follows a link.
std::unique_ptr<File> createScratch(const QString &scratch)
{
    DbfIo::FileSystem &fs = DbfIo::fileSystem();
    if (fs.lookup(scratch, false).exists)
        fs.remove(scratch);
    std::unique_ptr<File> out;
    QString error;
    if (fs.open(scratch, OpenMode::CreateNew, true, &out, &error) != OpenResult::Ok)
        return nullptr;
    return out;
}

QString scratchName(const QString &target, const QString &suffix)
{
    const QFileInfo info(target);
    return QDir(info.path()).filePath(QStringLiteral(".%1.%2").arg(info.fileName(), suffix));
}

QString folderOf(const QString &path)
{
    return QFileInfo(path).absolutePath();
}

} // namespace

namespace {

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

DbfFieldKind kindOf(const DbfFieldDef &f)
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

bool isNumericKind(DbfFieldKind k)
{
    return k != DbfFieldKind::Text && k != DbfFieldKind::Other;
}

quint16 u16(const char *p)
{
    return quint16(quint8(p[0]) | (quint8(p[1]) << 8));
}
quint32 u32(const char *p)
{
    return quint32(quint8(p[0])) | (quint32(quint8(p[1])) << 8) | (quint32(quint8(p[2])) << 16) |
           (quint32(quint8(p[3])) << 24);
}
void put32(char *p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}

void stampDate(char *header)
{
    const QDate today = QDate::currentDate();
    header[1] = char(std::clamp(today.year() - 1900, 0, 255));
    header[2] = char(today.month());
    header[3] = char(today.day());
}

constexpr char EofByte = 0x1A;
constexpr char Terminator = 0x0D;
const QString IndexMagic = QStringLiteral("QPX production index 1");

struct Field
{
    DbfFieldDef def;
    int offset = 0;
    DbfFieldKind kind = DbfFieldKind::Other;
};

struct Tag
{
    QString name; // upper case
    int field = -1;
    bool descending = false;
};

struct SortKey
{
    quint64 prefix = 0; // the first 8 bytes of text, big-endian: most comparisons end here
    QByteArray text;
    double number = 0;
    bool null = true;
};

struct Filter
{
    enum Mode { Exact, Prefix, Suffix, Contains };
    int field = -1;
    Mode mode = Exact;
    QString text;
};

} // namespace

// ---------------------------------------------------------------------------------------------

struct DbfTable::Private
{
    DbfTable *q;
    QString directory;
    QString name;
    QList<DbfFieldDef> schema = Measurement::schema();

    std::unique_ptr<File> file;
    QString canonical;     // the key in the set of open files
    QString resolved;      // the file the open holds, links resolved
    bool unsynced = false; // written since the last sync
    State state = State::Closed;
    QByteArray header; // the first 32 bytes
    int headerLength = 0;
    int recordLength = 0;
    int count = 0;
    QList<Field> fields;
    QHash<QString, int> fieldByName; // upper-case name -> index
    QByteArray records;              // every record of the file, in file order
    const CodePage *codec = &CodePage::windows1251();

    QByteArray buffer; // the record being edited or inserted
    int editRec = 0;   // its record number (0 while inserting)

    // The current order: visible records, and each record's row in it (-1 when hidden).
    std::vector<int> order;
    std::vector<int> rowOfRec; // index 0 unused
    std::vector<SortKey> keys; // of the selected tag, by record number
    int cur = -1;
    bool atBof = true;
    bool atEof = true;

    QList<Tag> tags;
    QString selected; // upper-case tag name, empty for physical order

    QString filterText;
    bool filterOn = false;
    Filter filter;
    bool filterValid = false;

    const char *rec(int recNo) const { return records.constData() + qint64(recNo - 1) * recordLength; }
    // A space marks a live record, '*' a deleted one. Any other flag, or a NUL byte in a live
    // record, is what a power cut leaves of a record whose sectors did not all reach the disk
    // (no writer pads with NUL bytes): such a record is no reading.
    bool live(const char *r) const { return r[0] == ' ' && !std::memchr(r, 0, size_t(recordLength)); }
    bool damaged(const char *r) const { return r[0] != '*' && !live(r); }
    QString path() const
    {
        return directory.isEmpty() || directory == QLatin1String(".") ? name : QDir(directory).filePath(name);
    }
    QString indexPath() const
    {
        const QFileInfo info(path());
        return info.dir().filePath(info.completeBaseName() + QStringLiteral(".mdx"));
    }

    void requireOpen() const
    {
        if (state == State::Closed)
            throw notOpen();
    }
    void requireEditing() const
    {
        if (state != State::Edit && state != State::Insert)
            throw DbfError(QStringLiteral("Таблица не в режиме редактирования."));
    }
    int fieldIndexOrThrow(const QString &fieldName) const
    {
        const int i = fieldByName.value(fieldName.toUpper(), -1);
        if (i < 0)
            throw fieldNotFound(fieldName);
        return i;
    }

    // Values
    QString fieldText(const char *record, int f) const
    {
        const Field &fd = fields[f];
        const char *p = record + fd.offset;
        int n = fd.def.width;
        if (fd.kind == DbfFieldKind::Text || fd.kind == DbfFieldKind::Other) {
            while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
                --n;
            return codec->decode(p, n);
        }
        if (fieldNull(record, f))
            return QString();
        int start = 0;
        while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
            --n;
        while (start < n && p[start] == ' ')
            ++start;
        return QString::fromLatin1(p + start, n - start);
    }
    // A numeric field of blanks is null; other writers fill a null number with '*'.
    bool fieldNull(const char *record, int f) const
    {
        const Field &fd = fields[f];
        const bool numeric = isNumericKind(fd.kind);
        for (int i = 0; i < fd.def.width; ++i) {
            const char c = record[fd.offset + i];
            if (c != ' ' && c != '\0' && !(numeric && c == '*'))
                return false;
        }
        return true;
    }
    const char *currentRecord() const
    {
        if (state == State::Edit || state == State::Insert)
            return buffer.constData();
        if (cur >= 0 && cur < int(order.size()))
            return rec(order[size_t(cur)]);
        return nullptr;
    }
    void store(int f, const QByteArray &bytes, bool rightAlign)
    {
        const Field &fd = fields[f];
        char *p = buffer.data() + fd.offset;
        std::memset(p, ' ', size_t(fd.def.width));
        const int n = std::min<int>(int(bytes.size()), fd.def.width);
        std::memcpy(p + (rightAlign ? fd.def.width - n : 0), bytes.constData(), size_t(n));
    }
    void storeNumber(int f, const QByteArray &digits, const QString &shown)
    {
        if (digits.size() > fields[f].def.width)
            throw DbfError(
                QStringLiteral("Число %1 не помещается в поле %2.").arg(shown, fields[f].def.name));
        store(f, digits, true);
    }

    // Order
    bool visible(int recNo) const
    {
        const char *r = rec(recNo);
        if (!live(r))
            return false;
        if (filterOn && filterValid) {
            const QString t = fieldText(r, filter.field);
            switch (filter.mode) {
            case Filter::Exact:
                return t == filter.text;
            case Filter::Prefix:
                return t.startsWith(filter.text);
            case Filter::Suffix:
                return t.endsWith(filter.text);
            case Filter::Contains:
                return t.contains(filter.text);
            }
        }
        return true;
    }
    const Tag *selectedTag() const
    {
        for (const Tag &t : tags) {
            if (t.name == selected)
                return &t;
        }
        return nullptr;
    }
    SortKey keyOf(int recNo, const Tag &tag) const
    {
        SortKey key;
        const char *r = rec(recNo);
        const Field &fd = fields[tag.field];
        if (isNumericKind(fd.kind)) {
            key.null = fieldNull(r, tag.field);
            if (!key.null) {
                bool ok = false;
                key.number = fieldText(r, tag.field).toDouble(&ok);
                if (!ok)
                    key.number = 0;
            }
        } else {
            key.null = false;
            int n = fd.def.width;
            const char *p = r + fd.offset;
            while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
                --n;
            key.text = codec->sortKey(p, n);
            for (int i = 0; i < 8; ++i)
                key.prefix = (key.prefix << 8) | quint8(i < key.text.size() ? key.text[i] : 0);
        }
        return key;
    }
    // The selected tag as the comparisons need it; set by buildOrder.
    bool sorted = false;
    bool sortNumeric = false;
    bool sortDescending = false;

    bool less(int a, int b) const
    {
        if (!sorted)
            return a < b;
        const SortKey &ka = keys[size_t(a)];
        const SortKey &kb = keys[size_t(b)];
        int c = 0;
        if (sortNumeric) {
            if (ka.null != kb.null)
                c = ka.null ? -1 : 1;
            else if (!ka.null && ka.number != kb.number)
                c = ka.number < kb.number ? -1 : 1;
        } else if (ka.prefix != kb.prefix) {
            c = ka.prefix < kb.prefix ? -1 : 1;
        } else {
            c = ka.text.compare(kb.text);
        }
        if (c == 0)
            return a < b; // equal keys keep file order
        return sortDescending ? c > 0 : c < 0;
    }
    void refreshKey(int recNo)
    {
        if (const Tag *tag = selectedTag())
            keys[size_t(recNo)] = keyOf(recNo, *tag);
    }
    int currentRec() const { return cur >= 0 && cur < int(order.size()) ? order[size_t(cur)] : 0; }

    void buildOrder()
    {
        const int keep = currentRec();
        order.clear();
        rowOfRec.assign(size_t(count) + 1, -1);
        keys.clear();
        const Tag *selectedOne = selectedTag();
        sorted = selectedOne != nullptr;
        sortNumeric = sorted && isNumericKind(fields[selectedOne->field].kind);
        sortDescending = sorted && selectedOne->descending;
        if (const Tag *tag = selectedOne) {
            keys.resize(size_t(count) + 1);
            for (int r = 1; r <= count; ++r)
                keys[size_t(r)] = keyOf(r, *tag);
        }
        order.reserve(size_t(count));
        for (int r = 1; r <= count; ++r) {
            if (visible(r))
                order.push_back(r);
        }
        if (sorted)
            std::sort(order.begin(), order.end(), [this](int a, int b) { return less(a, b); });
        renumberRows(0);
        placeOn(keep);
    }
    void renumberRows(size_t from)
    {
        for (size_t i = from; i < order.size(); ++i)
            rowOfRec[size_t(order[i])] = int(i);
    }
    // Makes recNo current when it is visible, the first row otherwise.
    void placeOn(int recNo)
    {
        if (order.empty()) {
            cur = -1;
            atBof = atEof = true;
            return;
        }
        const int row = recNo > 0 && recNo <= count ? rowOfRec[size_t(recNo)] : -1;
        cur = row >= 0 ? row : 0;
        atBof = row < 0;
        atEof = false;
    }
    void removeRow(int recNo)
    {
        const int row = rowOfRec[size_t(recNo)];
        if (row < 0)
            return;
        order.erase(order.begin() + row);
        rowOfRec[size_t(recNo)] = -1;
        renumberRows(size_t(row));
    }
    void insertRow(int recNo)
    {
        const auto at =
            std::lower_bound(order.begin(), order.end(), recNo, [this](int a, int b) { return less(a, b); });
        const size_t row = size_t(at - order.begin());
        order.insert(at, recNo);
        renumberRows(row);
    }

    // Header and index file
    // The header, and the end-of-file byte behind the last record unless it is already there.
    bool writeHeader(bool withEof = true)
    {
        put32(header.data() + 4, quint32(count));
        stampDate(header.data());
        const qint64 end = qint64(headerLength) + qint64(count) * recordLength;
        return put(header.constData(), 32, 0) && (!withEof || put(&EofByte, 1, end));
    }
    // Writes every byte of the table file; the file is synced before the next success is reported.
    bool put(const char *data, qint64 size, qint64 offset)
    {
        unsynced = true;
        return writeAll(file.get(), data, size, offset);
    }
    // Makes what was written durable and checks that the table's name still leads to the file
    // that was written (a folder removed or a file replaced meanwhile would lose the rows).
    void syncOrThrow()
    {
        if (unsynced && !file->sync())
            throw writeFailed();
        unsynced = false;
        const DbfIo::Entry named = DbfIo::fileSystem().lookup(resolved, true);
        if (!named.exists || named.id != file->info().id)
            throw DbfError(
                QStringLiteral("Файл таблицы «%1» удалён или заменён другим файлом: записанные строки "
                               "в нём не сохранены.")
                    .arg(native(path())));
    }

    // The production index file is only ever written as a file of its own: never through a link
    // and never over a file that is not an index file of this program.
    QByteArray indexText() const
    {
        QByteArray text = IndexMagic.toUtf8() + '\n';
        text += "selected\t" + selected.toUtf8() + '\n';
        for (const Tag &t : tags)
            text += "tag\t" + t.name.toUtf8() + '\t' + fields[t.field].def.name.toUtf8() + '\t' +
                    (t.descending ? "D" : "A") + '\n';
        return text;
    }
    // Refuses a name that is a link or not an index file of this program.
    void checkIndexName(const QString &index) const
    {
        DbfIo::FileSystem &fs = DbfIo::fileSystem();
        const DbfIo::Entry entry = fs.lookup(index, false);
        if (!entry.exists)
            return;
        if (entry.symlink || !entry.regular)
            throw DbfError(QStringLiteral("Индексный файл «%1» — ссылка или не обычный файл; он не будет "
                                          "перезаписан. Удалите или переименуйте его.")
                               .arg(native(index)));
        QByteArray head;
        if (!readSmallFile(index, &head) || !head.startsWith(IndexMagic.toUtf8() + '\n'))
            throw DbfError(
                QStringLiteral("Файл «%1» не является индексным файлом этой программы; он не будет "
                               "перезаписан. Удалите или переименуйте его.")
                    .arg(native(index)));
    }
    void writeIndexFile()
    {
        const QString index = indexPath();
        checkIndexName(index);
        DbfIo::FileSystem &fs = DbfIo::fileSystem();
        const QString scratch = scratchName(index, QStringLiteral("tmp"));
        std::unique_ptr<File> out = createScratch(scratch);
        const QByteArray text = indexText();
        const bool written = out && writeAll(out.get(), text.constData(), text.size(), 0) && out->sync();
        out.reset();
        if (!written || !fs.rename(scratch, index)) {
            fs.remove(scratch);
            throw writeFailed(true);
        }
        fs.syncDirectory(folderOf(index));
    }
    // Removes the index file when it is one of ours (a link or a foreign file stays).
    void removeIndexFile()
    {
        const QString index = indexPath();
        const DbfIo::Entry entry = DbfIo::fileSystem().lookup(index, false);
        QByteArray head;
        if (entry.exists && entry.regular && readSmallFile(index, &head) &&
            head.startsWith(IndexMagic.toUtf8() + '\n'))
            DbfIo::fileSystem().remove(index);
    }
    static bool readSmallFile(const QString &path, QByteArray *bytes)
    {
        std::unique_ptr<File> in;
        QString error;
        if (DbfIo::fileSystem().open(path, OpenMode::Existing, false, &in, &error) != OpenResult::Ok)
            return false;
        const qint64 size = in->size();
        if (size < 0 || size > 65536)
            return false;
        bytes->resize(size);
        return in->read(bytes->data(), size, 0);
    }
    // Reads the tags of the production index file; false when it is missing or unreadable.
    bool readIndexFile()
    {
        QByteArray text;
        if (!readSmallFile(indexPath(), &text))
            return false;
        return parseIndexText(text);
    }
    bool parseIndexText(const QByteArray &text)
    {
        const QList<QByteArray> lines = text.split('\n');
        if (lines.isEmpty() || QString::fromUtf8(lines[0]) != IndexMagic)
            return false;
        QList<Tag> read;
        QString sel;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> parts = lines[i].split('\t');
            if (parts.size() == 2 && parts[0] == "selected") {
                sel = QString::fromUtf8(parts[1]).toUpper();
            } else if (parts.size() == 4 && parts[0] == "tag") {
                const int f = fieldByName.value(QString::fromUtf8(parts[2]).toUpper(), -1);
                if (f < 0 || parts[1].isEmpty())
                    continue;
                read.append({QString::fromUtf8(parts[1]).toUpper(), f, parts[3] == "D"});
            }
        }
        tags = read;
        selected.clear();
        for (const Tag &t : tags) {
            if (t.name == sel)
                selected = sel;
        }
        return true;
    }

    // Applies filterText; an expression that does not parse raises and changes nothing.
    void parseFilter()
    {
        if (filterText.trimmed().isEmpty()) {
            filterValid = false;
            return;
        }
        static const QRegularExpression form(QStringLiteral(
            "^\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*=\\s*(?:'((?:[^']|'')*)'|\"((?:[^\"]|\"\")*)\")\\s*$"));
        const QRegularExpressionMatch m = form.match(filterText);
        if (!m.hasMatch())
            throw DbfError(QStringLiteral("Неверное выражение фильтра: %1").arg(filterText));
        Filter f;
        f.field = fieldIndexOrThrow(m.captured(1));
        QString text = m.capturedStart(2) >= 0
                           ? m.captured(2).replace(QStringLiteral("''"), QStringLiteral("'"))
                           : m.captured(3).replace(QStringLiteral("\"\""), QStringLiteral("\""));
        const bool head = text.startsWith(QLatin1Char('*'));
        const bool tail = text.size() > (head ? 1 : 0) && text.endsWith(QLatin1Char('*'));
        if (head)
            text.remove(0, 1);
        if (tail)
            text.chop(1);
        f.mode = head && tail ? Filter::Contains
                 : head       ? Filter::Suffix
                 : tail       ? Filter::Prefix
                              : Filter::Exact;
        f.text = text;
        filter = f;
        filterValid = true;
    }

    void release()
    {
        file.reset();
        unsynced = false;
        if (!canonical.isEmpty()) {
            QMutexLocker lock(&openMutex());
            openFiles().remove(canonical);
            canonical.clear();
        }
        state = State::Closed;
        fields.clear();
        fieldByName.clear();
        records.clear();
        records.squeeze();
        order.clear();
        rowOfRec.clear();
        keys.clear();
        tags.clear();
        buffer.clear();
        count = 0;
        cur = -1;
        atBof = atEof = true;
    }

    QByteArray fileHeader(const QList<DbfFieldDef> &defs) const;
    void openFile();
    void postInsert();
    void postEdit();
    void packFile();
};

QByteArray DbfTable::Private::fileHeader(const QList<DbfFieldDef> &defs) const
{
    if (defs.isEmpty() || defs.size() > 255)
        throw DbfError(QStringLiteral("Неверный список полей таблицы."));
    int length = 1;
    for (const DbfFieldDef &f : defs) {
        const QByteArray n = f.name.toUpper().toLatin1();
        const bool known = f.type == 'C' || f.type == 'N' || f.type == 'F' || f.type == 'D' || f.type == 'L';
        const int maxWidth = f.type == 'C' ? 65535 : 255;
        if (n.isEmpty() || n.size() > 10 || !known || f.width < 1 || f.width > maxWidth || f.decimals < 0 ||
            f.decimals > 255)
            throw DbfError(QStringLiteral("Неверное описание поля «%1».").arg(f.name));
        length += f.width;
    }
    if (length > 65535)
        throw DbfError(QStringLiteral("Неверный список полей таблицы."));
    const int hl = 32 + 32 * int(defs.size()) + 1;
    QByteArray bytes(hl, '\0');
    char *h = bytes.data();
    h[0] = 0x03;
    stampDate(h);
    h[8] = char(hl & 0xFF);
    h[9] = char(hl >> 8);
    h[10] = char(length & 0xFF);
    h[11] = char(length >> 8);
    h[29] = char(0xC9);
    for (qsizetype i = 0; i < defs.size(); ++i) {
        char *d = h + 32 + 32 * i;
        const QByteArray n = defs[i].name.toUpper().toLatin1();
        std::memcpy(d, n.constData(), size_t(n.size()));
        d[11] = defs[i].type;
        d[16] = char(defs[i].width & 0xFF);
        d[17] = defs[i].type == 'C' ? char(defs[i].width >> 8) : char(defs[i].decimals);
    }
    h[hl - 1] = Terminator;
    return bytes;
}

void DbfTable::Private::openFile()
{
    const QString file = path();
    this->file = openExclusiveOrThrow(file, name);
    struct Guard
    {
        Private *d;
        bool done = false;
        ~Guard()
        {
            if (!done)
                d->release();
        }
    } guard{this};

    const qint64 size = this->file->size();
    if (size < 32 || size > (qint64(1) << 31) - 1)
        throw invalidFile();
    QByteArray data(size, Qt::Uninitialized);
    if (!this->file->read(data.data(), size, 0))
        throw DbfError(QStringLiteral("Не удаётся прочитать файл «%1».").arg(QDir::toNativeSeparators(file)));
    const char *h = data.constData();

    if ((quint8(h[0]) & 0x07) != 0x03)
        throw invalidFile();
    const int hl = u16(h + 8);
    const int rl = u16(h + 10);
    if (hl == 0 || rl == 0 || hl < 32)
        throw invalidFile();

    QList<Field> read;
    int offset = 1;
    const int maxFields = (hl - 32) / 32;
    for (int i = 0; i < maxFields; ++i) {
        const qint64 at = 32 + 32 * qint64(i);
        if (at >= size)
            throw invalidFile();
        const char *d = h + at;
        if (d[0] == Terminator)
            break;
        if (at + 32 > size)
            throw invalidFile();
        int n = 0;
        while (n < 11 && d[n] != '\0')
            ++n;
        const QString fieldName = QString::fromLatin1(d, n).trimmed();
        const char type = char(std::toupper(quint8(d[11])));
        if (fieldName.isEmpty() || !type || !std::memchr("CNFDLM", type, 6))
            throw invalidFile();
        Field f;
        f.def.name = fieldName;
        f.def.type = type;
        f.def.width = quint8(d[16]);
        f.def.decimals = 0;
        if (type == 'C')
            f.def.width += quint8(d[17]) << 8;
        else
            f.def.decimals = quint8(d[17]);
        f.offset = offset;
        f.kind = kindOf(f.def);
        offset += f.def.width;
        if (offset > rl)
            throw invalidFile();
        read.append(f);
    }

    const qint64 actual = size > hl ? (size - hl) / rl : 0;
    // A count that differs from the header is corrected; bytes of a torn record after the last
    // whole one (a write that was cut off) are dropped at the same time.
    const qint64 trailing = size > hl ? (size - hl) % rl : 0;
    const bool torn = trailing > 1 || (trailing == 1 && h[size - 1] != EofByte);
    const bool corrected = actual != qint64(u32(h + 4)) || torn;

    fields = read;
    fieldByName.clear();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QString key = fields[i].def.name.toUpper();
        if (!fieldByName.contains(key))
            fieldByName.insert(key, int(i));
    }
    for (const DbfFieldDef &want : schema) {
        const int i = fieldByName.value(want.name.toUpper(), -1);
        if (i < 0)
            throw fieldNotFound(want.name);
        const DbfFieldKind expected = kindOf(want);
        if (fields[i].kind != expected)
            throw DbfError(QStringLiteral("Type mismatch for field '%1', expecting: %2 actual: %3")
                               .arg(want.name, kindName(expected, want.type),
                                    kindName(fields[i].kind, fields[i].def.type)));
    }

    header = data.left(32);
    headerLength = hl;
    recordLength = rl;
    count = int(actual);
    codec = &CodePage::forLanguageDriver(quint8(h[29]));
    records = data.mid(hl, qsizetype(actual) * rl);
    data.clear();

    tags.clear();
    selected.clear();
    if (header[28] != 0 && !readIndexFile())
        header[28] = 0; // index file gone: carry on without indexes; written with the next header write
    if (corrected) {
        // Partial record bytes after the last whole record are dropped with the count correction.
        unsynced = true;
        if (!this->file->truncate(qint64(hl) + qint64(count) * rl) || !writeHeader())
            throw writeFailed();
    }

    resolved = DbfIo::fileSystem().resolve(file);
    canonical = openKey(file);
    {
        QMutexLocker lock(&openMutex());
        openFiles().insert(canonical);
    }
    state = State::Browse;
    filterValid = false;
    if (filterOn) {
        try {
            parseFilter();
        } catch (const DbfError &) {
            filterValid = false;
        }
    }
    cur = -1;
    buildOrder();
    placeOn(0);
    guard.done = true;
}

void DbfTable::Private::postInsert()
{
    const qint64 end = qint64(headerLength) + qint64(count) * recordLength;
    // The record and the end-of-file byte in one write, then the header: a crash between the two
    // leaves a whole record that the next open counts from the file size.
    QByteArray bytes = buffer;
    bytes.append(EofByte);
    // Taking a failed row back: cut the file behind the old end-of-file position and put the
    // end-of-file byte back over whatever part of the record got there (no new space needed).
    auto takeBack = [&] {
        file->truncate(end + 1);
        put(&EofByte, 1, end);
    };
    if (!put(bytes.constData(), bytes.size(), end)) {
        takeBack();
        throw writeFailed();
    }
    ++count;
    if (!writeHeader(false)) {
        --count;
        takeBack();
        writeHeader(false);
        throw writeFailed();
    }
    records.append(buffer);
    rowOfRec.push_back(-1);
    if (selectedTag())
        keys.push_back(SortKey());
    refreshKey(count);
    state = State::Browse;
    const int keep = currentRec();
    if (visible(count)) {
        insertRow(count);
        cur = rowOfRec[size_t(count)];
    } else {
        cur = keep > 0 ? rowOfRec[size_t(keep)] : (order.empty() ? -1 : 0);
    }
    atBof = atEof = order.empty();
    emit q->rowsReset();
    emit q->currentChanged();
}

void DbfTable::Private::postEdit()
{
    const int recNo = editRec;
    const qint64 at = qint64(headerLength) + qint64(recNo - 1) * recordLength;
    if (!put(buffer.constData(), buffer.size(), at))
        throw writeFailed();
    std::memcpy(records.data() + qint64(recNo - 1) * recordLength, buffer.constData(), size_t(recordLength));
    state = State::Browse;
    const int oldRow = rowOfRec[size_t(recNo)];
    removeRow(recNo);
    refreshKey(recNo);
    if (visible(recNo))
        insertRow(recNo);
    const int newRow = rowOfRec[size_t(recNo)];
    if (newRow >= 0)
        cur = newRow;
    else if (!order.empty())
        cur = std::min(oldRow, int(order.size()) - 1);
    else
        cur = -1;
    atBof = atEof = order.empty();
    emit q->recordChanged(recNo);
    if (oldRow != newRow)
        emit q->rowsReset();
    emit q->currentChanged();
}

void DbfTable::Private::packFile()
{
    QByteArray packed;
    packed.reserve(records.size());
    std::vector<int> newNumber(size_t(count) + 1, 0);
    int kept = 0;
    for (int r = 1; r <= count; ++r) {
        // Only live records stay: rows marked deleted and the damaged records a power cut can
        // leave (neither flag) go.
        if (!live(rec(r)))
            continue;
        packed.append(rec(r), recordLength);
        newNumber[size_t(r)] = ++kept;
    }
    QByteArray head(headerLength, '\0');
    if (!file->read(head.data(), headerLength, 0))
        throw DbfError(QStringLiteral("Не удаётся прочитать файл «%1».").arg(native(path())));
    std::memcpy(head.data(), header.constData(), 32);
    put32(head.data() + 4, quint32(kept));
    stampDate(head.data());

    // The packed file is built beside the file the open holds (a link stays a link and its
    // target gets the packed rows), with that file's permissions, owner and group, and replaces
    // it only once it is complete and synced.
    DbfIo::FileSystem &fs = DbfIo::fileSystem();
    const QString target = resolved;
    const QString scratch = scratchName(target, QStringLiteral("pack"));
    std::unique_ptr<File> out = createScratch(scratch);
    if (!out)
        throw writeFailed();
    auto discard = [&] {
        out.reset();
        fs.remove(scratch);
    };
    packed.prepend(head);
    packed.append(EofByte);
    const DbfIo::Entry attributes = file->info();
    if (!writeAll(out.get(), packed.constData(), packed.size(), 0) || !out->copyAttributes(attributes) ||
        !out->sync()) {
        discard();
        throw writeFailed();
    }
    if (!fs.rename(scratch, target)) {
        discard();
        throw writeFailed();
    }
    // From here on the packed file is the table, whether or not the folder sync succeeds.
    file = std::move(out);
    unsynced = false;
    const bool named = fs.syncDirectory(folderOf(target));
    header = packed.left(32);
    records = packed.mid(headerLength, qsizetype(kept) * recordLength);
    const int keep = currentRec();
    count = kept;
    buildOrder();
    placeOn(keep > 0 ? newNumber[size_t(keep)] : 0);
    if (!named)
        throw writeFailed();
}

// ---------------------------------------------------------------------------------------------

DbfTable::DbfTable(QObject *parent) : QObject(parent), d(std::make_unique<Private>())
{
    d->q = this;
}

DbfTable::~DbfTable()
{
    blockSignals(true); // nobody is told about rows of a table that is going away
    try {
        close();
    } catch (...) {
        d->release();
    }
}

void DbfTable::setTableName(const QString &name)
{
    d->name = name;
}
QString DbfTable::tableName() const
{
    return d->name;
}
void DbfTable::setFilePath(const QString &directory)
{
    d->directory = directory;
}
QString DbfTable::filePath() const
{
    return d->directory;
}

void DbfTable::setFileName(const QString &path)
{
    const QFileInfo info(path);
    d->name = info.fileName();
    d->directory = info.path();
}

QString DbfTable::fileName() const
{
    return d->path();
}
QString DbfTable::indexFileName() const
{
    return d->indexPath();
}

void DbfTable::setSchema(const QList<DbfFieldDef> &fields)
{
    d->schema = fields;
}
const QList<DbfFieldDef> &DbfTable::schema() const
{
    return d->schema;
}

void DbfTable::create()
{
    close();
    const QByteArray head = d->fileHeader(d->schema);
    const QString file = d->path();
    if (d->name.isEmpty())
        throw DbfError(QStringLiteral("Не задано имя файла таблицы."));
    DbfIo::FileSystem &fs = DbfIo::fileSystem();
    // A table that exists is replaced, unless a program holds it; a link keeps pointing at the
    // new table. The new file is built whole beside it and only then takes the name, so a created
    // table is either there complete or not at all.
    const QString target = fs.resolve(file);
    std::unique_ptr<File> old;
    if (fs.lookup(target, false).exists)
        old = openExclusiveOrThrow(target, d->name);
    const QString scratch = scratchName(target, QStringLiteral("new"));
    std::unique_ptr<File> out = createScratch(scratch);
    if (!out)
        throw DbfError(
            QStringLiteral("Не удаётся создать файл «%1»: %2").arg(native(file), qt_error_string(errno)));
    QByteArray bytes = head;
    bytes.append(EofByte);
    bool ok = writeAll(out.get(), bytes.constData(), bytes.size(), 0);
    if (ok && old)
        ok = out->copyAttributes(old->info());
    ok = ok && out->sync();
    out.reset();
    // link() takes the name only if nobody made it meanwhile; an existing table is replaced.
    ok = ok && (old ? fs.rename(scratch, target) : fs.link(scratch, target));
    fs.remove(scratch);
    old.reset();
    if (!ok)
        throw writeFailed();
    if (!fs.syncDirectory(folderOf(target)))
        throw writeFailed();
}

void DbfTable::open()
{
    if (isOpen())
        return;
    d->openFile();
    emit rowsReset();
    emit currentChanged();
}

void DbfTable::close()
{
    if (!isOpen())
        return;
    d->buffer.clear(); // an edit that was not posted is dropped
    // Closing is how the table document makes sure everything is on disk.
    std::exception_ptr error;
    try {
        d->syncOrThrow();
    } catch (...) {
        error = std::current_exception();
    }
    d->release();
    emit rowsReset();
    emit currentChanged();
    if (error)
        std::rethrow_exception(error);
}

void DbfTable::sync()
{
    d->requireOpen();
    d->syncOrThrow();
}

int DbfTable::damagedRecordCount() const
{
    int n = 0;
    for (int r = 1; r <= d->count; ++r) {
        n += d->damaged(d->rec(r)) ? 1 : 0;
    }
    return n;
}

bool DbfTable::isOpen() const
{
    return d->state != State::Closed;
}
DbfTable::State DbfTable::state() const
{
    return d->state;
}

namespace {
// A move in browse state posts a pending edit first, as navigation does in every data-bound view.
void settle(DbfTable *table)
{
    if (table->state() == DbfTable::State::Edit || table->state() == DbfTable::State::Insert)
        table->post();
}
} // namespace

void DbfTable::first()
{
    d->requireOpen();
    settle(this);
    d->cur = d->order.empty() ? -1 : 0;
    d->atBof = true;
    d->atEof = d->order.empty();
    emit currentChanged();
}

void DbfTable::last()
{
    d->requireOpen();
    settle(this);
    d->cur = int(d->order.size()) - 1;
    d->atBof = d->order.empty();
    d->atEof = true;
    emit currentChanged();
}

void DbfTable::next()
{
    d->requireOpen();
    settle(this);
    if (d->cur + 1 < int(d->order.size())) {
        ++d->cur;
        d->atBof = d->atEof = false;
    } else {
        d->atEof = true;
    }
    emit currentChanged();
}

void DbfTable::prior()
{
    d->requireOpen();
    settle(this);
    if (d->cur > 0) {
        --d->cur;
        d->atBof = d->atEof = false;
    } else {
        d->atBof = true;
    }
    emit currentChanged();
}

bool DbfTable::eof() const
{
    return d->atEof || d->order.empty();
}
bool DbfTable::bof() const
{
    return d->atBof || d->order.empty();
}
bool DbfTable::isEmpty() const
{
    return d->order.empty();
}

void DbfTable::refresh()
{
    d->requireOpen();
    settle(this);
    d->buildOrder();
    d->atBof = d->atEof = d->order.empty();
    emit rowsReset();
    emit currentChanged();
}

int DbfTable::recNo() const
{
    if (d->state == State::Insert)
        return 0;
    if (d->state == State::Edit)
        return d->editRec;
    return d->currentRec();
}

bool DbfTable::gotoRecord(int recNo)
{
    if (!isOpen() || recNo < 1 || recNo > d->count || d->rowOfRec[size_t(recNo)] < 0)
        return false;
    settle(this);
    if (recNo > d->count || d->rowOfRec[size_t(recNo)] < 0)
        return false;
    d->cur = d->rowOfRec[size_t(recNo)];
    d->atBof = d->atEof = false;
    emit currentChanged();
    return true;
}

int DbfTable::rowCount() const
{
    return int(d->order.size());
}

int DbfTable::recordAt(int row) const
{
    if (row < 0 || row >= int(d->order.size()))
        return 0;
    return d->order[size_t(row)];
}

int DbfTable::rowOf(int recNo) const
{
    if (recNo < 1 || recNo > d->count || size_t(recNo) >= d->rowOfRec.size())
        return -1;
    return d->rowOfRec[size_t(recNo)];
}

int DbfTable::exactRecordCount() const
{
    if (!isOpen())
        return 0;
    int n = 0;
    for (const int r : d->order)
        n += d->visible(r) ? 1 : 0;
    return n;
}

int DbfTable::physicalRecordCount() const
{
    return d->count;
}

int DbfTable::fieldCount() const
{
    return int(d->fields.size());
}

DbfFieldDef DbfTable::field(int index) const
{
    if (index < 0 || index >= d->fields.size())
        throw RangeError();
    return d->fields[index].def;
}

int DbfTable::fieldIndex(const QString &name) const
{
    return d->fieldByName.value(name.toUpper(), -1);
}

DbfFieldKind DbfTable::fieldKind(int index) const
{
    if (index < 0 || index >= d->fields.size())
        throw RangeError();
    return d->fields[index].kind;
}

QString DbfTable::text(const QString &fieldName) const
{
    const int f = d->fieldIndexOrThrow(fieldName);
    const char *r = d->currentRecord();
    return r ? d->fieldText(r, f) : QString();
}

QString DbfTable::text(int recNo, int fieldIndex) const
{
    if (recNo < 1 || recNo > d->count || fieldIndex < 0 || fieldIndex >= d->fields.size())
        throw RangeError();
    return d->fieldText(d->rec(recNo), fieldIndex);
}

bool DbfTable::isNull(const QString &fieldName) const
{
    const int f = d->fieldIndexOrThrow(fieldName);
    const char *r = d->currentRecord();
    return !r || d->fieldNull(r, f);
}

bool DbfTable::isNull(int recNo, int fieldIndex) const
{
    if (recNo < 1 || recNo > d->count || fieldIndex < 0 || fieldIndex >= d->fields.size())
        throw RangeError();
    return d->fieldNull(d->rec(recNo), fieldIndex);
}

qint64 DbfTable::integer(const QString &fieldName) const
{
    const QString t = text(fieldName).trimmed();
    bool ok = false;
    const qint64 v = t.toLongLong(&ok);
    return ok ? v : 0;
}

double DbfTable::number(const QString &fieldName) const
{
    const int f = d->fieldIndexOrThrow(fieldName);
    const char *r = d->currentRecord();
    if (isNumericKind(d->fields[f].kind)) {
        if (!r || d->fieldNull(r, f))
            return 0;
        bool ok = false;
        const double v = d->fieldText(r, f).toDouble(&ok);
        return ok ? v : 0;
    }
    return Regional::current().parseFloat(r ? d->fieldText(r, f) : QString());
}

void DbfTable::append()
{
    d->requireOpen();
    settle(this);
    d->buffer = QByteArray(d->recordLength, ' ');
    d->editRec = 0;
    d->state = State::Insert;
}

void DbfTable::edit()
{
    d->requireOpen();
    if (d->state == State::Edit || d->state == State::Insert)
        return;
    const int r = d->currentRec();
    if (r == 0) {
        append(); // editing an empty table starts a new row
        return;
    }
    d->buffer = QByteArray(d->rec(r), d->recordLength);
    d->editRec = r;
    d->state = State::Edit;
}

void DbfTable::setText(const QString &fieldName, const QString &value)
{
    d->requireEditing();
    const int f = d->fieldIndexOrThrow(fieldName);
    switch (d->fields[f].kind) {
    case DbfFieldKind::Text:
    case DbfFieldKind::Other:
        d->store(f, d->codec->encode(value), false);
        return;
    case DbfFieldKind::Float: {
        const QString t = value.trimmed();
        if (t.isEmpty())
            setNull(fieldName);
        else
            setNumber(fieldName, Regional::current().parseFloat(t));
        return;
    }
    default: {
        const QString t = value.trimmed();
        if (t.isEmpty()) {
            setNull(fieldName);
            return;
        }
        bool ok = false;
        const qint64 v = t.toLongLong(&ok);
        if (!ok)
            throw ConvertError::notInteger(value);
        setInteger(fieldName, v);
    }
    }
}

void DbfTable::setInteger(const QString &fieldName, qint64 value)
{
    d->requireEditing();
    const int f = d->fieldIndexOrThrow(fieldName);
    const QByteArray digits = QByteArray::number(value);
    if (isNumericKind(d->fields[f].kind)) {
        if (d->fields[f].def.decimals > 0) {
            setNumber(fieldName, double(value));
            return;
        }
        d->storeNumber(f, digits, QString::number(value));
    } else {
        d->store(f, digits, false);
    }
}

void DbfTable::setNumber(const QString &fieldName, double value)
{
    d->requireEditing();
    const int f = d->fieldIndexOrThrow(fieldName);
    const Field &fd = d->fields[f];
    if (!isNumericKind(fd.kind)) {
        d->store(f, d->codec->encode(Regional::current().formatFloat(value)), false);
        return;
    }
    if (!std::isfinite(value))
        throw ConvertError::notFloat(Regional::current().formatFloat(value));
    if (fd.def.decimals == 0) {
        if (std::fabs(value) > 9.2e18)
            throw OverflowError();
        setInteger(fieldName, qRound64(value));
        return;
    }
    d->storeNumber(f, QByteArray::number(value, 'f', fd.def.decimals), QString::number(value));
}

void DbfTable::setNull(const QString &fieldName)
{
    d->requireEditing();
    const int f = d->fieldIndexOrThrow(fieldName);
    d->store(f, QByteArray(), false);
}

void DbfTable::post()
{
    d->requireOpen();
    if (d->state == State::Insert)
        d->postInsert();
    else if (d->state == State::Edit)
        d->postEdit();
}

void DbfTable::cancel()
{
    if (d->state == State::Edit || d->state == State::Insert) {
        d->state = State::Browse;
        d->buffer.clear();
        emit currentChanged();
    }
}

void DbfTable::deleteRecord()
{
    d->requireOpen();
    if (d->state == State::Insert) {
        cancel();
        return;
    }
    if (d->state == State::Edit)
        cancel();
    const int r = d->currentRec();
    if (r == 0)
        throw DbfError(QStringLiteral("Таблица пуста: нет текущей записи."));
    const qint64 at = qint64(d->headerLength) + qint64(r - 1) * d->recordLength;
    const char flag = '*';
    if (!d->put(&flag, 1, at))
        throw writeFailed();
    d->records[qint64(r - 1) * d->recordLength] = flag;
    const int row = d->cur;
    d->removeRow(r);
    d->cur = d->order.empty() ? -1 : std::min(row, int(d->order.size()) - 1);
    d->atBof = d->atEof = d->order.empty();
    emit recordChanged(r);
    emit rowsReset();
    emit currentChanged();
}

void DbfTable::pack()
{
    d->requireOpen();
    settle(this);
    d->packFile();
    emit rowsReset();
    emit currentChanged();
}

void DbfTable::addIndex(const QString &name, const QString &fieldName, bool descending)
{
    d->requireOpen();
    settle(this);
    const int f = d->fieldIndexOrThrow(fieldName);
    const QString tag = name.trimmed().toUpper();
    if (tag.isEmpty() || tag.contains(QLatin1Char('\t')) || tag.contains(QLatin1Char('\n')))
        throw DbfError(QStringLiteral("Неверное имя индекса «%1».").arg(name));
    const QList<Tag> before = d->tags;
    d->tags.removeIf([&](const Tag &t) { return t.name == tag; });
    d->tags.append({tag, f, descending});
    try {
        d->writeIndexFile();
    } catch (...) {
        d->tags = before;
        throw;
    }
    d->header[28] = 1;
    if (!d->writeHeader())
        throw writeFailed(true);
    if (d->selected == tag) {
        d->buildOrder();
        emit rowsReset();
    }
}

void DbfTable::selectIndex(const QString &name)
{
    d->requireOpen();
    settle(this);
    const QString tag = name.trimmed().toUpper();
    if (!tag.isEmpty() &&
        std::none_of(d->tags.cbegin(), d->tags.cend(), [&](const Tag &t) { return t.name == tag; }))
        throw DbfError(QStringLiteral("Индекс «%1» не найден.").arg(name));
    if (tag == d->selected)
        return;
    d->selected = tag;
    d->buildOrder();
    if (!d->tags.isEmpty()) {
        try {
            d->writeIndexFile();
        } catch (const DbfError &) {
            // The selection is only remembered for the next open; the order itself is in effect.
        }
    }
    emit rowsReset();
    emit currentChanged();
}

QString DbfTable::selectedIndex() const
{
    return d->selected;
}

void DbfTable::deleteIndex(const QString &name)
{
    d->requireOpen();
    settle(this);
    const QString tag = name.trimmed().toUpper();
    const qsizetype removed = d->tags.removeIf([&](const Tag &t) { return t.name == tag; });
    if (removed == 0)
        throw DbfError(QStringLiteral("Индекс «%1» не найден.").arg(name));
    const bool reorder = d->selected == tag;
    if (reorder)
        d->selected.clear();
    if (d->tags.isEmpty()) {
        d->removeIndexFile();
        d->header[28] = 0;
        if (!d->writeHeader())
            throw writeFailed();
    } else {
        d->writeIndexFile();
    }
    if (reorder) {
        d->buildOrder();
        emit rowsReset();
        emit currentChanged();
    }
}

bool DbfTable::hasIndex(const QString &name) const
{
    const QString tag = name.trimmed().toUpper();
    return std::any_of(d->tags.cbegin(), d->tags.cend(), [&](const Tag &t) { return t.name == tag; });
}

bool DbfTable::isLiveRecord(int recNo) const
{
    return recNo >= 1 && recNo <= d->count && d->live(d->rec(recNo));
}

QString damagedRecordsText(const DbfTable &table)
{
    const int damaged = table.isOpen() ? table.damagedRecordCount() : 0;
    if (damaged == 0)
        return QString();
    return QStringLiteral("Повреждённых записей в таблице «%1»: %2 (так бывает после отключения питания). "
                          "Они не показываются и не учитываются; удаление строк уберёт их из файла.")
        .arg(QDir::toNativeSeparators(table.fileName()))
        .arg(damaged);
}

QStringList DbfTable::indexNames() const
{
    QStringList names;
    for (const Tag &t : d->tags)
        names.append(t.name);
    return names;
}

void DbfTable::rebuildIndexes()
{
    d->requireOpen();
    settle(this);
    d->buildOrder();
    emit rowsReset();
}

void DbfTable::setFilter(const QString &expression)
{
    const QString before = d->filterText;
    d->filterText = expression;
    if (!isOpen() || !d->filterOn)
        return;
    settle(this);
    try {
        d->parseFilter();
    } catch (...) {
        d->filterText = before;
        throw;
    }
    d->buildOrder();
    emit rowsReset();
    emit currentChanged();
}

QString DbfTable::filter() const
{
    return d->filterText;
}

void DbfTable::setFiltered(bool on)
{
    if (on == d->filterOn)
        return;
    if (!isOpen()) {
        d->filterOn = on;
        return;
    }
    settle(this);
    if (on)
        d->parseFilter();
    d->filterOn = on;
    d->buildOrder();
    emit rowsReset();
    emit currentChanged();
}

bool DbfTable::filtered() const
{
    return d->filterOn;
}

int DbfTable::codePage() const
{
    return d->codec->number();
}
int DbfTable::headerLength() const
{
    return d->headerLength;
}
int DbfTable::recordLength() const
{
    return d->recordLength;
}

QByteArray DbfTable::recordBytes(int recNo) const
{
    if (recNo < 1 || recNo > d->count)
        throw RangeError();
    return QByteArray(d->rec(recNo), d->recordLength);
}
