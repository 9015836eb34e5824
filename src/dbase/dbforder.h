#pragma once
// The order of a table's rows (internal to src/dbase): the sort keys of the selected index tag,
// the filter, and the visible records in their order with each record's row.
#include "dbfformat.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

class CodePage;

namespace DbfOrder {

// The key of one record under a tag. Equal keys keep file order.
struct SortKey
{
    quint64 prefix = 0; // the first 8 bytes of the text key, big-endian: most comparisons end here
    QByteArray text;    // a character field's collation key
    double number = 0;  // a numeric field's value; text that is no number ("nan" too) is 0
    bool null = true;
    bool operator==(const SortKey &) const = default;
};

// The keys of the selected tag by record number, and the comparison of two records by them.
class SortKeys
{
public:
    // No tag: file order.
    void clear();
    // Keys of `field` for records 1..count, ascending or descending.
    void build(const DbfFormat::Field &field, bool descending, const CodePage &codec, const char *records,
               int recordLength, int count);
    bool active() const { return m_active; }
    // Recomputes the key of a record (appended or changed); true when it differs from before.
    bool update(int recNo, const char *record);
    bool less(int a, int b) const;

private:
    SortKey keyOf(const char *record) const;

    bool m_active = false;
    bool m_numeric = false;
    bool m_descending = false;
    DbfFormat::Field m_field;
    const CodePage *m_codec = nullptr;
    std::vector<SortKey> m_keys; // index 0 unused
};

// FIELD ='text' with '*' wildcards at the ends of the text.
struct Filter
{
    enum Mode { Exact, Prefix, Suffix, Contains };
    int field = -1;
    Mode mode = Exact;
    QString text;

    // Parses the expression; `fieldIndex` gives a field's index or raises. Raises for an
    // expression of another form.
    static Filter parse(const QString &expression, const std::function<int(const QString &)> &fieldIndex);
    bool matches(const QString &value) const;
};

// The visible records in their order and each one's row. Changes (a record put in its place,
// a record taken out) take O(log n): the rows are a balanced search tree whose nodes are the
// record numbers (a treap with subtree sizes). Lookups read a flat copy in O(1) while it is up
// to date; after changes they go to the tree in O(log n) until so many have that rebuilding the
// flat copy costs no more than they did. Appending at the end and taking out the last row keep
// the flat copy. The tree is built from the order (O(n)) only once the changes made to the flat
// copy itself since the order was set have cost about as much (a few passes over it): a few
// changes need no tree.
class RowOrder
{
public:
    // The records (in order) of a table of `count` records.
    void assign(std::vector<int> records, int count);
    void clear();
    // Room for records up to `count` (an appended record).
    void grow(int count);

    int size() const { return m_flatValid ? int(m_flat.size()) : m_size[size_t(m_root)]; }
    bool empty() const { return size() == 0; }
    // 0 for a row out of range.
    int recordAt(int row) const
    {
        if (m_flatValid)
            return row >= 0 && row < int(m_flat.size()) ? m_flat[size_t(row)] : 0;
        return lookUpRecordAt(row);
    }
    // -1 for a record not in the order.
    int rowOf(int recNo) const
    {
        if (m_flatValid)
            return recNo >= 1 && recNo <= m_count ? m_flatRow[size_t(recNo)] : -1;
        return lookUpRowOf(recNo);
    }
    // The records in order (brings the flat copy up to date).
    const std::vector<int> &records() const;

    // Puts a record that is not in the order in its place; `less` compares record numbers.
    void insert(int recNo, const std::function<bool(int, int)> &less);
    // Takes a record out of the order (nothing when it is not in it).
    void erase(int recNo);

private:
    // The lookups while the flat copy is out of date.
    int lookUpRecordAt(int row) const;
    int lookUpRowOf(int recNo) const;
    bool contains(int recNo) const; // recNo in 1..count
    bool spendFlatWork(size_t moved);
    void renumberFlat(size_t from);
    void ensureTree() const;
    void buildTree() const;
    void flatten() const;
    void changed() const;
    void countTreeRead() const;
    void rotateUp(int x) const;
    int treeRowOf(int recNo) const;
    int treeRecordAt(int row) const;

    int m_count = 0;
    // The flat copy: records by row, rows by record (-1 when not in the order).
    mutable std::vector<int> m_flat;
    mutable std::vector<int> m_flatRow;
    mutable bool m_flatValid = true;
    size_t m_flatWork = 0; // rows moved in the flat copy itself since the order was set
    // The tree over record numbers 1..count (0: none): children, parent, subtree size (0 for a
    // record not in it).
    mutable std::vector<int> m_left, m_right, m_parent, m_size;
    mutable int m_root = 0;
    mutable bool m_treeValid = false;
    mutable int m_treeReads = 0; // lookups that went to the tree since the last change
};

} // namespace DbfOrder
