// PLACEHOLDER: a table layer that opens nothing, built only while the real one is not in the
// tree, so that the program links and its windows can be seen. Every open and create fails.
#include "data/dbftable.h"
#include "data/measurementtable.h"

struct DbfTable::Private
{
    QString fileName;
    QList<DbfFieldDef> schema;
};

DbfTable::DbfTable(QObject *parent) : QObject(parent), d(std::make_unique<Private>()) {}
DbfTable::~DbfTable() = default;
void DbfTable::setFileName(const QString &path)
{
    d->fileName = path;
}
QString DbfTable::fileName() const
{
    return d->fileName;
}
void DbfTable::setSchema(const QList<DbfFieldDef> &fields)
{
    d->schema = fields;
}
void DbfTable::create()
{
    throw DbfError(QStringLiteral("The table layer is not built yet"));
}
void DbfTable::open()
{
    throw DbfError(QStringLiteral("The table layer is not built yet"));
}
void DbfTable::close() {}
bool DbfTable::isOpen() const
{
    return false;
}
DbfTable::State DbfTable::state() const
{
    return State::Closed;
}
void DbfTable::cancel() {}
void DbfTable::first() {}
int DbfTable::rowCount() const
{
    return 0;
}
int DbfTable::recordAt(int) const
{
    return 0;
}
int DbfTable::rowOf(int) const
{
    return -1;
}
int DbfTable::fieldCount() const
{
    return 0;
}
DbfFieldDef DbfTable::field(int) const
{
    return {};
}
QString DbfTable::text(int, int) const
{
    return {};
}

QList<DbfFieldDef> Measurement::schema()
{
    return {};
}
