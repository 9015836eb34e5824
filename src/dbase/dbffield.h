#pragma once
// A field of a dBase table file as the table layer describes it.
#include <QString>

struct DbfFieldDef
{
    QString name;    // upper case, at most 10 characters
    char type = 'C'; // 'C' character, 'N' numeric (others are read when opening foreign files)
    int width = 0;
    int decimals = 0;
};

// How the data layer sees a field: a numeric field without decimals of width <= 4 is a small
// integer, 5..9 an integer, >= 10 a large integer; with decimals a float; a character field text.
enum class DbfFieldKind { Text, SmallInt, Integer, LargeInt, Float, Other };
