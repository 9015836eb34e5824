#pragma once
// The report's data source over the measurement table: walks the table with its own first and
// next operations in its current order (index, filter) and leaves the table on its last row.
#include "components/reportengine.h"

class DbfTable;

class DbfRowSource : public Report::RowSource
{
public:
    explicit DbfRowSource(DbfTable &table) : m_table(table) {}

    void first() override;
    void next() override;
    bool eof() const override;
    QString value(const QString &fieldName) const override;
    int rowCountHint() const override;
    void finished() override;

private:
    DbfTable &m_table;
};
