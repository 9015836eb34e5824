#include "instrumentsimulator.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

constexpr int imageLimit = 65535; // the most bytes one memory reply may carry
constexpr int recordBytes = 12;
constexpr int maxRecords = (65536 - 2) / recordBytes;

// Small deterministic generator, so that every run sends the same memory.
class Lcg
{
public:
    explicit Lcg(quint32 seed) : m_state(seed) {}
    quint32 next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return m_state >> 8;
    }
    // Uniform in [lo, hi].
    int range(int lo, int hi) { return lo + int(next() % quint32(hi - lo + 1)); }
    double unit() { return double(next() % 1000000u) / 1000000.0; }

private:
    quint32 m_state;
};

int capacityGrams(int model)
{
    static const int capacities[] = {500, 1000, 1500, 2000, 3000, 5000, 6000, 10000, 15000, 20000};
    return model >= 1 && model <= 10 ? capacities[model - 1] : 1000;
}

// Raw units per gram: hundredths for the small models, tenths for the middle ones, grams above.
int unitsPerGram(int model)
{
    if (model <= 3)
        return 100;
    if (model <= 7)
        return 10;
    return 1;
}

void putRecord(QByteArray &image, double grams, int series, const QDateTime &when, int model)
{
    const qint64 raw = std::llround(std::fabs(grams) * unitsPerGram(model));
    const quint32 mass = quint32(std::min<qint64>(raw, 0x7FFFFFFF));
    const QDate d = when.date();
    const QTime t = when.time();
    const char record[recordBytes] = {char(mass & 0xFF),
                                      char((mass >> 8) & 0xFF),
                                      char((mass >> 16) & 0xFF),
                                      char((mass >> 24) & 0xFF),
                                      char(grams < 0 ? 1 : 0),
                                      char(series),
                                      char(t.second()),
                                      char(t.minute()),
                                      char(t.hour()),
                                      char(d.day()),
                                      char(d.month()),
                                      char(d.year() - 2000)};
    image.append(record, recordBytes);
}

} // namespace

InstrumentSimulator::InstrumentSimulator(InstrumentOptions options) : m_options(std::move(options)) {}

QByteArray InstrumentSimulator::answer(quint8 command)
{
    if (m_options.silent)
        return {};
    if (command != 'V' && command != 'N')
        return {};
    ++m_commands;
    if (m_commands <= m_options.zCount)
        return QByteArrayLiteral("Z");
    if (command == 'V')
        return identificationReply(m_options.model, m_options.typeCode, m_options.firmwareA,
                                   m_options.firmwareB, m_options.firmwareC);
    if (!m_options.rawReply.isEmpty())
        return m_options.rawReply;
    return memoryReply(m_options.image);
}

QByteArray InstrumentSimulator::receive(const QByteArray &fromProgram)
{
    QByteArray out;
    for (char c : fromProgram)
        out += answer(quint8(c));
    return out;
}

QByteArray InstrumentSimulator::encodePair(quint8 value)
{
    QByteArray pair(2, '0');
    pair[0] = char(0x30 + (value & 0x0F));
    pair[1] = char(0x30 + (value >> 4));
    return pair;
}

QByteArray InstrumentSimulator::encodeBytes(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size() * 2);
    for (char b : bytes)
        out += encodePair(quint8(b));
    return out;
}

QByteArray InstrumentSimulator::identificationReply(int model, int typeCode, int a, int b, int c)
{
    QByteArray reply;
    reply += char(0x30 + model);
    reply += "00"; // not used by the program
    reply += char(0x30 + typeCode);
    reply += encodePair(quint8(a));
    reply += encodePair(quint8(b));
    reply += encodePair(quint8(c));
    return reply;
}

QByteArray InstrumentSimulator::memoryReply(const QByteArray &image)
{
    QByteArray bytes = image;
    if (bytes.size() < 2)
        bytes = QByteArray(2, '\0');
    if (bytes.size() > imageLimit) {
        const int count = quint8(bytes[0]) | (quint8(bytes[1]) << 8);
        bytes.truncate(std::min(imageLimit, 2 + count * recordBytes));
    }
    return 'S' + encodeBytes(bytes) + 'P';
}

QByteArray InstrumentSimulator::generateImage(int records, int model)
{
    const int count = std::clamp(records, 0, maxRecords);
    QByteArray image;
    image.reserve(2 + count * recordBytes);
    image.append(char(count & 0xFF));
    image.append(char(count >> 8));

    Lcg rng(20260302u);
    const double capacity = capacityGrams(model);
    QDateTime when(QDate(2026, 3, 2), QTime(8, 15, 0), Qt::UTC);
    auto advance = [&](int seconds) {
        when = when.addSecs(seconds);
        if (when.time().hour() >= 18) // next working day
            when = QDateTime(when.date().addDays(1), QTime(8, rng.range(0, 40), rng.range(0, 59)), Qt::UTC);
    };

    int series = 0;
    int written = 0;
    while (written < count) {
        // A few operative weighings.
        const int operative = rng.range(3, 9);
        for (int i = 0; i < operative && written < count; ++i, ++written) {
            double grams = capacity * (0.05 + 0.65 * rng.unit());
            if (rng.range(0, 39) == 0)
                grams = -(0.01 + 0.5 * rng.unit()); // the empty pan after a tare
            putRecord(image, grams, 0, when, model);
            advance(rng.range(20, 180));
        }
        // Then an observation series: a sample losing moisture towards a settled mass.
        if (written < count) {
            series = series % 255 + 1;
            const int readings = rng.range(6, 15);
            const double start = capacity * (0.2 + 0.3 * rng.unit());
            const double loss = 0.05 + 0.15 * rng.unit();
            for (int i = 0; i < readings && written < count; ++i, ++written) {
                const double grams = start * (1.0 - loss * (1.0 - std::exp(-i / 4.0)));
                putRecord(image, grams, series, when, model);
                advance(rng.range(300, 600));
            }
        }
        advance(rng.range(600, 3600));
    }
    return image;
}

bool InstrumentSimulator::parseFirmware(const QString &text, int *a, int *b, int *c)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 3)
        return false;
    int values[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        values[i] = parts[i].toInt(&ok);
        if (!ok || values[i] < 0 || values[i] > 255)
            return false;
    }
    *c = values[0];
    *b = values[1];
    *a = values[2];
    return true;
}
