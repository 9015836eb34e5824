#pragma once
// Report rows in memory for the engine and rendering tests: counts the calls the engine makes and
// raises the table's error for an unknown field.
#include "base/errors.h"
#include "components/reportengine.h"

#include <QList>
#include <QString>
#include <map>

namespace Report {

class Rows : public RowSource
{
public:
    QList<std::map<QString, QString>> rows;
    int pos = 0;
    int firstCalls = 0;
    int finishedCalls = 0;

    void first() override
    {
        pos = 0;
        ++firstCalls;
    }
    void next() override { ++pos; }
    bool eof() const override { return pos >= rows.size(); }
    QString value(const QString &field) const override
    {
        const auto &row = rows.at(pos);
        const auto it = row.find(field);
        if (it == row.end())
            throw QpxError(QStringLiteral("Field '%1' not found").arg(field));
        return it->second;
    }
    void finished() override { ++finishedCalls; }

    // Count operative rows numbered from 1, whose mass is "<n>,<fraction>".
    static Rows numbered(int count, const QString &fraction = QStringLiteral("25"))
    {
        Rows r;
        for (int i = 1; i <= count; ++i)
            r.rows.append(std::map<QString, QString>{
                {QStringLiteral("N"), QString::number(i)},
                {QStringLiteral("MODE"), QStringLiteral("Оперативный")},
                {QStringLiteral("DATE"), QStringLiteral("07.11.2005")},
                {QStringLiteral("TIME"), QStringLiteral("09:05:30")},
                {QStringLiteral("T_1"), QStringLiteral("%1,%2").arg(i).arg(fraction)},
                {QStringLiteral("T_2"), QString()},
                {QStringLiteral("COMMENT"), QString()}});
        return r;
    }
};

} // namespace Report
