#pragma once
// The operator's regional settings as far as the program uses them: the decimal separator of
// numbers written into text fields and read back, and the order and separator of dates.
// One object is current for the whole program; tests pin it to Russian.
#include <QChar>
#include <QDate>
#include <QDateTime>
#include <QString>

class Regional
{
public:
    enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

    Regional() = default;
    Regional(QChar decimalSeparator, DateOrder order, QChar dateSeparator);

    static Regional russian();
    // From the system locale (on POSIX: LC_ALL, LC_NUMERIC, LANG); Russian when the environment
    // names none (the C / POSIX locale).
    static Regional fromEnvironment();

    static const Regional &current();
    static void setCurrent(const Regional &settings);

    QChar decimalSeparator() const { return m_decimal; }
    DateOrder dateOrder() const { return m_order; }
    QChar dateSeparator() const { return m_dateSeparator; }

    // General decimal form: 15 significant digits, no exponent, trailing fraction zeros dropped,
    // no separator for whole numbers, the regional decimal separator.
    QString formatFloat(double value) const;
    // Reads a number written with the regional decimal separator (blanks around it allowed).
    // Throws ConvertError "'%s' is not a valid floating point value".
    double parseFloat(const QString &text) const;
    bool tryParseFloat(const QString &text, double *value) const;
    // Reads "date time" (or a date alone) in the regional date order, time hh:mm[:ss]. The result
    // is a wall-clock value in UTC so that no daylight-saving gap can make a reading invalid.
    // Throws ConvertError "'%s' is not a valid date and time".
    QDateTime parseDateTime(const QString &text) const;
    bool tryParseDateTime(const QString &text, QDateTime *value) const;

private:
    QChar m_decimal = QLatin1Char(',');
    DateOrder m_order = DateOrder::DayMonthYear;
    QChar m_dateSeparator = QLatin1Char('.');
};

// Pins the current regional settings for the lifetime of the object (tests).
class RegionalScope
{
public:
    explicit RegionalScope(const Regional &settings) : m_saved(Regional::current())
    {
        Regional::setCurrent(settings);
    }
    ~RegionalScope() { Regional::setCurrent(m_saved); }
    RegionalScope(const RegionalScope &) = delete;
    RegionalScope &operator=(const RegionalScope &) = delete;

private:
    Regional m_saved;
};
