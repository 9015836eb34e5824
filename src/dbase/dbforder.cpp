#include "dbforder.h"

#include "codepage.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

using namespace DbfOrder;

// ---------------------------------------------------------------------------------------------
// Sort keys

void SortKeys::clear()
{
    m_active = false;
    m_keys.clear();
}

void SortKeys::build(const DbfFormat::Field &field, bool descending, const CodePage &codec,
                     const char *records, int recordLength, int count)
{
    m_active = true;
    m_numeric = DbfFormat::isNumericKind(field.kind);
    m_descending = descending;
    m_field = field;
    m_codec = &codec;
    m_keys.assign(size_t(count) + 1, SortKey());
    for (int r = 1; r <= count; ++r)
        m_keys[size_t(r)] = keyOf(records + qint64(r - 1) * recordLength);
}

bool SortKeys::update(int recNo, const char *record)
{
    if (!m_active)
        return false;
    if (size_t(recNo) >= m_keys.size())
        m_keys.resize(size_t(recNo) + 1);
    SortKey key = keyOf(record);
    if (key == m_keys[size_t(recNo)])
        return false;
    m_keys[size_t(recNo)] = std::move(key);
    return true;
}

SortKey SortKeys::keyOf(const char *record) const
{
    SortKey key;
    if (m_numeric) {
        key.null = DbfFormat::fieldNull(record, m_field);
        if (!key.null) {
            bool ok = false;
            key.number = DbfFormat::fieldText(record, m_field, *m_codec).toDouble(&ok);
            // "nan" compares with no number at all: the rows would have no order.
            if (!ok || std::isnan(key.number))
                key.number = 0;
        }
    } else {
        key.null = false;
        const char *p = record + m_field.offset;
        key.text = m_codec->sortKey(p, DbfFormat::trimmedLength(p, m_field.def.width));
        for (int i = 0; i < 8; ++i)
            key.prefix = (key.prefix << 8) | quint8(i < key.text.size() ? key.text[i] : 0);
    }
    return key;
}

bool SortKeys::less(int a, int b) const
{
    if (!m_active)
        return a < b;
    const SortKey &ka = m_keys[size_t(a)];
    const SortKey &kb = m_keys[size_t(b)];
    int c = 0;
    if (m_numeric) {
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
    return m_descending ? c > 0 : c < 0;
}

// ---------------------------------------------------------------------------------------------
// Filter

Filter Filter::parse(const QString &expression, const std::function<int(const QString &)> &fieldIndex)
{
    static const QRegularExpression form(QStringLiteral(
        "^\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*=\\s*(?:'((?:[^']|'')*)'|\"((?:[^\"]|\"\")*)\")\\s*$"));
    const QRegularExpressionMatch m = form.match(expression);
    if (!m.hasMatch())
        throw DbfError(QStringLiteral("Неверное выражение фильтра: %1").arg(expression));
    Filter f;
    f.field = fieldIndex(m.captured(1));
    QString text = m.capturedStart(2) >= 0
                       ? m.captured(2).replace(QStringLiteral("''"), QStringLiteral("'"))
                       : m.captured(3).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    const bool head = text.startsWith(QLatin1Char('*'));
    const bool tail = text.size() > (head ? 1 : 0) && text.endsWith(QLatin1Char('*'));
    if (head)
        text.remove(0, 1);
    if (tail)
        text.chop(1);
    f.mode = head && tail ? Contains : head ? Suffix : tail ? Prefix : Exact;
    f.text = text;
    return f;
}

bool Filter::matches(const QString &t) const
{
    switch (mode) {
    case Exact:
        return t == text;
    case Prefix:
        return t.startsWith(text);
    case Suffix:
        return t.endsWith(text);
    case Contains:
        return t.contains(text);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Row order

namespace {

// The tree's heap order: a fixed mix of the record number (a bijection, so no two are equal).
// Fixed rather than random so that a run can be repeated exactly.
quint32 priority(int recNo)
{
    quint32 x = quint32(recNo) * 0x9E3779B1u;
    x ^= x >> 16;
    x *= 0x85EBCA6Bu;
    x ^= x >> 13;
    x *= 0xC2B2AE35u;
    x ^= x >> 16;
    return x;
}

} // namespace

void RowOrder::assign(std::vector<int> records, int count)
{
    m_count = count;
    m_flat = std::move(records);
    m_flatRow.assign(size_t(count) + 1, -1);
    for (size_t i = 0; i < m_flat.size(); ++i)
        m_flatRow[size_t(m_flat[i])] = int(i);
    m_flatValid = true;
    m_treeValid = false;
    m_root = 0;
    m_treeReads = 0;
    m_flatWork = 0;
}

void RowOrder::clear()
{
    assign({}, 0);
    m_left.clear();
    m_right.clear();
    m_parent.clear();
    m_size.assign(1, 0);
}

void RowOrder::grow(int count)
{
    if (count <= m_count)
        return;
    m_count = count;
    m_flatRow.resize(size_t(count) + 1, -1);
    if (m_treeValid) {
        for (std::vector<int> *v : {&m_left, &m_right, &m_parent, &m_size})
            v->resize(size_t(count) + 1, 0);
    }
}

int RowOrder::lookUpRecordAt(int row) const
{
    if (row < 0 || row >= size())
        return 0;
    countTreeRead();
    return m_flatValid ? m_flat[size_t(row)] : treeRecordAt(row);
}

int RowOrder::lookUpRowOf(int recNo) const
{
    if (recNo < 1 || recNo > m_count)
        return -1;
    countTreeRead();
    return m_flatValid ? m_flatRow[size_t(recNo)] : treeRowOf(recNo);
}

const std::vector<int> &RowOrder::records() const
{
    if (!m_flatValid)
        flatten();
    return m_flat;
}

void RowOrder::insert(int recNo, const std::function<bool(int, int)> &less)
{
    if (recNo < 1 || recNo > m_count || contains(recNo))
        return;
    const bool atEnd = m_flatValid && (m_flat.empty() || less(m_flat.back(), recNo));
    if (!atEnd && !m_treeValid) {
        // Without the tree the flat copy is current: it takes the record itself while what such
        // moves cost stays below what building the tree does (a few passes over the order).
        const auto at = std::lower_bound(m_flat.begin(), m_flat.end(), recNo, less);
        const size_t row = size_t(at - m_flat.begin());
        if (spendFlatWork(m_flat.size() - row)) {
            m_flat.insert(at, recNo);
            renumberFlat(row);
            return;
        }
    }
    if (!atEnd)
        ensureTree();
    if (m_treeValid) {
        // Down to a leaf (every subtree on the way gains the record), then up while the heap
        // order asks for it.
        int parent = 0;
        bool left = false;
        for (int x = m_root; x != 0; x = left ? m_left[size_t(x)] : m_right[size_t(x)]) {
            parent = x;
            ++m_size[size_t(x)];
            left = less(recNo, x);
        }
        m_left[size_t(recNo)] = m_right[size_t(recNo)] = 0;
        m_parent[size_t(recNo)] = parent;
        m_size[size_t(recNo)] = 1;
        if (parent == 0)
            m_root = recNo;
        else
            (left ? m_left : m_right)[size_t(parent)] = recNo;
        while (m_parent[size_t(recNo)] != 0 && priority(recNo) > priority(m_parent[size_t(recNo)]))
            rotateUp(recNo);
    }
    if (atEnd) {
        m_flatRow[size_t(recNo)] = int(m_flat.size());
        m_flat.push_back(recNo);
    } else {
        changed();
    }
}

void RowOrder::erase(int recNo)
{
    if (recNo < 1 || recNo > m_count || !contains(recNo))
        return;
    const bool atEnd = m_flatValid && m_flat.back() == recNo;
    if (!atEnd && !m_treeValid) {
        const size_t row = size_t(m_flatRow[size_t(recNo)]);
        if (spendFlatWork(m_flat.size() - row)) {
            m_flat.erase(m_flat.begin() + qsizetype(row));
            m_flatRow[size_t(recNo)] = -1;
            renumberFlat(row);
            return;
        }
    }
    if (!atEnd)
        ensureTree();
    if (m_treeValid) {
        // Down until it is a leaf, then off the tree.
        for (;;) {
            const int l = m_left[size_t(recNo)];
            const int r = m_right[size_t(recNo)];
            if (l == 0 && r == 0)
                break;
            rotateUp(l == 0 ? r : r == 0 ? l : priority(l) > priority(r) ? l : r);
        }
        const int parent = m_parent[size_t(recNo)];
        if (parent == 0)
            m_root = 0;
        else
            (m_left[size_t(parent)] == recNo ? m_left : m_right)[size_t(parent)] = 0;
        for (int x = parent; x != 0; x = m_parent[size_t(x)])
            --m_size[size_t(x)];
        m_parent[size_t(recNo)] = 0;
        m_size[size_t(recNo)] = 0;
    }
    if (atEnd) {
        m_flat.pop_back();
        m_flatRow[size_t(recNo)] = -1;
    } else {
        changed();
    }
}

bool RowOrder::spendFlatWork(size_t moved)
{
    // Building the tree writes four arrays over the order and walks it once: about 8 passes.
    if (m_flatWork + moved > 8 * m_flat.size() + 16)
        return false;
    m_flatWork += moved;
    return true;
}

void RowOrder::renumberFlat(size_t from)
{
    for (size_t i = from; i < m_flat.size(); ++i)
        m_flatRow[size_t(m_flat[i])] = int(i);
}

bool RowOrder::contains(int recNo) const
{
    return m_flatValid ? m_flatRow[size_t(recNo)] >= 0 : m_size[size_t(recNo)] > 0;
}

void RowOrder::changed() const
{
    m_flatValid = false;
    m_treeReads = 0;
}

void RowOrder::countTreeRead() const
{
    // A flat copy costs about as much as n / 16 lookups in the tree.
    if (++m_treeReads > size() / 16 + 16)
        flatten();
}

void RowOrder::ensureTree() const
{
    if (!m_treeValid)
        buildTree();
}

void RowOrder::buildTree() const
{
    // A Cartesian tree of the records in order under their priorities, built with a stack in
    // one pass: a record leaves the stack when a later one of higher priority arrives, and its
    // subtree is complete then (every record of it came before that one), so its size is known.
    // Only the sizes of records outside the order must be zero; the links of records in it are
    // all written.
    m_left.resize(size_t(m_count) + 1);
    m_right.resize(size_t(m_count) + 1);
    m_parent.resize(size_t(m_count) + 1);
    m_size.assign(size_t(m_count) + 1, 0);
    auto close = [this](int x) {
        m_size[size_t(x)] = m_size[size_t(m_left[size_t(x)])] + m_size[size_t(m_right[size_t(x)])] + 1;
    };
    std::vector<std::pair<int, quint32>> stack; // record, priority
    for (const int r : m_flat) {
        const quint32 p = priority(r);
        int last = 0;
        while (!stack.empty() && stack.back().second < p) {
            last = stack.back().first;
            stack.pop_back();
            close(last);
        }
        m_left[size_t(r)] = last;
        m_right[size_t(r)] = 0;
        m_parent[size_t(r)] = stack.empty() ? 0 : stack.back().first;
        if (last != 0)
            m_parent[size_t(last)] = r;
        if (!stack.empty())
            m_right[size_t(stack.back().first)] = r;
        stack.emplace_back(r, p);
    }
    m_root = stack.empty() ? 0 : stack.front().first;
    while (!stack.empty()) {
        close(stack.back().first);
        stack.pop_back();
    }
    m_treeValid = true;
}

void RowOrder::flatten() const
{
    m_flat.clear();
    m_flat.reserve(size_t(m_size[size_t(m_root)]));
    m_flatRow.assign(size_t(m_count) + 1, -1);
    std::vector<int> stack;
    int x = m_root;
    while (x != 0 || !stack.empty()) {
        while (x != 0) {
            stack.push_back(x);
            x = m_left[size_t(x)];
        }
        x = stack.back();
        stack.pop_back();
        m_flatRow[size_t(x)] = int(m_flat.size());
        m_flat.push_back(x);
        x = m_right[size_t(x)];
    }
    m_flatValid = true;
    m_treeReads = 0;
}

void RowOrder::rotateUp(int x) const
{
    const int p = m_parent[size_t(x)];
    const int g = m_parent[size_t(p)];
    if (m_left[size_t(p)] == x) {
        const int moved = m_right[size_t(x)];
        m_left[size_t(p)] = moved;
        if (moved != 0)
            m_parent[size_t(moved)] = p;
        m_right[size_t(x)] = p;
    } else {
        const int moved = m_left[size_t(x)];
        m_right[size_t(p)] = moved;
        if (moved != 0)
            m_parent[size_t(moved)] = p;
        m_left[size_t(x)] = p;
    }
    m_parent[size_t(p)] = x;
    m_parent[size_t(x)] = g;
    if (g == 0)
        m_root = x;
    else
        (m_left[size_t(g)] == p ? m_left : m_right)[size_t(g)] = x;
    m_size[size_t(x)] = m_size[size_t(p)];
    m_size[size_t(p)] = m_size[size_t(m_left[size_t(p)])] + m_size[size_t(m_right[size_t(p)])] + 1;
}

int RowOrder::treeRowOf(int recNo) const
{
    if (m_size[size_t(recNo)] == 0)
        return -1;
    int row = m_size[size_t(m_left[size_t(recNo)])];
    for (int x = recNo; m_parent[size_t(x)] != 0; x = m_parent[size_t(x)]) {
        const int p = m_parent[size_t(x)];
        if (m_right[size_t(p)] == x)
            row += m_size[size_t(m_left[size_t(p)])] + 1;
    }
    return row;
}

int RowOrder::treeRecordAt(int row) const
{
    int x = m_root;
    while (x != 0) {
        const int before = m_size[size_t(m_left[size_t(x)])];
        if (row < before) {
            x = m_left[size_t(x)];
        } else if (row == before) {
            return x;
        } else {
            row -= before + 1;
            x = m_right[size_t(x)];
        }
    }
    return 0;
}
