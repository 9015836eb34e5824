#include "reportsource.h"

#include "dbase/dbftable.h"

void DbfRowSource::first()
{
    m_table.first();
}

void DbfRowSource::next()
{
    m_table.next();
}

bool DbfRowSource::eof() const
{
    return m_table.eof();
}

QString DbfRowSource::value(const QString &fieldName) const
{
    return m_table.text(fieldName);
}

int DbfRowSource::rowCountHint() const
{
    return m_table.rowCount();
}

void DbfRowSource::finished()
{
    // Walking past the end leaves no current row; the table stays on its last one.
    if (!m_table.isEmpty())
        m_table.last();
}
