#pragma once
// Measurement rows written straight through the table layer: how the tests and the benchmarks
// fill a table.
#include "data/measurementtable.h"
#include "dbase/dbftable.h"

#include <QString>
#include <functional>

struct MeasurementRow
{
    int n = 0;
    bool observation = false; // an observation carries its series number; an operative reading none
    QString date = QStringLiteral("07.11.2005");
    QString time = QStringLiteral("09:05:30");
    double mass = 0;
    int series = 0;
    QString comment;
};

inline void appendRow(DbfTable &table, const MeasurementRow &row)
{
    table.append();
    table.setInteger(Measurement::N, row.n);
    table.setText(Measurement::MODE, row.observation ? Measurement::Observation : Measurement::Operative);
    table.setText(Measurement::DATE, row.date);
    table.setText(Measurement::TIME, row.time);
    table.setNumber(Measurement::T_1, row.mass);
    if (row.observation)
        table.setInteger(Measurement::T_2, row.series);
    if (!row.comment.isEmpty())
        table.setText(Measurement::COMMENT, row.comment);
    table.post();
}

// Appends count rows, the i-th (from 0) made by rowAt(i).
inline void appendRows(DbfTable &table, int count, const std::function<MeasurementRow(int)> &rowAt)
{
    for (int i = 0; i < count; ++i)
        appendRow(table, rowAt(i));
}

// A new measurement table at path holding count rows made by rowAt, left open.
inline void createMeasurementTable(DbfTable &table, const QString &path, int count,
                                   const std::function<MeasurementRow(int)> &rowAt)
{
    table.setSchema(Measurement::schema());
    table.setFileName(path);
    table.create();
    table.open();
    appendRows(table, count, rowAt);
}
