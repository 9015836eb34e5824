#pragma once
// The measurement table: one row per reading downloaded from the instrument.
#include "dbase/dbftable.h"

namespace Measurement {

inline const QString N = QStringLiteral("N");
inline const QString MODE = QStringLiteral("MODE");
inline const QString EN_CH = QStringLiteral("EN_CH");
inline const QString DATE = QStringLiteral("DATE");
inline const QString TIME = QStringLiteral("TIME");
inline const QString T_1 = QStringLiteral("T_1");
inline const QString T_2 = QStringLiteral("T_2");
inline const QString COMMENT = QStringLiteral("COMMENT");

// The temporary sort index.
inline const QString SortIndex = QStringLiteral("tab1");

// Texts of MODE.
inline const QString Operative = QStringLiteral("Оперативный");
inline const QString Observation = QStringLiteral("Наблюдение");

// N(4), MODE C(11), EN_CH N(4), DATE C(10), TIME C(8), T_1 C(6), T_2 C(6), COMMENT C(50).
QList<DbfFieldDef> schema();

} // namespace Measurement
