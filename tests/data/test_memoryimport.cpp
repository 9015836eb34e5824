// Import of memory images into the measurement table: field decoding, the append search,
// the errors that end an import and what stays on disk after them.
#include "data/memoryimport.h"
#include "dbftesting.h"
#include "support/imagetesting.h"

using namespace Measurement;

namespace {

struct RecordedMessage
{
    QString text;
    QString caption;
    MessageIcon icon;
};

class RecordingSink : public MessageSink
{
public:
    QList<RecordedMessage> messages;
    void showMessage(const QString &text, const QString &caption, MessageIcon icon) override
    {
        messages.append({text, caption, icon});
    }
};

ImageRecord at(int day, int month, int hours, int minutes, int seconds, quint32 mass = 100)
{
    ImageRecord r;
    r.day = quint8(day);
    r.month = quint8(month);
    r.hours = quint8(hours);
    r.minutes = quint8(minutes);
    r.seconds = quint8(seconds);
    r.mass = mass;
    return r;
}

} // namespace

TEST(ImageHelpers, WordsLongsAndTheirChecks)
{
    MemoryImage image;
    image.set(0, 0x34);
    image.set(1, 0x12);
    EXPECT_EQ(imageWord(image, 0), 0x1234);
    image.set(10, 0x78);
    image.set(11, 0x56);
    image.set(12, 0x34);
    image.set(13, 0x7F);
    EXPECT_EQ(imageLong(image, 10), 0x7F345678);
    image.set(13, 0x80);
    EXPECT_THROW(imageLong(image, 10), OverflowError);
    EXPECT_THROW(imageWord(image, 65535), RangeError);
    EXPECT_THROW(imageLong(image, 65533), RangeError);
    EXPECT_THROW(imageTimeText(image, 65534), RangeError);
    EXPECT_THROW(imageDateText(image, -1), RangeError);
}

TEST(ImageHelpers, TimeAndDateTextsWithFallbacks)
{
    MemoryImage image;
    const quint8 bytes[] = {60, 60, 24, 7, 5, 9, 0, 13, 5, 7, 11, 5, 31, 2, 255};
    for (int i = 0; i < int(sizeof bytes); ++i)
        image.set(100 + i, bytes[i]);
    EXPECT_EQ(imageTimeText(image, 100), QStringLiteral("00:00:00"));
    EXPECT_EQ(imageTimeText(image, 103), QStringLiteral("09:05:07"));
    EXPECT_EQ(imageDateText(image, 106), QStringLiteral("01.01.2005"));
    EXPECT_EQ(imageDateText(image, 109), QStringLiteral("07.11.2005"));
    EXPECT_EQ(imageDateText(image, 112), QStringLiteral("31.02.2255")); // no calendar check
}

TEST(ImageHelpers, DateTimeSeconds)
{
    EXPECT_EQ(dateTimeSeconds(QStringLiteral("01.01.0001"), QStringLiteral("00:00:00")), 86400);
    const qint64 a = dateTimeSeconds(QStringLiteral("07.11.2005"), QStringLiteral("10:00:00"));
    EXPECT_EQ(dateTimeSeconds(QStringLiteral("07.11.2005"), QStringLiteral("10:00:01")), a + 1);
    EXPECT_EQ(dateTimeSeconds(QStringLiteral("08.11.2005"), QStringLiteral("10:00:00")), a + 86400);
    EXPECT_LT(dateTimeSeconds(QStringLiteral("31.12.2004"), QStringLiteral("23:59:59")),
              dateTimeSeconds(QStringLiteral("01.01.2005"), QStringLiteral("00:00:00")));
    try {
        dateTimeSeconds(QStringLiteral("31.02.2005"), QStringLiteral("10:00:00"));
        FAIL();
    } catch (const ConvertError &e) {
        EXPECT_EQ(e.text(), QStringLiteral("'31.02.2005 10:00:00' is not a valid date and time"));
    }
    EXPECT_THROW(dateTimeSeconds(QString(), QString()), ConvertError);
    // The fixed field forms are read whatever the regional date order.
    RegionalScope us(Regional(QLatin1Char('.'), Regional::DateOrder::MonthDayYear, QLatin1Char('/')));
    EXPECT_EQ(dateTimeSeconds(QStringLiteral("07.11.2005"), QStringLiteral("10:00:00")), a);
}

// The Append check reads a record's moment from its bytes; it must be the moment of the texts the
// record gets, for every byte the fallbacks and the calendar treat differently.
TEST(ImageHelpers, RecordSecondsAgreeWithTheTexts)
{
    MemoryImage image;
    const int edges[] = {0, 1, 2, 12, 13, 23, 24, 28, 29, 30, 31, 32, 59, 60, 99, 100, 255};
    int compared = 0;
    for (int day : edges)
        for (int month : {0, 1, 2, 4, 12, 13, 255})
            for (int year : {0, 4, 23, 100, 255})
                for (int time : edges) {
                    const quint8 bytes[] = {quint8(time), quint8(255 - time), quint8(time / 3),
                                            quint8(day),  quint8(month),      quint8(year)};
                    for (int i = 0; i < 6; ++i)
                        image.set(2 + 6 + i, bytes[i]);
                    const QString date = imageDateText(image, 2 + 9), clock = imageTimeText(image, 2 + 6);
                    try {
                        const qint64 expected = dateTimeSeconds(date, clock);
                        ASSERT_EQ(imageRecordSeconds(image, 2), expected) << qPrintable(date + u' ' + clock);
                        ++compared;
                    } catch (const ConvertError &e) {
                        try {
                            imageRecordSeconds(image, 2);
                            FAIL() << qPrintable(date);
                        } catch (const ConvertError &again) {
                            EXPECT_EQ(again.text(), e.text());
                        }
                    }
                }
    EXPECT_GT(compared, 8000);
    EXPECT_THROW(imageRecordSeconds(image, MemoryImage::Size - 8), RangeError);
}
class Import : public TableFixture
{
protected:
    MemoryImage image;
    DeviceInfo device;
    RecordingSink sink;
    DbfTable table{Measurement::schema()};

    void SetUp() override
    {
        device.ModelIndex = 2;
        createTable(table);
        table.open();
    }
    void run(bool append) { importImage(table, image, device, append, &sink); }
    QStringList rowText(int recNo) const
    {
        QStringList values;
        for (int f = 0; f < table.fieldCount(); ++f)
            values.append(table.text(recNo, f));
        return values;
    }
};

TEST_F(Import, DecodesEveryField)
{
    ImageRecord a = at(7, 11, 9, 5, 7, 12345);
    ImageRecord b = a;
    b.sign = 1;
    b.series = 7;
    ImageRecord c = at(0, 13, 24, 60, 60, 99);
    c.year = 255;
    c.sign = 2; // anything but 1 is positive
    fillImage(image, {a, b, c});
    run(false);
    ASSERT_EQ(table.physicalRecordCount(), 3);
    EXPECT_EQ(rowText(1), strings({"1", "Оперативный", "", "07.11.2005", "09:05:07", "123,45", "", ""}));
    EXPECT_EQ(rowText(2), strings({"2", "Наблюдение", "", "07.11.2005", "09:05:07", "-123,4", "7", ""}));
    EXPECT_EQ(rowText(3), strings({"3", "Оперативный", "", "01.01.2255", "00:00:00", "0,99", "", ""}));
    EXPECT_TRUE(table.isNull(1, 2));
    EXPECT_TRUE(sink.messages.isEmpty()); // New reports nothing
}

TEST_F(Import, ScalesByModel)
{
    fillImage(image, {at(1, 1, 0, 0, 0, 12345)});
    const QList<std::pair<int, const char *>> cases = {{1, "123,45"}, {3, "123,45"}, {4, "1234,5"},
                                                       {5, "1234,5"}, {7, "1234,5"}, {8, "12345"},
                                                       {9, "12345"},  {10, "12345"}};
    for (const auto &[model, text] : cases) {
        device.ModelIndex = model;
        run(false);
        table.last();
        EXPECT_EQ(table.text(T_1), QString::fromUtf8(text)) << model;
    }
}

TEST_F(Import, FullImage)
{
    fillImage(image, fullImageRecords());
    device.ModelIndex = 9;
    run(false);
    ASSERT_EQ(table.physicalRecordCount(), MemoryImage::MaxRecords);
    table.last();
    EXPECT_EQ(table.integer(N), 5461);
    EXPECT_EQ(table.text(DATE), QStringLiteral("04.01.2005"));
    EXPECT_EQ(table.text(TIME), QStringLiteral("19:00:00"));
    EXPECT_EQ(table.text(T_1), QStringLiteral("-30202")); // -(100000 + 37 * 5460), cut to 6
    EXPECT_EQ(table.text(MODE), Observation);
    table.close();
    EXPECT_EQ(readAll(path()).size(), 289 + 100 * 5461 + 1);
    table.open();
    EXPECT_EQ(table.exactRecordCount(), 5461);
}

TEST_F(Import, AppendSearch)
{
    fillImage(image, {at(7, 11, 9, 0, 0), at(7, 11, 10, 0, 0)});
    run(false);
    fillImage(image, {at(7, 11, 9, 59, 59), at(7, 11, 10, 0, 0), at(7, 11, 10, 0, 1), at(1, 1, 0, 0, 0),
                      at(8, 11, 0, 0, 0)});
    run(true);
    ASSERT_EQ(table.physicalRecordCount(), 5);
    EXPECT_EQ(table.text(3, 0), QStringLiteral("3"));
    EXPECT_EQ(table.text(4, 0), QStringLiteral("4"));
    EXPECT_EQ(table.text(5, 0), QStringLiteral("5"));
    EXPECT_EQ(table.text(3, 4), QStringLiteral("10:00:01"));
    EXPECT_EQ(table.text(4, 3), QStringLiteral("01.01.2005")); // older, but after the first newer one
    ASSERT_EQ(sink.messages.size(), 1);
    EXPECT_EQ(sink.messages[0].text, QStringLiteral("Добавлено записей: 3"));
    EXPECT_EQ(sink.messages[0].caption, QStringLiteral("Дополнение"));
    EXPECT_EQ(sink.messages[0].icon, MessageIcon::Information);

    // Nothing newer: nothing added, 0 reported.
    fillImage(image, {at(8, 11, 0, 0, 0)});
    run(true);
    EXPECT_EQ(table.physicalRecordCount(), 5);
    EXPECT_EQ(sink.messages.back().text, QStringLiteral("Добавлено записей: 0"));
    fillImage(image, {});
    run(true);
    EXPECT_EQ(sink.messages.back().text, QStringLiteral("Добавлено записей: 0"));
    importImage(table, image, device, true, nullptr); // no sink: nothing shown, no crash
}

TEST_F(Import, AppendToEmptyTableNumbersFromOne)
{
    fillImage(image, {at(1, 1, 0, 0, 0), at(2, 1, 0, 0, 0)});
    run(true);
    EXPECT_EQ(table.physicalRecordCount(), 2);
    EXPECT_EQ(table.text(1, 0), QStringLiteral("1"));
    EXPECT_EQ(sink.messages.back().text, QStringLiteral("Добавлено записей: 2"));
}

TEST_F(Import, AppendLooksAtTheLastLiveRowInFileOrder)
{
    fillImage(image, {at(1, 1, 0, 0, 0), at(3, 1, 0, 0, 0)});
    run(false);
    table.addIndex(QStringLiteral("tab1"), DATE, true);
    table.selectIndex(QString()); // the caller resets the sort first
    table.last();
    table.deleteRecord(); // last live row is now 01.01
    fillImage(image, {at(1, 1, 0, 0, 0), at(2, 1, 0, 0, 0)});
    run(true);
    EXPECT_EQ(sink.messages.back().text, QStringLiteral("Добавлено записей: 1"));
}

TEST_F(Import, ErrorsKeepThePostedRows)
{
    // Overflow at the third record.
    ImageRecord big = at(1, 1, 0, 0, 2);
    big.mass = 0x80000000u;
    fillImage(image, {at(1, 1, 0, 0, 0), at(1, 1, 0, 0, 1), big, at(1, 1, 0, 0, 3)});
    EXPECT_THROW(run(false), OverflowError);
    EXPECT_EQ(table.physicalRecordCount(), 2);
    EXPECT_EQ(table.state(), DbfTable::State::Browse);
    table.first(); // a later move posts nothing half-built
    EXPECT_EQ(table.physicalRecordCount(), 2);
    if (heldTableReadable()) {
        EXPECT_EQ(readAll(path()).size(), 289 + 200 + 1);
    }

    // A count beyond what the memory holds is refused before the first row.
    DbfTable second(Measurement::schema());
    createTable(second, QStringLiteral("range.db"));
    second.open();
    fillImage(image, fullImageRecords(), 5462);
    image.length = MemoryImage::Size;
    EXPECT_THROW(importImage(second, image, device, false, &sink), QpxError);
    EXPECT_EQ(second.physicalRecordCount(), 0);
    second.close();
    EXPECT_EQ(readAll(path(QStringLiteral("range.db"))).size(), 290);
}

TEST_F(Import, AppendWithAnInvalidDateAddsNothing)
{
    fillImage(image, {at(1, 1, 0, 0, 0)});
    run(false);
    fillImage(image, {at(31, 2, 0, 0, 0), at(2, 1, 0, 0, 0)});
    EXPECT_THROW(run(true), ConvertError);
    EXPECT_EQ(table.physicalRecordCount(), 1);
    EXPECT_TRUE(sink.messages.isEmpty());
    // New does not look at dates: the same image imports.
    run(false);
    EXPECT_EQ(table.text(2, 3), QStringLiteral("31.02.2005"));
}

TEST_F(Import, ClosedTableIsLeftAlone)
{
    table.close();
    fillImage(image, {at(1, 1, 0, 0, 0)});
    run(true);
    EXPECT_TRUE(sink.messages.isEmpty());
    EXPECT_EQ(readAll(path()).size(), 290);
}
