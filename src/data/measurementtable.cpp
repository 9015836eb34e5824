#include "measurementtable.h"

QList<DbfFieldDef> Measurement::schema()
{
    return {
        {N, 'N', 4, 0},    {MODE, 'C', 11, 0}, {EN_CH, 'N', 4, 0}, {DATE, 'C', 10, 0},
        {TIME, 'C', 8, 0}, {T_1, 'C', 6, 0},   {T_2, 'C', 6, 0},   {COMMENT, 'C', 50, 0},
    };
}
