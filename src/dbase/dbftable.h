#pragma once
// The dBase IV table file (no memo) with exclusive access, navigation in physical or index order,
// append / edit / delete / pack, exact count, a filter and the sort index tags kept in the
// production index file (".mdx") beside the table.
//
// Every failure raises a DbfError (or DbfWriteError, ConvertError) with the operator's text.
// A DbfTable is a QObject so that a data-bound view can follow it through the signals below.
#include "base/errors.h"
#include "dbffield.h"
#include "dbfio.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class DbfTable : public QObject
{
    Q_OBJECT
public:
    enum class State { Closed, Browse, Edit, Insert };

    explicit DbfTable(QObject *parent = nullptr);
    // A table of these fields (see setSchema).
    explicit DbfTable(const QList<DbfFieldDef> &schema, QObject *parent = nullptr);
    ~DbfTable() override;

    // Where the file is: TableName (file name with extension) and FilePath (its directory).
    void setTableName(const QString &name);
    QString tableName() const;
    void setFilePath(const QString &directory);
    QString filePath() const;
    // Sets both from a full file name; fileName() gives them joined.
    void setFileName(const QString &path);
    QString fileName() const;
    // The production index file: the table's file name with the extension ".mdx".
    QString indexFileName() const;

    // The field list that create() writes and open() binds: open() refuses a file that lacks one
    // of them or has it of another kind. None at first: create() then raises, open() takes any
    // table file.
    void setSchema(const QList<DbfFieldDef> &fields);
    const QList<DbfFieldDef> &schema() const;

    // Creates the file anew (replacing any file of that name that no program holds): built whole
    // in a scratch file beside it, synced, then given the name. The table stays closed.
    void create();
    enum class Access {
        ReadWrite, // held exclusively; a record count that disagrees with the size is corrected
        ReadOnly,  // shared with other readers; nothing is written, a wrong count is only used
    };
    // Opens exclusively (read-only: shared with readers), checks the header against its
    // descriptors and binds the schema, positions on the first row. A writing open also copies a
    // partial record at the end aside (keptAsideFile) and removes scratch files left beside the
    // table by an operation that was cut off.
    void open(Access access = Access::ReadWrite);
    bool isReadOnly() const;
    // The file beside the table holding the bytes of a partial record that the last open found at
    // the end of the file (empty: there was none).
    QString keptAsideFile() const;
    // Syncs the file and releases it and its index file (an edit that was not posted is dropped).
    // Safe when closed. Raises when the sync fails or the file's name no longer leads to it (the
    // table is closed all the same).
    void close();
    // Makes everything posted so far durable: syncs the file and checks that the table's name
    // still leads to the file written. Called before an operation reports success; not per row.
    void sync();
    bool isOpen() const;
    State state() const;
    // True while an appended or edited row has not been posted.
    bool isEditing() const;

    // Navigation in the current order (physical, or the selected index); deleted and filtered-out
    // rows are skipped. A move posts a pending edit or appended row first. first() sets bof(),
    // last() sets eof(); next() on the last row and prior() on the first set them without moving.
    void first();
    void last();
    void next();
    void prior();
    bool eof() const; // moved past the last row, or no rows
    bool bof() const;
    bool isEmpty() const;
    void refresh();    // re-reads the rows in the current order, keeping the current row if possible
    int recNo() const; // physical record number of the current row, 1-based; 0 when none
    // Makes the record current if it is visible in the current order; false (and no move) if not.
    bool gotoRecord(int recNo);

    // The current order as an array, for views and outputs: O(1) after the order is built; after
    // posts that moved rows and deletes, O(log n) until the lookups have paid for a flat copy.
    int rowCount() const;        // visible rows
    int recordAt(int row) const; // physical record number of the row-th visible row (0-based)
    int rowOf(int recNo) const;  // its position, -1 when not visible
    // Counts the visible rows by walking them; the current row is kept.
    int exactRecordCount() const;
    int physicalRecordCount() const; // every record in the file, deleted ones included
    // Records whose deletion flag is neither a space nor '*', or live ones holding a NUL byte
    // (what a power cut leaves of a record not wholly written): they are no readings, so
    // navigation, counts and outputs skip them; pack removes them.
    int damagedRecordCount() const;
    // Whether the record is a reading: neither marked deleted nor damaged (filters aside).
    bool isLiveRecord(int recNo) const;

    // Fields of the open file (file order). Lookups by name ignore letter case.
    int fieldCount() const;
    DbfFieldDef field(int index) const;
    int fieldIndex(const QString &name) const; // -1 when absent
    DbfFieldKind fieldKind(int index) const;

    // Values. Text: trailing blanks removed. A numeric field of blanks is null.
    // The (name) forms read the current row and raise "Field '%s' not found" for unknown names.
    QString text(const QString &fieldName) const;
    QString text(int recNo, int fieldIndex) const;
    bool isNull(const QString &fieldName) const;
    bool isNull(int recNo, int fieldIndex) const;
    qint64 integer(const QString &fieldName) const; // null reads 0, text that is no integer 0
    // The field's text converted with the regional decimal separator (ConvertError otherwise).
    double number(const QString &fieldName) const;

    // Editing. append() starts a blank row, edit() the current row; set the fields, then post().
    void append();
    void edit();
    void setText(const QString &fieldName, const QString &value); // cut to the field width
    void setInteger(const QString &fieldName, qint64 value);
    // General decimal form with the regional separator, cut to the field width.
    void setNumber(const QString &fieldName, double value);
    void setNull(const QString &fieldName);
    // Writes the row: an appended row goes after the last record with the header (date, count)
    // and the end-of-file byte; an edited row is rewritten in place. Indexes are kept up to date.
    void post();
    void cancel();
    // Marks the current row deleted (0x2A) in place.
    void deleteRecord();
    // Keeps only the live records in their order. The packed file is built beside the file the
    // open holds (links resolved) with its permissions, owner and group, and replaces it only
    // once complete and synced. Other hard links of the file keep the rows from before.
    void pack();

    // Sort index tags in the production index file.
    void addIndex(const QString &name, const QString &fieldName, bool descending);
    void selectIndex(const QString &name); // empty: physical order
    QString selectedIndex() const;
    void deleteIndex(const QString &name);
    QStringList indexNames() const;
    // Whether a tag of that name exists, compared as tags are (blanks trimmed, case ignored).
    bool hasIndex(const QString &name) const;
    void rebuildIndexes();

    // Filter: FIELD ='text' with '*' wildcards at the ends of the text.
    void setFilter(const QString &expression);
    QString filter() const;
    void setFiltered(bool on);
    bool filtered() const;

    // Code page of the texts, from header byte 29 (0 means 1251).
    int codePage() const;
    // The table's header length, record length and the raw bytes of one record (tests, tools).
    int headerLength() const;
    int recordLength() const;
    QByteArray recordBytes(int recNo) const;

signals:
    // The set or order of the visible rows changed (open, close, append, pack, index, filter).
    void rowsReset();
    // One record's values changed in place (posted edit, delete flag). A posted edit that moves
    // the row in the current order (or out of the filter) is followed by rowsReset.
    void recordChanged(int recNo);
    // The current row moved.
    void currentChanged();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The operator's warning about damaged records of an open table (damagedRecordCount), empty when
// there are none.
QString damagedRecordsText(const DbfTable &table);
