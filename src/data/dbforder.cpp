#include "dbforder.h"

#include "codepage.h"

#include <QRegularExpression>
#include <algorithm>

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
            if (!ok)
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

void RowOrder::assign(std::vector<int> records, int count)
{
    m_order = std::move(records);
    m_rowOf.assign(size_t(count) + 1, -1);
    renumber(0);
}

void RowOrder::clear()
{
    m_order.clear();
    m_rowOf.clear();
}

void RowOrder::grow(int count)
{
    if (size_t(count) + 1 > m_rowOf.size())
        m_rowOf.resize(size_t(count) + 1, -1);
}

int RowOrder::recordAt(int row) const
{
    if (row < 0 || row >= int(m_order.size()))
        return 0;
    return m_order[size_t(row)];
}

int RowOrder::rowOf(int recNo) const
{
    if (recNo < 1 || size_t(recNo) >= m_rowOf.size())
        return -1;
    return m_rowOf[size_t(recNo)];
}

void RowOrder::insert(int recNo, const std::function<bool(int, int)> &less)
{
    const auto at = std::lower_bound(m_order.begin(), m_order.end(), recNo, less);
    const size_t row = size_t(at - m_order.begin());
    m_order.insert(at, recNo);
    renumber(row);
}

void RowOrder::erase(int recNo)
{
    const int row = rowOf(recNo);
    if (row < 0)
        return;
    m_order.erase(m_order.begin() + row);
    m_rowOf[size_t(recNo)] = -1;
    renumber(size_t(row));
}

void RowOrder::renumber(size_t from)
{
    for (size_t i = from; i < m_order.size(); ++i)
        m_rowOf[size_t(m_order[i])] = int(i);
}
