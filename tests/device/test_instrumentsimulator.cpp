// The simulated instrument: its generated memory and its answers.
#include "simulator/instrumentsimulator.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace {

QDateTime recordTime(const QByteArray &image, int k)
{
    const auto b = [&](int offset) { return int(quint8(image[2 + 12 * k + offset])); };
    return QDateTime(QDate(2000 + b(11), b(10), b(9)), QTime(b(8), b(7), b(6)), Qt::UTC);
}

} // namespace

TEST(InstrumentSimulator, GeneratedMemoryIsRealisticAndRepeatable)
{
    const QByteArray image = InstrumentSimulator::generateImage(400, 2);
    EXPECT_EQ(image, InstrumentSimulator::generateImage(400, 2));
    ASSERT_EQ(image.size(), 2 + 400 * 12);
    EXPECT_EQ(quint8(image[0]) | (quint8(image[1]) << 8), 400);
    int operative = 0;
    int series = 0;
    for (int k = 0; k < 400; ++k) {
        const QDateTime when = recordTime(image, k);
        ASSERT_TRUE(when.isValid()) << k;
        if (k > 0) {
            EXPECT_LT(recordTime(image, k - 1), when) << k;
        }
        const quint8 *r = reinterpret_cast<const quint8 *>(image.constData()) + 2 + 12 * k;
        const quint32 raw = r[0] | (r[1] << 8) | (r[2] << 16) | (quint32(r[3]) << 24);
        EXPECT_LT(raw, 1000u * 100u) << k; // below the capacity of 1000 g, in 1/100 g
        EXPECT_LE(r[4], 1);
        (r[5] == 0 ? operative : series)++;
    }
    EXPECT_GT(operative, 50);
    EXPECT_GT(series, 50);

    EXPECT_EQ(InstrumentSimulator::generateImage(0, 1), QByteArray(2, '\0'));
    EXPECT_EQ(InstrumentSimulator::generateImage(9999, 1).size(), 2 + 5461 * 12);
}

TEST(InstrumentSimulator, Answers)
{
    InstrumentOptions options;
    options.zCount = 1;
    options.model = 8;
    options.image = InstrumentSimulator::generateImage(2, 8);
    InstrumentSimulator sim(options);
    EXPECT_EQ(sim.answer('V'), QByteArrayLiteral("Z"));
    EXPECT_EQ(sim.answer('V'), QByteArrayLiteral("800350<030"));
    EXPECT_EQ(sim.answer('x'), QByteArray());
    const QByteArray memory = sim.answer('N');
    EXPECT_EQ(memory.front(), 'S');
    EXPECT_EQ(memory.back(), 'P');
    EXPECT_EQ(memory.mid(1, memory.size() - 2), InstrumentSimulator::encodeBytes(options.image));

    InstrumentOptions quiet;
    quiet.silent = true;
    EXPECT_TRUE(InstrumentSimulator(quiet).receive(QByteArrayLiteral("VNV")).isEmpty());

    // An image file of the full 65536 bytes goes out as far as its count reaches.
    QByteArray full(65536, '\x11');
    full[0] = 3;
    full[1] = 0;
    EXPECT_EQ(InstrumentSimulator::memoryReply(full).size(), 2 + 2 * (2 + 36));
}

TEST(InstrumentSimulator, FirmwareAsShown)
{
    int a = 0, b = 0, c = 0;
    ASSERT_TRUE(InstrumentSimulator::parseFirmware(QStringLiteral("03.12.05"), &a, &b, &c));
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, 12);
    EXPECT_EQ(c, 3);
    EXPECT_FALSE(InstrumentSimulator::parseFirmware(QStringLiteral("3.12"), &a, &b, &c));
    EXPECT_FALSE(InstrumentSimulator::parseFirmware(QStringLiteral("3.12.256"), &a, &b, &c));
}
