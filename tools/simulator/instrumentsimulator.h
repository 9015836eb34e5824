#pragma once
// The instrument's side of the serial exchange, for demos and tests: it answers "V" with the
// identification and "N" with the memory reply, both in the pair encoding, and can play an
// instrument that is not ready ("Z"), the wrong instrument, or none at all.
#include <QByteArray>
#include <QtGlobal>

struct InstrumentOptions
{
    int model = 1;    // model index 1..10 (sent as one character "0" + index)
    int typeCode = 3; // 3 for the right instrument
    // Version bytes A, B, C; the program shows them as C.B.A ("03.12.05" for 5, 12, 3).
    int firmwareA = 5;
    int firmwareB = 12;
    int firmwareC = 3;
    QByteArray image;    // the memory image sent for "N" (record count, then 12-byte records)
    QByteArray rawReply; // when set, sent unchanged for "N" instead of the encoded image
    int zCount = 0;      // the first zCount commands are answered with "Z"
    bool silent = false; // never answers
};

class InstrumentSimulator
{
public:
    explicit InstrumentSimulator(InstrumentOptions options = {});

    const InstrumentOptions &options() const { return m_options; }
    // The answer to one byte received from the program (empty for none).
    QByteArray answer(quint8 command);
    // The answers to every byte of a chunk received from the program, in order.
    QByteArray receive(const QByteArray &fromProgram);
    int commandsSeen() const { return m_commands; }

    // One byte as its two characters, low nibble first: 0xA5 is "5:".
    static QByteArray encodePair(quint8 value);
    static QByteArray encodeBytes(const QByteArray &bytes);
    static QByteArray identificationReply(int model, int typeCode, int a, int b, int c);
    // "S", the image in pairs, "P". Images longer than 65535 bytes are cut to the records the
    // count announces.
    static QByteArray memoryReply(const QByteArray &image);

    // A deterministic, realistic memory of `records` readings (at most 5461) for the model:
    // operative weighings and observation series of a drying sample, several working days,
    // times ascending. The raw masses follow the model's scaling (1/100 g, 1/10 g or 1 g).
    static QByteArray generateImage(int records, int model);
    // The firmware text "A.B.C" as the program shows it ("03.12.05") into bytes A, B, C.
    static bool parseFirmware(const QString &text, int *a, int *b, int *c);

private:
    InstrumentOptions m_options;
    int m_commands = 0;
};
