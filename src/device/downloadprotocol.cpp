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

const std::array<QString, 10> &DownloadProtocol::capacityTexts()
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
        return QStringLiteral("Лкт-") + capacityTexts()[size_t(modelIndex - 1)] + QStringLiteral(" ДН7.01");
    return QStringLiteral("Лкт-? ДН7.01 (модель %1)").arg(modelIndex);
}

QString DownloadProtocol::firmwareText(int a, int b, int c)
{
    return twoDigits(c) + QLatin1Char('.') + twoDigits(b) + QLatin1Char('.') + twoDigits(a);
}

// ---- timers, port and result -------------------------------------------------------------

void DownloadProtocol::setTimer(DownloadTimer t, bool enabled, int interval)
{
    TimerState &state = t == DownloadTimer::Search ? m_searchTimer : m_memoryDelayTimer;
    if (state.enabled == enabled && state.interval == interval)
        return;
    state.enabled = enabled;
    state.interval = interval;
    m_host.timerChanged(t, enabled, interval);
}

void DownloadProtocol::resetDownload()
{
    m_session.endSeen = false;
    m_session.receivedCount = 0;
    m_host.setProgress(0);
}

void DownloadProtocol::sendCommand(quint8 command)
{
    m_session.lastCommand = command;
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

void DownloadProtocol::start()
{
    m_running = true;
    m_inMessage = false;
    m_failedByError = false;
    m_result = 0;
    setTimer(DownloadTimer::MemoryDelay, false, MemoryDelayInterval);
    setPortName(m_ports.first());
    resetDownload();
    m_host.setText(DownloadText::RecordCount, QString());
    m_host.setText(DownloadText::DeviceType, QString());
    m_host.setText(DownloadText::Firmware, QString());
    m_host.setText(DownloadText::Status, statusWaiting);
    m_host.setText(DownloadText::Caption, QStringLiteral("Прием данных"));
    m_host.openPort();
    sendCommand(commandIdentify);
    startSearchTimer();
}

void DownloadProtocol::searchTimedOut()
{
    // While the wrong-instrument message is up the download is already decided.
    if (!m_running || m_inMessage)
        return;
    stopTimer(DownloadTimer::Search);
    const qsizetype current = m_ports.indexOf(m_portName);
    if (current >= 0 && current + 1 < m_ports.size()) {
        m_host.closePort();
        setPortName(m_ports.at(current + 1));
        m_host.openPort();
        resetDownload();
        sendCommand(commandIdentify);
        startSearchTimer();
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

void DownloadProtocol::connectionLost()
{
    if (!m_running || m_inMessage)
        return;
    // Nothing runs behind the message: the download is over.
    stopTimer(DownloadTimer::Search);
    setTimer(DownloadTimer::MemoryDelay, false, 0);
    resetDownload();
    m_host.closePort();
    m_inMessage = true;
    m_host.showDetailedMessage(lostText, m_host.lostPortReport(), QStringLiteral("Ошибка"),
                               MessageIcon::Error);
    m_inMessage = false;
    end(2);
}

void DownloadProtocol::requestMemory()
{
    if (!m_running || m_inMessage)
        return;
    stopTimer(DownloadTimer::MemoryDelay);
    sendCommand(commandMemory);
    m_session.receivedCount = 0;
}

void DownloadProtocol::endAfterFormatError()
{
    if (m_failedByError && m_result == 0)
        end(2);
}

void DownloadProtocol::cancel()
{
    resetDownload();
    m_host.closePort();
    end(2);
}

void DownloadProtocol::close()
{
    setTimer(DownloadTimer::MemoryDelay, false, m_memoryDelayTimer.interval);
    stopTimer(DownloadTimer::Search);
    // However the dialog was closed, the port does not stay open behind it.
    m_host.closePort();
    m_running = false;
}

// ---- the received-data handler -----------------------------------------------------------

void DownloadProtocol::receive(const quint8 *data, quint32 size)
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
        stopTimer(DownloadTimer::Search);
        setTimer(DownloadTimer::MemoryDelay, false, 0);
        m_host.closePort();
        throw;
    }
}

void DownloadProtocol::handleBatch(const quint8 *data, quint32 size)
{
    DownloadSession &s = m_session;
    const quint64 from = s.receivedCount;
    // A reply longer than the buffer is a format error; nothing is written past its end.
    if (from + size > quint64(DownloadSession::BufferSize))
        throw RangeError();
    std::memcpy(s.receiveBuffer->data() + from, data, size);

    for (quint64 i = from; i < from + size; ++i) {
        switch ((*s.receiveBuffer)[size_t(i)]) {
        case markerEnd:
            s.endSeen = true;
            break;
        case markerCount:
            stopTimer(DownloadTimer::Search);
            break;
        case markerRepeat:
            // The instrument was not ready: ask again and forget what came since the command.
            stopTimer(DownloadTimer::Search);
            s.receivedCount = 0;
            sendCommand(commandIdentify);
            return;
        default:
            break;
        }
    }
    s.receivedCount += size;
    if (s.lastCommand == commandMemory)
        m_host.progressMade();

    if (s.lastCommand == commandIdentify && s.receivedCount >= 10) {
        if (!evaluateIdentification())
            return;
    }
    if (s.progressActive) {
        if (s.expectedLength != 0)
            m_host.setProgress(int((qint64(s.receivedCount) - s.dataStart) * 100 / s.expectedLength));
        else
            m_host.setProgress(100);
    }
    if (!s.progressActive && s.lastCommand == commandMemory && s.receivedCount >= 3)
        readHeader();
    if (s.endSeen)
        buildImage();
}

bool DownloadProtocol::evaluateIdentification()
{
    DownloadSession &s = m_session;
    const quint8 typeChar = (*s.receiveBuffer)[3];
    const quint8 modelChar = (*s.receiveBuffer)[0];
    if (typeChar < '0')
        throw RangeError();
    m_device.TypeCode = typeChar - '0';
    if (modelChar < '0')
        throw RangeError();
    m_device.ModelIndex = modelChar - '0';
    m_device.FirmwareVersion = firmwareVersionText(4);

    if (m_device.TypeCode != 3 || m_device.ModelIndex > 11) {
        // No search time-out runs behind the message: the instrument has answered.
        stopTimer(DownloadTimer::Search);
        m_inMessage = true;
        m_host.showMessage(wrongInstrumentText, QStringLiteral("Error"), MessageIcon::Error);
        m_inMessage = false;
        m_host.closePort();
        s.endSeen = false;
        end(2);
        return false;
    }
    stopTimer(DownloadTimer::Search);
    m_host.setText(DownloadText::DeviceType, deviceTypeText(m_device.ModelIndex));
    m_host.setText(DownloadText::Firmware, m_device.FirmwareVersion);
    s.endSeen = false;
    s.progressActive = false;
    m_host.setText(DownloadText::Status, statusReceiving);
    s.recordSize = progressRecordSize;
    setTimer(DownloadTimer::MemoryDelay, true, m_memoryDelayTimer.interval);
    m_host.progressMade();
    return true;
}

void DownloadProtocol::readHeader()
{
    DownloadSession &s = m_session;
    const int received = int(s.receivedCount);
    const int at = findMarker(markerCount, received);
    // The header is read once the "S" and its four count characters are all in.
    if (at >= received || at + 5 > received)
        return;
    const int count = decodeWord(at + 1);
    s.expectedLength = count * s.recordSize * 2;
    s.dataStart = at + 5;
    s.progressActive = true;
    m_host.setText(DownloadText::RecordCount, QString::number(count));
}

void DownloadProtocol::buildImage()
{
    DownloadSession &s = m_session;
    s.endSeen = false;
    m_host.closePort();

    const int received = int(s.receivedCount);
    const qint64 endAt = findMarker(markerEnd, received);
    const qint64 countAt = findMarker(markerCount, received);
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
        bytes[size_t(k)] = quint8(decodePair(first + 2 * k));
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

int DownloadProtocol::findMarker(quint8 value, int limit) const
{
    const int n = std::clamp(limit, 0, int(DownloadSession::BufferSize));
    const auto *begin = m_session.receiveBuffer->data();
    const auto *found = static_cast<const quint8 *>(std::memchr(begin, value, size_t(n)));
    return found ? int(found - begin) : DownloadSession::BufferSize;
}

int DownloadProtocol::decodePair(qint64 pos) const
{
    if (pos < 0 || pos + 1 >= DownloadSession::BufferSize)
        throw RangeError();
    const auto &b = *m_session.receiveBuffer;
    const int value = 16 * (int(b[size_t(pos + 1)]) - 0x30) + (int(b[size_t(pos)]) - 0x30);
    if (value < 0 || value > 255)
        throw RangeError();
    return value;
}

int DownloadProtocol::decodeWord(qint64 pos) const
{
    if (pos < 0 || pos + 3 >= DownloadSession::BufferSize)
        throw RangeError();
    const auto &b = *m_session.receiveBuffer;
    auto raw = [&](qint64 p) { return 16 * (int(b[size_t(p + 1)]) - 0x30) + (int(b[size_t(p)]) - 0x30); };
    const int value = raw(pos) + 256 * raw(pos + 2);
    if (value < 0 || value > 65535)
        throw RangeError();
    return value;
}

QString DownloadProtocol::firmwareVersionText(qint64 base) const
{
    const int c = decodePair(base + 4);
    const int b = decodePair(base + 2);
    const int a = decodePair(base);
    return firmwareText(a, b, c);
}
