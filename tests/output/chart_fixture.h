#pragma once
// Measurement tables for the output tests: a scratch folder with an open table "t.db" and
// readings added with the texts exactly as given.
#include "base/regional.h"
#include "data/measurementtable.h"
#include "dbase/dbftable.h"
#include "support/heldfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

struct Reading
{
    int n;
    QString date;
    QString time;
    QString mass;   // T_1 text as stored
    QString series; // T_2 text; empty for an operative reading
    QString comment = {};
};

class OutputTableTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    RegionalScope pin{Regional::russian()};
    DbfTable table{Measurement::schema()};

    QString path(const QString &name = QStringLiteral("t.db")) const { return dir.filePath(name); }

    void SetUp() override
    {
        table.setFileName(path());
        table.create();
        table.open();
    }

    void add(const Reading &r)
    {
        table.append();
        table.setInteger(Measurement::N, r.n);
        table.setText(Measurement::MODE,
                      r.series.isEmpty() ? Measurement::Operative : Measurement::Observation);
        table.setText(Measurement::DATE, r.date);
        table.setText(Measurement::TIME, r.time);
        table.setText(Measurement::T_1, r.mass);
        table.setText(Measurement::T_2, r.series);
        table.setText(Measurement::COMMENT, r.comment);
        table.post();
    }

    // n readings of one series, a minute apart from 05.10.2003 18:00:00, masses from..(step)
    void addSeries(const QString &series, int count, double firstMass, double step, int firstN = 1)
    {
        for (int i = 0; i < count; ++i)
            add({firstN + i, QStringLiteral("05.10.2003"),
                 QTime(18, 0).addSecs(60 * i).toString(QStringLiteral("hh:mm:ss")),
                 Regional::current().formatFloat(firstMass + step * i), series});
    }

    QByteArray fileBytes()
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};
