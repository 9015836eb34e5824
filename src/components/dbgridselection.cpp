#include "dbgridselection.h"

#include "dbase/dbftable.h"

#include <algorithm>
#include <exception>

void DbGridSelection::setBookmarkFields(const QString &fields)
{
    m_bookmarkFields = fields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString &f : m_bookmarkFields)
        f = f.trimmed();
}

QList<int> DbGridSelection::records() const
{
    QList<int> records;
    records.reserve(m_index.size());
    for (const Entry &e : m_entries) {
        if (e.recNo > 0)
            records.append(e.recNo);
    }
    return records;
}

QList<QStringList> DbGridSelection::values() const
{
    QList<QStringList> values;
    values.reserve(m_index.size());
    for (const Entry &e : m_entries) {
        if (e.recNo > 0)
            values.append(e.values);
    }
    return values;
}

QStringList DbGridSelection::currentValues(const DbfTable &table, int recNo) const
{
    QStringList current;
    for (const QString &field : m_bookmarkFields) {
        const int index = table.fieldIndex(field);
        current.append(index >= 0 && recNo > 0 ? table.text(recNo, index) : QString());
    }
    return current;
}

void DbGridSelection::add(const DbfTable *table, int recNo)
{
    if (recNo <= 0 || m_index.contains(recNo))
        return;
    Entry entry;
    entry.recNo = recNo;
    entry.values.reserve(m_bookmarkFields.size());
    for (const QString &field : m_bookmarkFields) {
        QString value;
        try {
            const int index = table->fieldIndex(field);
            if (index >= 0)
                value = table->text(recNo, index);
        } catch (const std::exception &) {
        }
        entry.values.append(value);
    }
    m_index.insert(recNo, m_entries.size());
    m_entries.append(std::move(entry));
    ++m_version;
}

void DbGridSelection::remove(int recNo)
{
    const auto it = m_index.constFind(recNo);
    if (it == m_index.cend())
        return;
    ++m_version;
    Entry &entry = m_entries[*it];
    entry.recNo = 0;
    entry.values.clear();
    m_index.erase(it);
    // Removing leaves holes; once they outnumber the entries by more than 64 the list is packed,
    // keeping the order.
    if (m_entries.size() > 2 * m_index.size() + 64) {
        QList<Entry> kept;
        kept.reserve(m_index.size());
        for (Entry &e : m_entries) {
            if (e.recNo > 0) {
                m_index[e.recNo] = kept.size();
                kept.append(std::move(e));
            }
        }
        m_entries = std::move(kept);
    }
}

void DbGridSelection::clear()
{
    if (!m_index.isEmpty())
        ++m_version;
    m_entries.clear();
    m_index.clear();
}

QList<int> DbGridSelection::rowsIn(const DbfTable &table)
{
    QList<int> rows;
    rows.reserve(m_index.size());
    for (Entry &e : m_entries) {
        if (e.recNo <= 0)
            continue;
        const int row = table.rowOf(e.recNo);
        if (row >= 0) {
            rows.append(row);
        } else {
            ++m_version;
            m_index.remove(e.recNo);
            e.recNo = 0;
            e.values.clear();
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}
