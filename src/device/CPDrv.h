#pragma once
// TCommPortDriver: the serial port component of the device link. It opens a port by its device
// name (exclusively), applies the line settings, sends bytes with a time-out and polls the port
// with its own timer on the GUI thread, handing every batch of received bytes to OnReceiveData.
// It never shows anything: every operation reports through its result.
//
// The Windows names "\\.\COM1" .. "\\.\COM16" are kept. "\\.\COMn" resolves to the settings
// value "Ports/COMn" when present (an adapter on COM5 can serve the "\\.\COM1" role), else to
// the system's own device for it: the name itself on Windows, /dev/ttyS<n-1> elsewhere. Any
// other name (a device path such as /dev/ttyUSB0 or /dev/pts/3, "\\.\COM7") is used as it
// stands.
//
// The line always runs as the instrument needs it: 9600 bits per second, 8 data bits, no parity,
// 1 stop bit, RTS raised, DTR low, no flow control.
//
// The talking to the system is a SerialLine (serialline.h), one per platform; this class keeps
// the properties, the polling timer and every rule of opening, sending and delivery.
//
// A device that goes away while open (a USB adapter pulled, the other side of a line hanging up)
// is noticed at once: the port is closed, polling stops and OnConnectionLost is raised, so that
// nothing spins on a dead descriptor.
#include <QObject>
#include <QString>
#include <QTimer>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <vector>

class SerialLine;
struct SerialLineSettings;

// The line's framing and flow control, as SerialLineSettings carries them to the system.
enum TDataBits { db5BITS, db6BITS, db7BITS, db8BITS };
enum TStopBits { sb1BITS, sb1HALFBITS, sb2BITS };
enum TParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum THwFlowControl { hfNONE, hfNONERTSON, hfRTSCTS };
enum TSwFlowControl { sfNONE, sfXONXOFF };

class TCommPortDriver : public QObject
{
    Q_OBJECT
public:
    // Sender, the received bytes (valid only during the call) and their count (at least 1).
    using TReceiveDataEvent =
        std::function<void(TCommPortDriver *sender, const void *DataPtr, quint32 DataSize)>;

    explicit TCommPortDriver(QObject *parent = nullptr);
    // With a line of the caller's (tests give a scripted one); the system's line otherwise.
    explicit TCommPortDriver(std::unique_ptr<SerialLine> line, QObject *parent = nullptr);
    ~TCommPortDriver() override;

    // Properties (the setters' rules: see the .cpp).
    QString PortName() const { return m_portName; }
    void setPortName(const QString &value);
    quint32 InBufSize() const { return m_inBufSize; }
    void setInBufSize(quint32 value);
    quint32 OutBufSize() const { return m_outBufSize; }
    void setOutBufSize(quint32 value);
    quint16 PollingDelay() const { return m_pollingDelay; }
    void setPollingDelay(quint16 value);
    TReceiveDataEvent OnReceiveData;
    // The open device went away; the port is already closed when this is raised.
    std::function<void(TCommPortDriver *sender)> OnConnectionLost;
    // Every byte that goes out (outgoing true) or comes in, for a line trace.
    std::function<void(bool outgoing, const char *data, qint64 size)> OnTraffic;

    bool OpenPort();
    void ClosePort();
    bool IsOpen() const;
    bool ApplyLineSettings();
    bool PurgeBuffers(bool rx, bool tx);
    quint16 OutputFreeSpace();
    // Sends up to size bytes, giving up after timeout ms without progress; returns how many went.
    quint32 WriteBytesTimed(const void *data, quint32 size, quint32 timeout);
    // One byte with the output time-out; true when it went out.
    bool WriteByte(quint8 value);
    // Milliseconds without sending progress after which a send gives up.
    static constexpr quint16 OutputTimeout = 500;

    // The device the name stands for on this system (see above).
    static QString resolvePortName(const QString &name);
    // The device "\\.\COM<com>" stands for when the settings assign none.
    static QString defaultDevice(int com);
    // The size of the chunk buffer, which follows InBufSize.
    int chunkBufferSize() const { return int(m_chunk.size()); }
    // One polling tick, as the timer runs it (tests call it to deliver without waiting).
    void poll();
    // Why the last OpenPort failed, in the system's words (empty after a successful open).
    QString openErrorText() const { return m_openError; }

private:
    SerialLineSettings lineSettings() const;
    void checkLine();
    void deliver();

    std::unique_ptr<SerialLine> m_line;
    QString m_openError;
    bool m_lineCheckQueued = false;
    QTimer m_pollTimer;
    std::vector<char> m_chunk;

    QString m_portName;
    quint32 m_inBufSize = 2048;
    quint32 m_outBufSize = 2048;
    quint16 m_pollingDelay = 50;
};
