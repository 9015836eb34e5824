#pragma once
// The state of an open DbfTable (internal to src/dbase), shared by dbftable.cpp (the file, its
// records and their values) and dbftableorder.cpp (the rows in order, the index tags, the
// filter).
#include "codepage.h"
#include "dbffile.h"
#include "dbfformat.h"
#include "dbfindex.h"
#include "dbforder.h"
#include "dbftable.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <cstring>

struct DbfTable::Private
{
    DbfTable *q;
    // Set through setLocation.
    QString directory;
    QString name;
    QString tablePath;
    QString indexFilePath;
    QList<DbfFieldDef> schema;

    std::unique_ptr<DbfIo::File> file;
    DbfFile::Claim claim;  // the file's place in the set of files open in this process
    QString resolved;      // the file the open holds, links resolved
    bool unsynced = false; // written since the last sync
    bool readOnly = false; // opened for reading: nothing is written, not even a repair
    QString keptAside;     // where the open copied a partial record found at the end, if any
    State state = State::Closed;
    QByteArray header; // the first 32 bytes
    int headerLength = 0;
    int recordLength = 0;
    int count = 0;
    QList<DbfFormat::Field> fields;
    QHash<QString, int> fieldByName; // upper-case name -> index
    QByteArray records;              // every record of the file, in file order
    const CodePage *codec = &CodePage::windows1251();

    QByteArray buffer; // the record being edited or inserted
    int editRec = 0;   // its record number (0 while inserting)

    // The current order: the visible records, the sort keys of the selected tag, the current row.
    DbfOrder::RowOrder order;
    DbfOrder::SortKeys keys;
    int cur = -1;
    bool atBof = true;
    bool atEof = true;

    DbfIndex::Tags index;

    QString filterText;
    bool filterOn = false;
    DbfOrder::Filter filter;
    bool filterValid = false;

    const char *rec(int recNo) const { return records.constData() + qint64(recNo - 1) * recordLength; }
    // A space marks a live record, '*' a deleted one. Any other flag, or a NUL byte in a live
    // record, is what a power cut leaves of a record whose sectors did not all reach the disk
    // (no writer pads with NUL bytes): such a record is no reading.
    bool live(const char *r) const
    {
        return r[0] == DbfFormat::LiveFlag && !std::memchr(r, 0, size_t(recordLength));
    }
    bool damaged(const char *r) const { return r[0] != DbfFormat::DeletedFlag && !live(r); }
    const QString &path() const { return tablePath; }
    const QString &indexPath() const { return indexFilePath; }
    // Sets the folder and the file name, and the table's and its index file's paths with them:
    // every open and every index command asks for those.
    void setLocation(const QString &folder, const QString &file)
    {
        directory = folder;
        name = file;
        tablePath =
            directory.isEmpty() || directory == QLatin1String(".") ? name : QDir(directory).filePath(name);
        const QFileInfo info(tablePath);
        indexFilePath = info.dir().filePath(info.completeBaseName() + QStringLiteral(".mdx"));
    }

    void requireOpen() const
    {
        if (state == State::Closed)
            throw DbfError(QStringLiteral("Таблица не открыта."));
    }
    void requireWritable() const
    {
        if (readOnly)
            throw DbfError(QStringLiteral("Таблица «%1» открыта только для чтения.")
                               .arg(QDir::toNativeSeparators(tablePath)));
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
            throw DbfFormat::fieldNotFound(fieldName);
        return i;
    }

    QString fieldText(const char *record, int f) const
    {
        return DbfFormat::fieldText(record, fields[f], *codec);
    }
    bool fieldNull(const char *record, int f) const { return DbfFormat::fieldNull(record, fields[f]); }
    const char *currentRecord() const
    {
        if (state == State::Edit || state == State::Insert)
            return buffer.constData();
        const int r = currentRec();
        return r > 0 ? rec(r) : nullptr;
    }
    int currentRec() const { return order.recordAt(cur); }
    void store(int f, const QByteArray &bytes, bool rightAlign)
    {
        DbfFormat::store(buffer.data(), fields[f], bytes, rightAlign);
    }
    // A number right-aligned; raises when its digits do not fit (`shown` makes the number's
    // text for the message, only then).
    template <class Shown> void storeNumber(int f, const QByteArray &digits, const Shown &shown)
    {
        if (digits.size() > fields[f].def.width)
            throw DbfError(
                QStringLiteral("Число %1 не помещается в поле %2.").arg(shown(), fields[f].def.name));
        store(f, digits, true);
    }

    // Writes to the table file; the file is synced before the next success is reported.
    bool put(const char *data, qint64 size, qint64 offset)
    {
        requireWritable();
        unsynced = true;
        return DbfFile::writeAll(file.get(), data, size, offset);
    }
    bool writeHeader(bool withEof = true);
    void syncOrThrow();
    void release();

    // The file and its records (dbftable.cpp)
    void createFile();
    void openFile(bool forReading);
    void postInsert();
    void postEdit();
    void packFile();

    // The order, the index file, the filter (dbftableorder.cpp)
    bool visible(int recNo) const;
    const DbfIndex::Tag *selectedTag() const;
    bool less(int a, int b) const { return keys.less(a, b); }
    void buildOrder();
    void placeOn(int recNo);
    void insertRow(int recNo);
    void writeIndexFile();
    void parseFilter();
};

namespace DbfTableDetail {
// A move in browse state posts a pending edit first, as navigation does in every data-bound view.
inline void settle(DbfTable *table)
{
    if (table->isEditing())
        table->post();
}
} // namespace DbfTableDetail
