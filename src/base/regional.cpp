#include "regional.h"

#include "errors.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace {
Regional &currentSettings()
{
    static Regional settings = Regional::russian();
    return settings;
}
} // namespace

Regional::Regional(QChar decimalSeparator, DateOrder order, QChar dateSeparator)
    : m_decimal(decimalSeparator), m_order(order), m_dateSeparator(dateSeparator)
{}

Regional Regional::russian()
{
    return Regional(QLatin1Char(','), DateOrder::DayMonthYear, QLatin1Char('.'));
}

Regional Regional::fromEnvironment()
{
    const QLocale locale = QLocale::system();
    // An environment that names no locale at all (C / POSIX) gets the settings the program is
    // made for, so that tables written with a decimal comma and day.month.year dates read back.
    if (locale.language() == QLocale::C)
        return russian();
    const QString decimal = locale.decimalPoint();
    const QChar separator = decimal.size() == 1 ? decimal.at(0) : QLatin1Char('.');

    // Date order and separator from the locale's short date format, e.g. "dd.MM.yyyy".
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype d = format.indexOf(QLatin1Char('d'));
    const qsizetype m = format.indexOf(QLatin1Char('M'));
    const qsizetype y = format.indexOf(QLatin1Char('y'));
    DateOrder order = DateOrder::DayMonthYear;
    if (d >= 0 && m >= 0 && y >= 0) {
        if (y < m && m < d)
            order = DateOrder::YearMonthDay;
        else if (m < d)
            order = DateOrder::MonthDayYear;
    }
    QChar dateSeparator = QLatin1Char('.');
    for (const QChar c : format) {
        if (!c.isLetter()) {
            dateSeparator = c;
            break;
        }
    }
    return Regional(separator, order, dateSeparator);
}

const Regional &Regional::current()
{
    return currentSettings();
}

void Regional::setCurrent(const Regional &settings)
{
    currentSettings() = settings;
}

QString Regional::formatFloat(double value) const
{
    if (!std::isfinite(value))
        return std::isnan(value) ? QStringLiteral("NAN")
                                 : (value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF"));
    if (value == 0.0)
        return QStringLiteral("0");
    QString text = QString::number(value, 'g', 15);
    if (text.contains(QLatin1Char('e'))) {
        // Plain positional notation with the same 15 significant digits.
        const int exponent = int(std::floor(std::log10(std::fabs(value))));
        const int decimals = std::max(0, 14 - exponent);
        text = QString::number(value, 'f', decimals);
        if (text.contains(QLatin1Char('.'))) {
            while (text.endsWith(QLatin1Char('0')))
                text.chop(1);
            if (text.endsWith(QLatin1Char('.')))
                text.chop(1);
        }
    }
    text.replace(QLatin1Char('.'), m_decimal);
    return text;
}

bool Regional::tryParseFloat(const QString &text, double *value) const
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    // Only the regional separator counts as a decimal point; anything else is not a number.
    if (m_decimal != QLatin1Char('.') && t.contains(QLatin1Char('.')))
        return false;
    t.replace(m_decimal, QLatin1Char('.'));
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    if (!number.match(t).hasMatch())
        return false;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok)
        return false;
    if (value)
        *value = v;
    return true;
}

double Regional::parseFloat(const QString &text) const
{
    double v = 0;
    if (!tryParseFloat(text, &v))
        throw ConvertError::notFloat(text);
    return v;
}

bool Regional::tryParseDateTime(const QString &text, QDateTime *value) const
{
    const QStringList parts = text.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.size() > 2)
        return false;

    const QStringList dateParts = parts.at(0).split(m_dateSeparator);
    if (dateParts.size() != 3)
        return false;
    int numbers[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        numbers[i] = dateParts.at(i).toInt(&ok);
        if (!ok || dateParts.at(i).isEmpty())
            return false;
    }
    int day = numbers[0], month = numbers[1], year = numbers[2];
    if (m_order == DateOrder::MonthDayYear) {
        month = numbers[0];
        day = numbers[1];
    } else if (m_order == DateOrder::YearMonthDay) {
        year = numbers[0];
        month = numbers[1];
        day = numbers[2];
    }
    if (year < 100)
        year += 2000;
    const QDate date(year, month, day);
    if (!date.isValid())
        return false;

    QTime time(0, 0, 0);
    if (parts.size() == 2) {
        const QStringList timeParts = parts.at(1).split(QLatin1Char(':'));
        if (timeParts.size() < 2 || timeParts.size() > 3)
            return false;
        int hms[3] = {0, 0, 0};
        for (qsizetype i = 0; i < timeParts.size(); ++i) {
            bool ok = false;
            hms[i] = timeParts.at(i).toInt(&ok);
            if (!ok || timeParts.at(i).isEmpty())
                return false;
        }
        time = QTime(hms[0], hms[1], hms[2]);
        if (!time.isValid())
            return false;
    }
    if (value)
        *value = QDateTime(date, time, Qt::UTC); // wall-clock value: no daylight-saving gaps
    return true;
}

QDateTime Regional::parseDateTime(const QString &text) const
{
    QDateTime v;
    if (!tryParseDateTime(text, &v))
        throw ConvertError::notDateTime(text);
    return v;
}
