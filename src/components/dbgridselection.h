#pragma once
// The rows the operator selected in the grid, by physical record number in the order they were
// added, each with a snapshot of its bookmark fields' values taken when it was added: the
// statistics of a selection read what the rows held when they were chosen.
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class DbfTable;

class DbGridSelection
{
public:
    // "T_1;T_2;DATE;TIME": the fields whose values each selected row keeps.
    void setBookmarkFields(const QString &fields);
    QString bookmarkFields() const { return m_bookmarkFields.join(QLatin1Char(';')); }

    bool isEmpty() const { return m_index.isEmpty(); }
    int count() const { return int(m_index.size()); }
    bool contains(int recNo) const { return m_index.contains(recNo); }
    QList<int> records() const;
    // The snapshots, in the order of records().
    QList<QStringList> values() const;
    // The bookmark field values of a record as the table holds them now (a field the table does
    // not have gives an empty text).
    QStringList currentValues(const DbfTable &table, int recNo) const;

    // Adds a record with its snapshot (a value that cannot be read is empty); a record already
    // selected, or none (recNo <= 0), is left alone.
    void add(const DbfTable *table, int recNo);
    void remove(int recNo);
    void clear();
    // Drops the records the table does not show and gives the rows of the others, ascending.
    QList<int> rowsIn(const DbfTable &table);

    // Counts every change of the selection.
    quint64 version() const { return m_version; }

private:
    struct Entry
    {
        int recNo = 0; // 0: removed
        QStringList values;
    };

    QStringList m_bookmarkFields;
    QList<Entry> m_entries;        // in order of adding, with holes
    QHash<int, qsizetype> m_index; // recNo -> position in m_entries
    quint64 m_version = 0;
};
