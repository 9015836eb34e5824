// DbfTable: the rows in their order (navigation, the order as an array), the index tags and the filter.
#include "dbftable.h"

#include "dbftableprivate.h"

#include <algorithm>

using DbfFile::writeFailed;
using DbfIndex::Tag;
using DbfTableDetail::settle;

// ---------------------------------------------------------------------------------------------
// The order

bool DbfTable::Private::visible(int recNo) const
{
    const char *r = rec(recNo);
    if (!live(r))
        return false;
    return !filterOn || !filterValid || filter.matches(fieldText(r, filter.field));
}

const Tag *DbfTable::Private::selectedTag() const
{
    for (const Tag &t : index.tags) {
        if (t.name == index.selected)
            return &t;
    }
    return nullptr;
}

void DbfTable::Private::buildOrder()
{
    const int keep = currentRec();
    if (const Tag *tag = selectedTag())
        keys.build(fields[tag->field], tag->descending, *codec, records.constData(), recordLength, count);
    else
        keys.clear();
    std::vector<int> shown;
    shown.reserve(size_t(count));
    for (int r = 1; r <= count; ++r) {
        if (visible(r))
            shown.push_back(r);
    }
    if (keys.active())
        std::sort(shown.begin(), shown.end(), [this](int a, int b) { return less(a, b); });
    order.assign(std::move(shown), count);
    placeOn(keep);
}

// Makes recNo current when it is visible, the first row otherwise.
void DbfTable::Private::placeOn(int recNo)
{
    if (order.empty()) {
        cur = -1;
        atBof = atEof = true;
        return;
    }
    const int row = order.rowOf(recNo);
    cur = row >= 0 ? row : 0;
    atBof = row < 0;
    atEof = false;
}

void DbfTable::Private::insertRow(int recNo)
{
    order.insert(recNo, [this](int a, int b) { return less(a, b); });
}

void DbfTable::Private::writeIndexFile()
{
    requireWritable();
    DbfIndex::write(indexPath(), DbfIndex::text(index, fields));
}

// Applies filterText; an expression that does not parse raises and changes nothing.
void DbfTable::Private::parseFilter()
{
    if (filterText.trimmed().isEmpty()) {
        filterValid = false;
        return;
    }
    filter =
        DbfOrder::Filter::parse(filterText, [this](const QString &name) { return fieldIndexOrThrow(name); });
    filterValid = true;
}

// ---------------------------------------------------------------------------------------------
// Navigation

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
    d->cur = d->order.size() - 1;
    d->atBof = d->order.empty();
    d->atEof = true;
    emit currentChanged();
}

void DbfTable::next()
{
    d->requireOpen();
    settle(this);
    if (d->cur + 1 < d->order.size()) {
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
    if (!isOpen() || d->order.rowOf(recNo) < 0)
        return false;
    settle(this);
    const int row = d->order.rowOf(recNo);
    if (row < 0)
        return false;
    d->cur = row;
    d->atBof = d->atEof = false;
    emit currentChanged();
    return true;
}

int DbfTable::rowCount() const
{
    return d->order.size();
}

int DbfTable::recordAt(int row) const
{
    return d->order.recordAt(row);
}

int DbfTable::rowOf(int recNo) const
{
    return d->order.rowOf(recNo);
}

int DbfTable::exactRecordCount() const
{
    if (!isOpen())
        return 0;
    int n = 0;
    for (const int r : d->order.records())
        n += d->visible(r) ? 1 : 0;
    return n;
}

// ---------------------------------------------------------------------------------------------
// Index tags and the filter

void DbfTable::addIndex(const QString &name, const QString &fieldName, bool descending)
{
    d->requireOpen();
    d->requireWritable();
    settle(this);
    const int f = d->fieldIndexOrThrow(fieldName);
    const QString tag = name.trimmed().toUpper();
    if (tag.isEmpty() || tag.contains(QLatin1Char('\t')) || tag.contains(QLatin1Char('\n')))
        throw DbfError(QStringLiteral("Неверное имя индекса «%1».").arg(name));
    const QList<Tag> before = d->index.tags;
    d->index.tags.removeIf([&](const Tag &t) { return t.name == tag; });
    d->index.tags.append({tag, f, descending});
    try {
        d->writeIndexFile();
    } catch (...) {
        d->index.tags = before;
        throw;
    }
    d->header[DbfFormat::Header::ProductionIndex.offset] = 1;
    if (!d->writeHeader())
        throw writeFailed(true);
    if (d->index.selected == tag) {
        d->buildOrder();
        emit rowsReset();
    }
}

void DbfTable::selectIndex(const QString &name)
{
    d->requireOpen();
    settle(this);
    const QString tag = name.trimmed().toUpper();
    if (!tag.isEmpty() && std::none_of(d->index.tags.cbegin(), d->index.tags.cend(),
                                       [&](const Tag &t) { return t.name == tag; }))
        throw DbfError(QStringLiteral("Индекс «%1» не найден.").arg(name));
    if (tag == d->index.selected)
        return;
    d->index.selected = tag;
    d->buildOrder();
    if (!d->index.tags.isEmpty()) {
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
    return d->index.selected;
}

void DbfTable::deleteIndex(const QString &name)
{
    d->requireOpen();
    d->requireWritable();
    settle(this);
    const QString tag = name.trimmed().toUpper();
    const qsizetype removed = d->index.tags.removeIf([&](const Tag &t) { return t.name == tag; });
    if (removed == 0)
        throw DbfError(QStringLiteral("Индекс «%1» не найден.").arg(name));
    const bool reorder = d->index.selected == tag;
    if (reorder)
        d->index.selected.clear();
    if (d->index.tags.isEmpty()) {
        DbfIndex::remove(d->indexPath());
        d->header[DbfFormat::Header::ProductionIndex.offset] = 0;
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
    return std::any_of(d->index.tags.cbegin(), d->index.tags.cend(),
                       [&](const Tag &t) { return t.name == tag; });
}

QStringList DbfTable::indexNames() const
{
    QStringList names;
    for (const Tag &t : d->index.tags)
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
