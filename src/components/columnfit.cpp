#include "columnfit.h"

#include <algorithm>
#include <numeric>

namespace ColumnFit {

QList<int> scale(const QList<int> &widths, int available, int minimum)
{
    const qsizetype count = widths.size();
    if (count == 0)
        return {};
    minimum = std::max(0, minimum);
    available = std::max<qint64>(available, qint64(minimum) * count);
    qint64 total = 0;
    for (int w : widths)
        total += std::max(0, w);

    QList<int> result(count);
    QList<std::pair<qint64, qsizetype>> remainders; // (remainder, column) of the rounding
    remainders.reserve(count);
    qint64 used = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const qint64 w = std::max(0, widths.at(i));
        // Without any width to go by, share equally.
        const qint64 numerator = total > 0 ? w * available : qint64(available);
        const qint64 denominator = total > 0 ? total : qint64(count);
        result[i] = int(numerator / denominator);
        remainders.append({numerator % denominator, i});
        used += result[i];
    }
    // Hand the pixels lost to rounding to the largest remainders (earlier columns first on ties).
    std::stable_sort(remainders.begin(), remainders.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });
    for (qsizetype k = 0; used < available; k = (k + 1) % count, ++used)
        ++result[remainders.at(k).second];

    // Raise columns below the minimum, taking the pixels from the widest ones.
    for (qsizetype i = 0; i < count; ++i) {
        while (result[i] < minimum) {
            const auto widest = std::max_element(result.begin(), result.end()) - result.begin();
            if (result[widest] <= minimum)
                break;
            const int take = std::min(minimum - result[i], result[widest] - minimum);
            result[widest] -= take;
            result[i] += take;
        }
    }
    return result;
}

QList<int> afterResize(const QList<int> &widths, int index, int newWidth, int available, int minimum)
{
    const qsizetype count = widths.size();
    if (index < 0 || index >= count)
        return scale(widths, available, minimum);
    if (count == 1)
        return {std::max(available, minimum)};
    const int others = int(count - 1);
    const int largest = std::max(minimum, available - others * minimum);
    const int kept = std::clamp(newWidth, std::min(minimum, largest), largest);

    QList<int> rest = widths;
    rest.removeAt(index);
    QList<int> scaled = scale(rest, std::max(available - kept, others * minimum), minimum);
    scaled.insert(index, kept);
    return scaled;
}

int equalWidth(int outerWidth, int columnCount)
{
    if (columnCount <= 0)
        return 0;
    return std::max(0, outerWidth) / columnCount;
}

} // namespace ColumnFit
