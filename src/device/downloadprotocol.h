#pragma once
// The exchange with the instrument that fills the memory image and the device information: the
// two commands, the search over the ports, the received-data handler (identification check,
// progress, memory header, end marker and decoding) and Cancel.
//
// The class is headless and owns no timers: the download dialog and the command-line download
// implement DownloadHost (port, timers, texts, progress, messages, result) and forward their
// timer ticks, port batches and the Cancel button. Tests drive it with a hand-advanced clock.
#include "base/messages.h"
#include "data/memoryimage.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>
#include <cstdlib>
#include <memory>
#include <new>

// The download state: the receive buffer with its counters and flags.
struct DownloadSession
{
    static constexpr int BufferSize = 262144;
    using Buffer = std::array<quint8, BufferSize>;
    struct FreeBuffer
    {
        void operator()(Buffer *buffer) const { std::free(buffer); }
    };
    // The buffer starts zeroed. calloc gives a buffer this large as fresh zero pages, where
    // value-initialising it wrote every byte (a quarter of each short download under the fuzzer).
    static std::unique_ptr<Buffer, FreeBuffer> zeroedBuffer()
    {
        auto *buffer = static_cast<Buffer *>(std::calloc(1, sizeof(Buffer)));
        if (!buffer)
            throw std::bad_alloc();
        return std::unique_ptr<Buffer, FreeBuffer>(buffer);
    }

    std::unique_ptr<Buffer, FreeBuffer> receiveBuffer = zeroedBuffer();
    quint32 receivedCount = 0; // characters received since the last command was sent
    bool endSeen = false;      // an end marker "P" has been received
    quint8 lastCommand = 'V';  // the last command sent
    qint32 expectedLength = 0; // record characters expected: count * recordSize * 2
    qint32 dataStart = 0;      // position of the first record character (the "S" + 5)
    bool progressActive = false;
    qint32 recordSize = 0; // bytes per record for the progress estimate (14)
};

// The fields of the dialog that the download writes.
enum class DownloadText {
    Caption,     // the dialog's caption
    Status,      // the status line
    DeviceType,  // the device type reported by the identification
    Firmware,    // the firmware version reported by the identification
    RecordCount, // the record count of the memory reply
};

// The two timers of a download: the no-reply time-out of the port search, and the delay
// between an accepted identification and the memory command.
enum class DownloadTimer { Search, MemoryDelay };

class DownloadHost
{
public:
    virtual ~DownloadHost() = default;

    // The serial port (TCommPortDriver): its device name, open, close and one byte out.
    virtual void setPortName(const QString &name) = 0;
    virtual bool openPort() = 0;
    virtual void closePort() = 0;
    virtual bool writeByte(quint8 value) = 0;

    // A timer whose state changed: it runs (ticking every interval ms, counted from now) while
    // enabled with an interval above 0 and is idle otherwise. Called only on a change.
    virtual void timerChanged(DownloadTimer timer, bool enabled, int interval) = 0;

    virtual void setText(DownloadText field, const QString &text) = 0;
    virtual void setProgress(int position) = 0; // values outside 0..100 show at the bar's ends
    // A modal message; returns when the operator has closed it.
    virtual void showMessage(const QString &text, const QString &caption, MessageIcon icon) = 0;
    // The same with an informative text below the message (the cause, one line a port).
    virtual void showDetailedMessage(const QString &text, const QString &informative, const QString &caption,
                                     MessageIcon icon)
    {
        Q_UNUSED(informative);
        showMessage(text, caption, icon);
    }
    // What became of each port searched since the download began, one line a port ("\\.\COM1
    // (/dev/ttyUSB0): нет такого устройства"); empty when the host cannot tell.
    virtual QString searchReport() { return QString(); }
    // The port that has just gone away, for the connection-lost message; empty when unknown.
    virtual QString lostPortReport() { return QString(); }
    // The download advanced: an identification was accepted or characters of the memory reply
    // arrived. A "Z" is no progress.
    virtual void progressMade() {}
    // The dialog's modal result: 1 success, 2 not found, wrong instrument, cancelled or failed.
    virtual void finish(int result) = 0;
};

class DownloadProtocol
{
public:
    static constexpr int SearchInterval = 3000;
    static constexpr int MemoryDelayInterval = 1000;

    // The program-wide image and device information by default.
    explicit DownloadProtocol(DownloadHost &host);
    DownloadProtocol(DownloadHost &host, MemoryImage &image, DeviceInfo &device);

    // The ports searched in order; "\\.\COM1" then "\\.\COM2" unless set otherwise (qpx-cli
    // download --port searches one port).
    void setSearchPorts(const QStringList &ports);
    QStringList searchPorts() const { return m_ports; }
    static QString com1();
    static QString com2();

    // What the dialog and the command line drive: the download starts when the dialog is shown,
    // ends when it closes, and Cancel ends it with result 2. searchTimedOut() is the tick of the
    // search timer (no reply on this port: next port or not found); requestMemory() the tick of
    // the memory delay (send "N").
    void start();
    void close();
    void cancel();
    void searchTimedOut();
    void requestMemory();
    // One batch of received bytes (at least one). A format error in the stream raises
    // RangeError ("Range check error"); the rest of the batch is skipped and the download is
    // over: the port is closed, the timers stopped, and failedByError() is true so that the
    // caller ends the dialog with result 2 after reporting the error.
    void receive(const quint8 *data, quint32 size);
    // The port's device went away while open: the operator is told, and the download ends as
    // Cancel ends it (result 2, nothing imported).
    void connectionLost();
    static QString connectionLostText();

    // True once a format error has ended the download (until the next start).
    bool failedByError() const { return m_failedByError; }
    // After the format error has been reported: the result 2.
    void endAfterFormatError();
    // True from start() until a result is set.
    bool running() const { return m_running; }
    int result() const { return m_result; }

    const DownloadSession &session() const { return m_session; }
    QString portName() const { return m_portName; }
    bool timerEnabled(DownloadTimer t) const { return timer(t).enabled; }
    int timerInterval(DownloadTimer t) const { return timer(t).interval; }
    bool timerRunning(DownloadTimer t) const { return timer(t).enabled && timer(t).interval > 0; }

    // The pieces of the handler, on the receive buffer.
    // Position of the first byte equal to value in receiveBuffer[0, limit); BufferSize if none.
    int findMarker(quint8 value, int limit = DownloadSession::BufferSize) const;
    int decodePair(qint64 pos) const;
    int decodeWord(qint64 pos) const;
    QString firmwareVersionText(qint64 base) const;

    // The ten capacity texts of the models 1 to 10.
    static const std::array<QString, 10> &capacityTexts();
    // "Лкт-<capacity> ДН7.01"; model indexes outside 1..10 (0 and 11 pass the instrument check)
    // show "Лкт-? ДН7.01" with the index in brackets.
    static QString deviceTypeText(int modelIndex);
    static QString firmwareText(int a, int b, int c);

private:
    struct TimerState
    {
        bool enabled = false;
        int interval = 0;
    };
    const TimerState &timer(DownloadTimer t) const
    {
        return t == DownloadTimer::Search ? m_searchTimer : m_memoryDelayTimer;
    }
    void setTimer(DownloadTimer t, bool enabled, int interval);
    void stopTimer(DownloadTimer t) { setTimer(t, false, 0); }
    void startSearchTimer() { setTimer(DownloadTimer::Search, true, SearchInterval); }
    void resetDownload();
    void sendCommand(quint8 command);
    void setPortName(const QString &name);
    void end(int result);
    void handleBatch(const quint8 *data, quint32 size);
    bool evaluateIdentification();
    void readHeader();
    void buildImage();

    DownloadHost &m_host;
    MemoryImage &m_image;
    DeviceInfo &m_device;
    DownloadSession m_session;
    QStringList m_ports;
    QString m_portName;
    TimerState m_searchTimer{true, 0};
    TimerState m_memoryDelayTimer{false, MemoryDelayInterval};
    bool m_running = false;
    bool m_inMessage = false;
    bool m_failedByError = false;
    int m_result = 0;
};
