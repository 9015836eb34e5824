// DbfTable: the fields of the open file, the values of the current row, and editing them.
#include "dbftable.h"

#include "base/regional.h"
#include "dbftableprivate.h"

#include <cmath>

using DbfTableDetail::settle;
namespace Format = DbfFormat;

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
    if (DbfFormat::isNumericKind(d->fields[f].kind)) {
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
    d->requireWritable();
    settle(this);
    d->buffer = QByteArray(d->recordLength, ' ');
    d->editRec = 0;
    d->state = State::Insert;
}

void DbfTable::edit()
{
    d->requireOpen();
    d->requireWritable();
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
    if (DbfFormat::isNumericKind(d->fields[f].kind)) {
        if (d->fields[f].def.decimals > 0) {
            setNumber(fieldName, double(value));
            return;
        }
        d->storeNumber(f, digits, [&] { return QString::number(value); });
    } else {
        d->store(f, digits, false);
    }
}

void DbfTable::setNumber(const QString &fieldName, double value)
{
    d->requireEditing();
    const int f = d->fieldIndexOrThrow(fieldName);
    const DbfFormat::Field &fd = d->fields[f];
    if (!DbfFormat::isNumericKind(fd.kind)) {
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
    d->storeNumber(f, QByteArray::number(value, 'f', fd.def.decimals),
                   [&] { return QString::number(value); });
}

void DbfTable::setNull(const QString &fieldName)
{
    d->requireEditing();
    const int f = d->fieldIndexOrThrow(fieldName);
    d->store(f, QByteArray(), false);
}
