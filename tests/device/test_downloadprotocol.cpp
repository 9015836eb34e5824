// The download protocol on a hand-advanced clock: decoding, identification, memory reply,
// markers, format errors and the search over the two ports.
#include "protocolharness.h"

#include <gtest/gtest.h>

namespace {

const QString notFound =
    QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!");
const QString wrongInstrument = QStringLiteral("Вы подключили не тот прибор !");

// "1", two unused characters, "3", then version bytes 5, 12, 3.
const QByteArray goodIdentification = QByteArrayLiteral("1xx350<030");

QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out += char(v);
    return out;
}

// A harness with the dialog shown and an identification accepted, "N" sent.
void identifyAndAskMemory(ProtocolHarness &h)
{
    h.protocol.start();
    h.deliver(goodIdentification);
    ASSERT_TRUE(h.timerRunning(DownloadTimer::MemoryDelay));
    h.advance(1000);
    ASSERT_EQ(h.commands(), QByteArrayLiteral("VN"));
}

QByteArray memoryReplyOf(const QByteArray &image)
{
    return InstrumentSimulator::memoryReply(image);
}

} // namespace

TEST(DownloadDecoding, PairsWordsAndFirmware)
{
    ProtocolHarness h;
    h.protocol.start();
    h.deliver(QByteArrayLiteral("?00?0AA0055:"));
    EXPECT_EQ(h.protocol.decodePair(0), 15);
    EXPECT_EQ(h.protocol.decodePair(2), 240);
    EXPECT_THROW(h.protocol.decodePair(4), RangeError); // "0A" is 16 * 17
    EXPECT_EQ(h.protocol.decodePair(6), 17);            // "A0"
    EXPECT_EQ(h.protocol.decodePair(8), 0x50);          // "05"
    EXPECT_EQ(h.protocol.decodePair(10), 0xA5);         // "5:"
    EXPECT_THROW(h.protocol.decodePair(-1), RangeError);
    EXPECT_THROW(h.protocol.decodePair(DownloadSession::BufferSize - 1), RangeError);
    EXPECT_THROW(h.protocol.decodeWord(DownloadSession::BufferSize - 3), RangeError);

    for (int v : {0, 1, 9, 10, 15, 16, 0xA5, 255}) {
        const QByteArray pair = InstrumentSimulator::encodePair(quint8(v));
        ProtocolHarness p;
        p.protocol.start();
        p.deliver(pair);
        EXPECT_EQ(p.protocol.decodePair(0), v) << pair.constData();
    }
    EXPECT_EQ(DownloadProtocol::firmwareText(5, 12, 3), QStringLiteral("03.12.05"));
    EXPECT_EQ(DownloadProtocol::firmwareText(123, 0, 10), QStringLiteral("10.00.123"));
}

TEST(DownloadDecoding, WordChecksOnlyTheTotal)
{
    ProtocolHarness h;
    h.protocol.start();
    // Low pair "0A" alone is 272, but with a high byte of 0 the total 272 is in range.
    h.deliver(QByteArrayLiteral("0A00??????0/00"));
    EXPECT_EQ(h.protocol.decodeWord(0), 272);
    EXPECT_EQ(h.protocol.decodeWord(4), 65535);
    EXPECT_THROW(h.protocol.decodeWord(10), RangeError); // "0/" makes the total negative
}

TEST(DownloadDecoding, DeviceTypeTexts)
{
    EXPECT_EQ(DownloadProtocol::deviceTypeText(1), QStringLiteral("Лкт-500 ДН7.01"));
    EXPECT_EQ(DownloadProtocol::deviceTypeText(10), QStringLiteral("Лкт-20000 ДН7.01"));
    EXPECT_TRUE(DownloadProtocol::deviceTypeText(0).startsWith(QStringLiteral("Лкт-?")));
    EXPECT_TRUE(DownloadProtocol::deviceTypeText(11).startsWith(QStringLiteral("Лкт-?")));
}

TEST(DownloadIdentification, AcceptedInOneBatchOrInAnySplit)
{
    for (int cut = 0; cut <= goodIdentification.size(); ++cut) {
        ProtocolHarness h;
        h.protocol.start();
        h.deliverSplit(goodIdentification, {cut});
        SCOPED_TRACE(cut);
        EXPECT_EQ(h.texts[DownloadText::DeviceType], QStringLiteral("Лкт-500 ДН7.01"));
        EXPECT_EQ(h.texts[DownloadText::Firmware], QStringLiteral("03.12.05"));
        EXPECT_EQ(h.texts[DownloadText::Status], QStringLiteral("Идет прием информации ..."));
        EXPECT_EQ(h.device.ModelIndex, 1);
        EXPECT_EQ(h.device.TypeCode, 3);
        EXPECT_FALSE(h.timerRunning(DownloadTimer::Search));
        EXPECT_TRUE(h.timerRunning(DownloadTimer::MemoryDelay));
        EXPECT_TRUE(h.results.isEmpty());
    }
    // Byte by byte: nothing happens before the tenth character.
    ProtocolHarness h;
    h.protocol.start();
    for (int i = 0; i < 9; ++i)
        h.deliver(goodIdentification.mid(i, 1));
    EXPECT_TRUE(h.texts[DownloadText::DeviceType].isEmpty());
    EXPECT_TRUE(h.timerRunning(DownloadTimer::Search));
    h.deliver(goodIdentification.mid(9, 1));
    EXPECT_EQ(h.texts[DownloadText::DeviceType], QStringLiteral("Лкт-500 ДН7.01"));
}

TEST(DownloadIdentification, WrongInstrumentIsRejectedAndKeepsItsValues)
{
    struct Case
    {
        QByteArray reply;
        bool rejected;
    };
    const Case cases[] = {
        {QByteArrayLiteral("1xx450<030"), true},  // type code 4
        {QByteArrayLiteral("<xx350<030"), true},  // model index 12
        {QByteArrayLiteral(";xx350<030"), false}, // model index 11 passes
        {QByteArrayLiteral("0xx350<030"), false}, // model index 0 passes
    };
    for (const Case &c : cases) {
        ProtocolHarness h;
        h.protocol.start();
        h.deliver(c.reply);
        SCOPED_TRACE(c.reply.constData());
        if (c.rejected) {
            ASSERT_EQ(h.messages.size(), 1);
            EXPECT_EQ(h.messages[0].text, wrongInstrument);
            EXPECT_EQ(h.messages[0].caption, QStringLiteral("Error"));
            EXPECT_EQ(h.messages[0].icon, MessageIcon::Error);
            EXPECT_EQ(h.results, QList<int>{2});
            EXPECT_FALSE(h.portOpen);
        } else {
            EXPECT_TRUE(h.messages.isEmpty());
            EXPECT_TRUE(h.timerRunning(DownloadTimer::MemoryDelay));
            EXPECT_TRUE(h.texts[DownloadText::DeviceType].startsWith(QStringLiteral("Лкт-?")));
        }
        EXPECT_EQ(h.device.ModelIndex, c.reply[0] - '0');
        EXPECT_EQ(h.device.TypeCode, c.reply[3] - '0');
        EXPECT_EQ(h.device.FirmwareVersion, QStringLiteral("03.12.05"));
    }
}

TEST(DownloadIdentification, NothingHappensBehindTheWrongInstrumentMessage)
{
    ProtocolHarness h;
    h.protocol.start();
    h.duringMessage = [&] {
        // The operator takes his time; the port keeps delivering and the search timer is due.
        EXPECT_FALSE(h.timerRunning(DownloadTimer::Search));
        h.deliver(QByteArrayLiteral("1xx350<030"));
        h.deliver(QByteArrayLiteral("Z"));
        h.advance(10000);
    };
    h.deliver(QByteArrayLiteral("1xx450<030"));
    EXPECT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.results, QList<int>{2});
    EXPECT_EQ(h.commands(), QByteArrayLiteral("V"));
    EXPECT_FALSE(h.portOpen);
    EXPECT_EQ(h.device.TypeCode, 4);
}

TEST(DownloadIdentification, CharacterBelowZeroIsAFormatError)
{
    for (const QByteArray &reply : {QByteArrayLiteral("1xx/50<030"), QByteArrayLiteral("/xx350<030"),
                                    QByteArrayLiteral("1xx35A<030")}) {
        ProtocolHarness h;
        h.protocol.start();
        h.deliver(reply);
        SCOPED_TRACE(reply.constData());
        EXPECT_EQ(h.errors, QStringList{QStringLiteral("Range check error")});
        EXPECT_EQ(h.results, QList<int>{2});
        EXPECT_FALSE(h.portOpen);
        EXPECT_FALSE(h.timerRunning(DownloadTimer::Search));
        EXPECT_FALSE(h.timerRunning(DownloadTimer::MemoryDelay));
    }
}

TEST(DownloadMarkers, ZAsksAgainAndStopsTheSearch)
{
    ProtocolHarness h;
    h.protocol.start();
    h.deliver(QByteArrayLiteral("12Z45Z78"));
    EXPECT_EQ(h.commands(), QByteArrayLiteral("VV")); // only the first "Z" of the batch acts
    EXPECT_EQ(h.protocol.session().receivedCount, 0u);
    EXPECT_FALSE(h.timerRunning(DownloadTimer::Search));
    h.advance(20000); // no time-out any more: the instrument has answered
    EXPECT_TRUE(h.messages.isEmpty());
    EXPECT_TRUE(h.results.isEmpty());
    h.deliver(goodIdentification);
    EXPECT_EQ(h.texts[DownloadText::Firmware], QStringLiteral("03.12.05"));
}

TEST(DownloadMarkers, SStopsTheSearchTimer)
{
    ProtocolHarness h;
    h.protocol.start();
    h.deliver(QByteArrayLiteral("S"));
    h.advance(10000);
    EXPECT_TRUE(h.results.isEmpty());
    EXPECT_EQ(h.commands(), QByteArrayLiteral("V"));
}

TEST(DownloadMemory, EmptyMemoryInOneBatch)
{
    ProtocolHarness h;
    identifyAndAskMemory(h);
    h.image.bytes.fill(0xEE);
    h.deliver(QByteArrayLiteral("S0000P"));
    EXPECT_EQ(h.protocol.session().expectedLength, 0);
    EXPECT_EQ(h.texts[DownloadText::RecordCount], QStringLiteral("0"));
    EXPECT_EQ(h.results, QList<int>{1});
    EXPECT_FALSE(h.portOpen);
    EXPECT_EQ(h.image.bytes[0], 0);
    EXPECT_EQ(h.image.bytes[1], 0);
    EXPECT_EQ(h.image.bytes[2], 0xEE); // past the decoded bytes the image keeps what it had
}

TEST(DownloadMemory, OneRecordInEverySplit)
{
    const QByteArray record = bytesOf({0x39, 0x30, 0, 0, 0, 7, 7, 5, 9, 7, 11, 5});
    const QByteArray image = bytesOf({1, 0}) + record;
    const QByteArray reply = QByteArrayLiteral("junk") + memoryReplyOf(image) + QByteArrayLiteral("tail");
    ASSERT_EQ(memoryReplyOf(image).size(), 1 + 4 + 24 + 1);
    for (int a = 0; a <= reply.size(); ++a) {
        for (int b = a; b <= reply.size(); b += 3) {
            ProtocolHarness h;
            identifyAndAskMemory(h);
            h.deliverSplit(reply, {a, b});
            SCOPED_TRACE(QStringLiteral("%1 %2").arg(a).arg(b).toStdString());
            ASSERT_EQ(h.results, QList<int>{1});
            EXPECT_EQ(h.texts[DownloadText::RecordCount], QStringLiteral("1"));
            EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(h.image.bytes.data()), image.size()), image);
            EXPECT_TRUE(h.errors.isEmpty());
        }
    }
    // Byte by byte.
    ProtocolHarness h;
    identifyAndAskMemory(h);
    for (char c : reply)
        h.deliver(QByteArray(1, c));
    EXPECT_EQ(h.results, QList<int>{1});
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(h.image.bytes.data()), image.size()), image);
}

TEST(DownloadMemory, ProgressFollowsTheRecords)
{
    ProtocolHarness h;
    identifyAndAskMemory(h);
    const QByteArray image = InstrumentSimulator::generateImage(100, 1);
    const QByteArray reply = memoryReplyOf(image);
    h.deliver(reply.left(5)); // the header
    EXPECT_EQ(h.protocol.session().expectedLength, 2800);
    EXPECT_EQ(h.protocol.session().dataStart, 5);
    EXPECT_EQ(h.texts[DownloadText::RecordCount], QStringLiteral("100"));
    h.progress.clear();
    h.deliver(reply.mid(5, 1400)); // 1405 characters in all
    EXPECT_EQ(h.progress, QList<int>{50});
    h.deliver(reply.mid(1405));
    EXPECT_EQ(h.results, QList<int>{1});
    EXPECT_GE(h.progress.last(), 85);
    EXPECT_LE(h.progress.last(), 86);
}

TEST(DownloadMemory, HeaderWaitsForTheWholeCountField)
{
    ProtocolHarness h;
    identifyAndAskMemory(h);
    h.deliver(QByteArrayLiteral("S1"));
    h.deliver(QByteArrayLiteral("0"));
    EXPECT_FALSE(h.protocol.session().progressActive);
    EXPECT_TRUE(h.errors.isEmpty());
    h.deliver(QByteArrayLiteral("0"));
    EXPECT_FALSE(h.protocol.session().progressActive);
    h.deliver(QByteArrayLiteral("0"));
    EXPECT_TRUE(h.protocol.session().progressActive);
    EXPECT_EQ(h.texts[DownloadText::RecordCount], QStringLiteral("1"));
}

TEST(DownloadMemory, MalformedRepliesFailWithoutTouchingTheImage)
{
    const QByteArray full = memoryReplyOf(InstrumentSimulator::generateImage(3, 1));
    const QByteArray cases[] = {
        QByteArrayLiteral("S000P"),        // odd number of characters
        QByteArrayLiteral("SP"),           // no count field
        QByteArrayLiteral("S00P"),         // count field cut short
        QByteArrayLiteral("P S0000"),      // end before the count
        full.left(full.size() - 25) + 'P', // fewer records than the count says
        QByteArrayLiteral("S0000?@P"),     // a pair above 255
    };
    for (const QByteArray &reply : cases) {
        ProtocolHarness h;
        identifyAndAskMemory(h);
        h.image.bytes.fill(0x5A);
        h.deliver(reply);
        SCOPED_TRACE(reply.left(20).constData());
        EXPECT_EQ(h.errors, QStringList{QStringLiteral("Range check error")});
        EXPECT_EQ(h.results, QList<int>{2});
        EXPECT_FALSE(h.portOpen);
        EXPECT_TRUE(
            std::all_of(h.image.bytes.begin(), h.image.bytes.end(), [](quint8 b) { return b == 0x5A; }));
    }
}

TEST(DownloadMemory, ReplyLongerThanTheBufferFails)
{
    ProtocolHarness h;
    identifyAndAskMemory(h);
    const QByteArray chunk(4096, '0');
    for (int i = 0; i < DownloadSession::BufferSize / 4096; ++i)
        h.deliver(chunk);
    EXPECT_TRUE(h.errors.isEmpty());
    h.deliver(QByteArrayLiteral("0"));
    EXPECT_EQ(h.errors, QStringList{QStringLiteral("Range check error")});
    EXPECT_EQ(h.results, QList<int>{2});
}

TEST(DownloadMemory, LargestImage)
{
    ProtocolHarness h;
    identifyAndAskMemory(h);
    const QByteArray image = InstrumentSimulator::generateImage(5461, 9);
    ASSERT_EQ(image.size(), 2 + 5461 * 12);
    const QByteArray reply = memoryReplyOf(image);
    for (int at = 0; at < reply.size(); at += 4096)
        h.deliver(reply.mid(at, 4096));
    ASSERT_EQ(h.results, QList<int>{1});
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(h.image.bytes.data()), image.size()), image);

    // 65536 bytes do not fit.
    ProtocolHarness over;
    identifyAndAskMemory(over);
    QByteArray big(65536, '\0');
    big[0] = char(0x55);
    big[1] = char(0x15); // 5461 records
    over.deliver('S' + InstrumentSimulator::encodeBytes(big) + 'P');
    EXPECT_EQ(over.errors, QStringList{QStringLiteral("Range check error")});
}

TEST(DownloadMemory, EndMarkerBeforeNBuildsTheImage)
{
    ProtocolHarness h;
    h.protocol.start();
    h.deliver(QByteArrayLiteral("S0000P"));
    EXPECT_EQ(h.results, QList<int>{1});
}

TEST(DownloadSearch, NoInstrumentOnEitherPort)
{
    ProtocolHarness h;
    h.existingPorts = {DownloadProtocol::com1()}; // COM2 does not even open
    h.protocol.start();
    EXPECT_EQ(h.portName, DownloadProtocol::com1());
    EXPECT_EQ(h.texts[DownloadText::Caption], QStringLiteral("Прием данных"));
    EXPECT_EQ(h.texts[DownloadText::Status], QStringLiteral("Ожидание готовности прибора ..."));
    h.advance(2999);
    EXPECT_EQ(h.portName, DownloadProtocol::com1());
    h.advance(1);
    EXPECT_EQ(h.portName, DownloadProtocol::com2());
    EXPECT_FALSE(h.portOpen);
    h.advance(2999);
    EXPECT_TRUE(h.messages.isEmpty());
    h.advance(1);
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.messages[0].text, notFound);
    EXPECT_EQ(h.messages[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(h.results, QList<int>{2});
    EXPECT_EQ(h.portName, DownloadProtocol::com1());
    EXPECT_FALSE(h.portOpen);
    ASSERT_EQ(h.sent.size(), 1); // the "V" on COM2 went nowhere
    EXPECT_EQ(h.sent[0].port, DownloadProtocol::com1());
}

TEST(DownloadSearch, InstrumentOnCom2PacedAtLineSpeed)
{
    ProtocolHarness h;
    InstrumentOptions options;
    options.model = 5;
    options.image = InstrumentSimulator::generateImage(40, 5);
    h.attach(DownloadProtocol::com2(), options, 960);
    h.protocol.start();
    h.advance(3000);
    EXPECT_EQ(h.portName, DownloadProtocol::com2());
    h.runUntilResult(20000);
    ASSERT_EQ(h.results, QList<int>{1});
    EXPECT_EQ(h.texts[DownloadText::DeviceType], QStringLiteral("Лкт-3000 ДН7.01"));
    EXPECT_EQ(h.texts[DownloadText::RecordCount], QStringLiteral("40"));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(h.image.bytes.data()), options.image.size()),
              options.image);
    EXPECT_EQ(h.device.ModelIndex, 5);
    // The bar moved in steps and never went back.
    EXPECT_TRUE(std::is_sorted(h.progress.begin() + h.progress.lastIndexOf(0), h.progress.end()));
}

TEST(DownloadSearch, NotReadyInstrumentAnswersAfterZ)
{
    ProtocolHarness h;
    InstrumentOptions options;
    options.zCount = 3;
    options.image = InstrumentSimulator::generateImage(5, 1);
    h.attach(DownloadProtocol::com1(), options, 960);
    h.protocol.start();
    h.runUntilResult(20000);
    EXPECT_EQ(h.results, QList<int>{1});
    EXPECT_EQ(h.commands(), QByteArrayLiteral("VVVVN"));
}

TEST(DownloadSearch, NIsSentOnceAndCancelBeforeItSendsNothing)
{
    ProtocolHarness h;
    h.protocol.start();
    h.deliver(goodIdentification);
    h.advance(500);
    h.deliver(QByteArrayLiteral("junk")); // re-evaluates, must not restart the delay
    h.advance(499);
    h.protocol.cancel();
    h.protocol.close();
    h.advance(5000);
    EXPECT_EQ(h.commands(), QByteArrayLiteral("V"));
    EXPECT_EQ(h.results, QList<int>{2});
    EXPECT_FALSE(h.portOpen);

    ProtocolHarness g;
    g.protocol.start();
    g.deliver(goodIdentification);
    g.advance(999);
    g.deliver(QByteArrayLiteral("x"));
    g.advance(1);
    EXPECT_EQ(g.commands(), QByteArrayLiteral("VN"));
    g.advance(5000);
    EXPECT_EQ(g.commands(), QByteArrayLiteral("VN"));
}

TEST(DownloadSearch, SecondShowingStartsAfresh)
{
    ProtocolHarness h;
    h.attach(DownloadProtocol::com2(), {}, 0);
    h.protocol.start();
    h.advance(3000);
    h.runUntilResult(3000);
    ASSERT_EQ(h.results, QList<int>{1});
    h.protocol.close();

    h.protocol.start();
    EXPECT_EQ(h.portName, DownloadProtocol::com1());
    EXPECT_TRUE(h.texts[DownloadText::DeviceType].isEmpty());
    EXPECT_TRUE(h.texts[DownloadText::Firmware].isEmpty());
    EXPECT_TRUE(h.texts[DownloadText::RecordCount].isEmpty());
    EXPECT_EQ(h.progress.last(), 0);
    EXPECT_TRUE(h.timerRunning(DownloadTimer::Search));
    EXPECT_FALSE(h.timerRunning(DownloadTimer::MemoryDelay));
}

TEST(DownloadSearch, OnePortOnly)
{
    ProtocolHarness h;
    h.existingPorts = {QStringLiteral("/dev/ttyUSB7")};
    h.protocol.setSearchPorts({QStringLiteral("/dev/ttyUSB7")});
    h.protocol.start();
    h.advance(3000);
    EXPECT_EQ(h.results, QList<int>{2});
    EXPECT_EQ(h.messages.size(), 1);
}

TEST(DownloadSearch, NotFoundCarriesTheCauseBelowTheUnchangedText)
{
    ProtocolHarness h;
    h.report = QStringLiteral("\\\\.\\COM1 (/dev/ttyUSB0): нет такого устройства");
    h.protocol.start();
    h.advance(6000);
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.messages[0].text, notFound);
    EXPECT_EQ(h.informatives, QStringList{h.report});
    EXPECT_EQ(h.results, QList<int>{2});
}

TEST(DownloadLineLost, EndsAsCancelWithItsOwnMessage)
{
    // Lost during the search, after the identification and in the middle of the memory reply:
    // each ends at once with result 2, the port closed, no timer left and the image untouched.
    for (int stage = 0; stage < 3; ++stage) {
        SCOPED_TRACE(stage);
        ProtocolHarness h;
        h.image.bytes.fill(0x5A);
        h.protocol.start();
        if (stage >= 1)
            h.deliver(goodIdentification);
        if (stage >= 2) {
            h.advance(1000);
            h.deliver(memoryReplyOf(InstrumentSimulator::generateImage(3, 1)).left(20));
        }
        bool timersOffDuringMessage = false;
        h.duringMessage = [&] {
            timersOffDuringMessage =
                !h.timerRunning(DownloadTimer::Search) && !h.timerRunning(DownloadTimer::MemoryDelay);
        };
        h.protocol.connectionLost();
        ASSERT_EQ(h.messages.size(), 1);
        EXPECT_EQ(h.messages[0].text, DownloadProtocol::connectionLostText());
        EXPECT_EQ(h.messages[0].caption, QStringLiteral("Ошибка"));
        EXPECT_TRUE(timersOffDuringMessage);
        EXPECT_EQ(h.results, QList<int>{2});
        EXPECT_FALSE(h.portOpen);
        EXPECT_EQ(h.image.bytes[0], 0x5A);
        h.advance(10000);
        EXPECT_EQ(h.results, QList<int>{2});
        EXPECT_EQ(h.commands().count('N'), stage >= 2 ? 1 : 0);
        // A second report of the same loss, or one after the result, changes nothing.
        h.protocol.connectionLost();
        EXPECT_EQ(h.messages.size(), 1);
    }
}

TEST(DownloadProgress, IdentificationAndMemoryCountButZDoesNot)
{
    ProtocolHarness h;
    h.protocol.start();
    for (int i = 0; i < 50; ++i)
        h.deliver(QByteArrayLiteral("Z"));
    EXPECT_EQ(h.progressCount, 0);
    h.deliver(goodIdentification);
    EXPECT_EQ(h.progressCount, 1);
    h.advance(1000);
    const QByteArray reply = memoryReplyOf(bytesOf({1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    const int before = h.progressCount;
    h.deliverSplit(reply, {3, 10});
    EXPECT_EQ(h.progressCount - before, 3);
    EXPECT_EQ(h.results, QList<int>{1});
}
