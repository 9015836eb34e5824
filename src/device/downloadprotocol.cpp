#include "downloadprotocol.h"

#include "base/errors.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const QString statusWaiting = QStringLiteral("Ожидание готовности прибора ...");
const QString statusReceiving = QStringLiteral("Идет прием информации ...");
const QString notFoundText =
    QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!");
const QString wrongInstrumentText = QStringLiteral("Вы подключили не тот прибор !");
const QString lostText = QStringLiteral("Связь с прибором потеряна! Прием данных прерван.");

constexpr quint8 markerCount = 'S';
constexpr quint8 markerRepeat = 'Z';
constexpr quint8 markerEnd = 'P';
constexpr quint8 commandIdentify = 'V';
constexpr quint8 commandMemory = 'N';

// Bytes per record as the progress counts them (the record plus two bytes of the instrument's
// own framing); the bar ends near 85 % when the last record has arrived.
constexpr qint32 progressRecordSize = 14;

QString twoDigits(int value)
{
    return value < 10 ? QLatin1Char('0') + QString::number(value) : QString::number(value);
}

} // namespace

DownloadProtocol::DownloadProtocol(DownloadHost &host) : DownloadProtocol(host, memoryImage(), deviceInfo())
{}

DownloadProtocol::DownloadProtocol(DownloadHost &host, MemoryImage &image, DeviceInfo &device)
    : m_host(host), m_image(image), m_device(device), m_ports{com1(), com2()}, m_portName(com1())
{}

QString DownloadProtocol::com1()
{
    return QStringLiteral("\\\\.\\COM1");
}

QString DownloadProtocol::com2()
{
    return QStringLiteral("\\\\.\\COM2");
}

void DownloadProtocol::setSearchPorts(const QStringList &ports)
{
    m_ports = ports.isEmpty() ? QStringList{com1(), com2()} : ports;
}

const std::array<QString, 10> &DownloadProtocol::CapacityTexts()
{
    static const std::array<QString, 10> texts{
        QStringLiteral("500"),   QStringLiteral("1000"), QStringLiteral("1500"), QStringLiteral("2000"),
        QStringLiteral("3000"),  QStringLiteral("5000"), QStringLiteral("6000"), QStringLiteral("10000"),
        QStringLiteral("15000"), QStringLiteral("20000")};
    return texts;
}

QString DownloadProtocol::deviceTypeText(int modelIndex)
{
    if (modelIndex >= 1 && modelIndex <= 10)
        return QStringLiteral("Лкт-") + CapacityTexts()[size_t(modelIndex - 1)] + QStringLiteral(" ДН7.01");
    return QStringLiteral("Лкт-? ДН7.01 (модель %1)").arg(modelIndex);
}

QString DownloadProtocol::firmwareText(int a, int b, int c)
{
    return twoDigits(c) + QLatin1Char('.') + twoDigits(b) + QLatin1Char('.') + twoDigits(a);
}

// ---- timers, port and result -------------------------------------------------------------

void DownloadProtocol::setTimer(DownloadTimer t, bool enabled, int interval)
{
    TimerState &state = t == DownloadTimer::Timer1 ? m_timer1 : m_timer2;
    if (state.enabled == enabled && state.interval == interval)
        return;
    state.enabled = enabled;
    state.interval = interval;
    m_host.timerChanged(t, enabled, interval);
}

void DownloadProtocol::resetDownload()
{
    m_session.EndSeen = false;
    m_session.ReceivedCount = 0;
    m_host.setProgress(0);
}

void DownloadProtocol::sendCommand(quint8 command)
{
    m_session.LastCommand = command;
    m_host.writeByte(command); // a lost command shows as no answer
}

void DownloadProtocol::setPortName(const QString &name)
{
    m_portName = name;
    m_host.setPortName(name);
}

void DownloadProtocol::end(int result)
{
    m_running = false;
    m_result = result;
    m_host.finish(result);
}

// ---- the dialog's handlers ---------------------------------------------------------------

void DownloadProtocol::FormShow()
{
    m_running = true;
    m_inMessage = false;
    m_failedByError = false;
    m_result = 0;
    setTimer(DownloadTimer::Timer2, false, Timer2Interval);
    setPortName(m_ports.first());
    resetDownload();
    m_host.setText(DownloadText::RecordCount, QString());
    m_host.setText(DownloadText::DeviceType, QString());
    m_host.setText(DownloadText::Firmware, QString());
    m_host.setText(DownloadText::Status, statusWaiting);
    m_host.setText(DownloadText::Caption, QStringLiteral("Прием данных"));
    m_host.openPort();
    sendCommand(commandIdentify);
    startTimer1();
}

void DownloadProtocol::Timer1Timer()
{
    // While the wrong-instrument message is up the download is already decided.
    if (!m_running || m_inMessage)
        return;
    stopTimer(DownloadTimer::Timer1);
    const qsizetype current = m_ports.indexOf(m_portName);
    if (current >= 0 && current + 1 < m_ports.size()) {
        m_host.closePort();
        setPortName(m_ports.at(current + 1));
        m_host.openPort();
        resetDownload();
        sendCommand(commandIdentify);
        startTimer1();
        return;
    }
    m_host.closePort();
    setPortName(m_ports.first());
    resetDownload();
    m_host.showDetailedMessage(notFoundText, m_host.searchReport(), QStringLiteral("Ошибка"),
                               MessageIcon::Error);
    end(2);
}

QString DownloadProtocol::connectionLostText()
{
    return lostText;
}

void DownloadProtocol::ConnectionLost()
{
    if (!m_running || m_inMessage)
        return;
    // Nothing runs behind the message: the download is over.
    stopTimer(DownloadTimer::Timer1);
    setTimer(DownloadTimer::Timer2, false, 0);
    resetDownload();
    m_host.closePort();
    m_inMessage = true;
    m_host.showDetailedMessage(lostText, m_host.lostPortReport(), QStringLiteral("Ошибка"),
                               MessageIcon::Error);
    m_inMessage = false;
    end(2);
}

void DownloadProtocol::Timer2Timer()
{
    if (!m_running || m_inMessage)
        return;
    stopTimer(DownloadTimer::Timer2);
    sendCommand(commandMemory);
    m_session.ReceivedCount = 0;
}

void DownloadProtocol::endAfterFormatError()
{
    if (m_failedByError && m_result == 0)
        end(2);
}

void DownloadProtocol::Button1Click()
{
    resetDownload();
    m_host.closePort();
    end(2);
}

void DownloadProtocol::FormClose()
{
    setTimer(DownloadTimer::Timer2, false, m_timer2.interval);
    stopTimer(DownloadTimer::Timer1);
    // However the dialog was closed, the port does not stay open behind it.
    m_host.closePort();
    m_running = false;
}

// ---- the received-data handler -----------------------------------------------------------

void DownloadProtocol::CommPortDriver1ReceiveData(const quint8 *data, quint32 size)
{
    // Batches delivered while the wrong-instrument message is shown, or after the result, are
    // dropped: the download is decided and the port is about to close.
    if (!m_running || m_inMessage || size == 0)
        return;
    try {
        handleBatch(data, size);
    } catch (const QpxError &) {
        m_failedByError = true;
        m_running = false;
        stopTimer(DownloadTimer::Timer1);
        setTimer(DownloadTimer::Timer2, false, 0);
        m_host.closePort();
        throw;
    }
}

void DownloadProtocol::handleBatch(const quint8 *data, quint32 size)
{
    DownloadSession &s = m_session;
    const quint64 start = s.ReceivedCount;
    // A reply longer than the buffer is a format error; nothing is written past its end.
    if (start + size > quint64(DownloadSession::BufferSize))
        throw RangeError();
    std::memcpy(s.ReceiveBuffer->data() + start, data, size);

    for (quint64 i = start; i < start + size; ++i) {
        switch ((*s.ReceiveBuffer)[size_t(i)]) {
        case markerEnd:
            s.EndSeen = true;
            break;
        case markerCount:
            stopTimer(DownloadTimer::Timer1);
            break;
        case markerRepeat:
            // The instrument was not ready: ask again and forget what came since the command.
            stopTimer(DownloadTimer::Timer1);
            s.ReceivedCount = 0;
            sendCommand(commandIdentify);
            return;
        default:
            break;
        }
    }
    s.ReceivedCount += size;
    if (s.LastCommand == commandMemory)
        m_host.progressMade();

    if (s.LastCommand == commandIdentify && s.ReceivedCount >= 10) {
        if (!evaluateIdentification())
            return;
    }
    if (s.ProgressActive) {
        if (s.ExpectedLength != 0)
            m_host.setProgress(int((qint64(s.ReceivedCount) - s.DataStart) * 100 / s.ExpectedLength));
        else
            m_host.setProgress(100);
    }
    if (!s.ProgressActive && s.LastCommand == commandMemory && s.ReceivedCount >= 3)
        readHeader();
    if (s.EndSeen)
        buildImage();
}

bool DownloadProtocol::evaluateIdentification()
{
    DownloadSession &s = m_session;
    const quint8 typeChar = (*s.ReceiveBuffer)[3];
    const quint8 modelChar = (*s.ReceiveBuffer)[0];
    if (typeChar < '0')
        throw RangeError();
    m_device.TypeCode = typeChar - '0';
    if (modelChar < '0')
        throw RangeError();
    m_device.ModelIndex = modelChar - '0';
    m_device.FirmwareVersion = FirmwareVersionText(4);

    if (m_device.TypeCode != 3 || m_device.ModelIndex > 11) {
        // No search time-out runs behind the message: the instrument has answered.
        stopTimer(DownloadTimer::Timer1);
        m_inMessage = true;
        m_host.showMessage(wrongInstrumentText, QStringLiteral("Error"), MessageIcon::Error);
        m_inMessage = false;
        m_host.closePort();
        s.EndSeen = false;
        end(2);
        return false;
    }
    stopTimer(DownloadTimer::Timer1);
    m_host.setText(DownloadText::DeviceType, deviceTypeText(m_device.ModelIndex));
    m_host.setText(DownloadText::Firmware, m_device.FirmwareVersion);
    s.EndSeen = false;
    s.ProgressActive = false;
    m_host.setText(DownloadText::Status, statusReceiving);
    s.RecordSize = progressRecordSize;
    setTimer(DownloadTimer::Timer2, true, m_timer2.interval);
    m_host.progressMade();
    return true;
}

void DownloadProtocol::readHeader()
{
    DownloadSession &s = m_session;
    const int received = int(s.ReceivedCount);
    const int at = FindMarker(markerCount, received);
    // The header is read once the "S" and its four count characters are all in.
    if (at >= received || at + 5 > received)
        return;
    const int count = DecodeWord(at + 1);
    s.ExpectedLength = count * s.RecordSize * 2;
    s.DataStart = at + 5;
    s.ProgressActive = true;
    m_host.setText(DownloadText::RecordCount, QString::number(count));
}

void DownloadProtocol::buildImage()
{
    DownloadSession &s = m_session;
    s.EndSeen = false;
    m_host.closePort();

    const int received = int(s.ReceivedCount);
    const qint64 endAt = FindMarker(markerEnd, received);
    const qint64 countAt = FindMarker(markerCount, received);
    if (countAt >= received)
        throw RangeError(); // no memory reply at all
    const qint64 first = countAt + 1;
    // Whole pairs from the count field up to the end marker, the count field included.
    if (endAt < first + 4 || (endAt - first) % 2 != 0)
        throw RangeError();
    const qint64 length = (endAt - first) / 2;
    if (length > MemoryImage::Size - 1)
        throw RangeError();

    std::vector<quint8> bytes(size_t(length), 0);
    for (qint64 k = 0; k < length; ++k)
        bytes[size_t(k)] = quint8(DecodePair(first + 2 * k));
    // The records the count announces must all have arrived; otherwise the import would read
    // what an earlier download left in the image.
    const int count = bytes[0] | (bytes[1] << 8);
    if (2 + qint64(count) * MemoryImage::RecordSize > length)
        throw RangeError();

    std::copy(bytes.begin(), bytes.end(), m_image.bytes.begin());
    m_image.length = int(length);
    end(1);
}

// ---- decoding ----------------------------------------------------------------------------

int DownloadProtocol::FindMarker(quint8 value, int limit) const
{
    const int n = std::clamp(limit, 0, int(DownloadSession::BufferSize));
    const auto *begin = m_session.ReceiveBuffer->data();
    const auto *found = static_cast<const quint8 *>(std::memchr(begin, value, size_t(n)));
    return found ? int(found - begin) : DownloadSession::BufferSize;
}

int DownloadProtocol::DecodePair(qint64 pos) const
{
    if (pos < 0 || pos + 1 >= DownloadSession::BufferSize)
        throw RangeError();
    const auto &b = *m_session.ReceiveBuffer;
    const int value = 16 * (int(b[size_t(pos + 1)]) - 0x30) + (int(b[size_t(pos)]) - 0x30);
    if (value < 0 || value > 255)
        throw RangeError();
    return value;
}

int DownloadProtocol::DecodeWord(qint64 pos) const
{
    if (pos < 0 || pos + 3 >= DownloadSession::BufferSize)
        throw RangeError();
    const auto &b = *m_session.ReceiveBuffer;
    auto raw = [&](qint64 p) { return 16 * (int(b[size_t(p + 1)]) - 0x30) + (int(b[size_t(p)]) - 0x30); };
    const int value = raw(pos) + 256 * raw(pos + 2);
    if (value < 0 || value > 65535)
        throw RangeError();
    return value;
}

QString DownloadProtocol::FirmwareVersionText(qint64 base) const
{
    const int c = DecodePair(base + 4);
    const int b = DecodePair(base + 2);
    const int a = DecodePair(base);
    return firmwareText(a, b, c);
}
