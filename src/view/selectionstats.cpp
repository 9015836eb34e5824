#include "selectionstats.h"

#include "base/errors.h"
#include "base/regional.h"

#include <QByteArrayView>
#include <cmath>

namespace SelectionStats {

double roundMean(double mean)
{
    // f is the double nearest to 0.1 (slightly above one tenth), so a mean exactly on a half can
    // round down; the division, the addition and the product run in extended precision.
    const double f = 1.0 / 10.0;
    const bool negative = mean < 0;
    const long double magnitude = std::fabs(static_cast<long double>(mean));
    long double x = magnitude / static_cast<long double>(f);
    x = x + 0.5L;
    const long double k = std::trunc(x);
    const double result = static_cast<double>(k * static_cast<long double>(f));
    return negative ? -result : result;
}

QString formatNumber(double value)
{
    if (value == 0.0)
        return QStringLiteral("0"); // also for -0 from a negated zero
    return Regional::current().formatFloat(value);
}

namespace {
struct Accumulator
{
    double minimum = 0;
    double maximum = 0;
    double sum = 0;

    void start(double v) { minimum = maximum = sum = v; }
    void add(double v)
    {
        if (v < minimum)
            minimum = v;
        if (v > maximum)
            maximum = v;
        sum = sum + v; // held as a double after every addition
    }
    QString text(qsizetype count) const
    {
        const double mean = sum / double(count);
        return formatNumber(minimum) + QLatin1Char('/') + formatNumber(roundMean(mean)) + QLatin1Char('/') +
               formatNumber(maximum);
    }
};

// The plain forms the table holds ("12,5", "-3", " 100") are read here directly, with the same
// result as the regional reader, which handles everything else (and reports what is no number).
bool readPlain(const QString &text, QChar separator, double *value)
{
    char buffer[32];
    int length = 0;
    bool digits = false;
    bool point = false;
    qsizetype i = 0;
    qsizetype end = text.size();
    while (i < end && text.at(i) == QLatin1Char(' '))
        ++i;
    while (end > i && text.at(end - 1) == QLatin1Char(' '))
        --end;
    if (end - i > 24)
        return false;
    if (i < end && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        buffer[length++] = char(text.at(i++).unicode());
    for (; i < end; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c >= u'0' && c <= u'9') {
            buffer[length++] = char(c);
            digits = true;
        } else if (c == separator.unicode() && !point && separator != QLatin1Char('-') &&
                   separator != QLatin1Char('+')) {
            buffer[length++] = '.';
            point = true;
        } else {
            return false;
        }
    }
    if (!digits)
        return false;
    bool ok = false;
    *value = QByteArrayView(buffer, length).toDouble(&ok);
    return ok;
}

} // namespace

QString noNumberText(int field, const QString &text)
{
    const bool mass = field == 0;
    if (text.trimmed().isEmpty())
        return mass ? QStringLiteral("Среди выделенных строк есть строка без массы: "
                                     "минимум, среднее и максимум не вычислены")
                    : QStringLiteral("Среди выделенных строк есть строка без номера серии "
                                     "(оперативное взвешивание): минимум, среднее и максимум не вычислены");
    return (mass ? QStringLiteral("Масса «%1» в выделенной строке не является числом: "
                                  "минимум, среднее и максимум не вычислены")
                 : QStringLiteral("Номер серии «%1» в выделенной строке не является числом: "
                                  "минимум, среднее и максимум не вычислены"))
        .arg(text);
}

namespace {
double valueOf(const QList<QStringList> &snapshots, qsizetype row, int field)
{
    const QStringList &values = snapshots.at(row);
    const QString text = field < values.size() ? values.at(field) : QString();
    const Regional &regional = Regional::current();
    double value = 0;
    if (readPlain(text, regional.decimalSeparator(), &value) || regional.tryParseFloat(text, &value))
        return value;
    throw ConvertError(noNumberText(field, text));
}
} // namespace

SelectionFooters footers(qsizetype count, const QList<QStringList> &snapshots)
{
    if (count < 2) {
        // The stored table statistics: nothing ever computes them, so they are zero.
        const QString zero =
            formatNumber(0) + QLatin1Char('/') + formatNumber(0) + QLatin1Char('/') + formatNumber(0);
        return {zero, zero};
    }
    if (snapshots.size() < count)
        throw RangeError();
    Accumulator t1;
    Accumulator t2;
    t1.start(valueOf(snapshots, 0, 0));
    t2.start(valueOf(snapshots, 0, 1));
    for (qsizetype i = 1; i < count; ++i) {
        t1.add(valueOf(snapshots, i, 0));
        t2.add(valueOf(snapshots, i, 1));
    }
    return {t1.text(count), t2.text(count)};
}

} // namespace SelectionStats
