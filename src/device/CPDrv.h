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

enum TPortNumber {
    pnCustom,
    pnCOM1,
    pnCOM2,
    pnCOM3,
    pnCOM4,
    pnCOM5,
    pnCOM6,
    pnCOM7,
    pnCOM8,
    pnCOM9,
    pnCOM10,
    pnCOM11,
    pnCOM12,
    pnCOM13,
    pnCOM14,
    pnCOM15,
    pnCOM16
};
enum TBaudRate {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TDataBits { db5BITS, db6BITS, db7BITS, db8BITS };
enum TStopBits { sb1BITS, sb1HALFBITS, sb2BITS };
enum TParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum THwFlowControl { hfNONE, hfNONERTSON, hfRTSCTS };
enum TSwFlowControl { sfNONE, sfXONXOFF };
enum TPacketMode { pmDiscard, pmPass };

// The modem input lines reported by ReadLineStatus.
enum TLineStatus { lsCTS = 1, lsDSR = 2, lsRING = 4, lsCD = 8 };

class TCommPortDriver : public QObject
{
    Q_OBJECT
public:
    // Sender, the received bytes (valid only during the call) and their count (at least 1).
    using TReceiveDataEvent =
        std::function<void(TCommPortDriver *sender, const void *DataPtr, quint32 DataSize)>;
    using TReceivePacketEvent =
        std::function<void(TCommPortDriver *sender, const void *Packet, quint32 DataSize)>;

    explicit TCommPortDriver(QObject *parent = nullptr);
    // With a line of the caller's (tests give a scripted one); the system's line otherwise.
    explicit TCommPortDriver(std::unique_ptr<SerialLine> line, QObject *parent = nullptr);
    ~TCommPortDriver() override;

    // Properties (getters and setters follow the setter rules: see the .cpp).
    TPortNumber Port() const { return m_port; }
    void setPort(TPortNumber value);
    QString PortName() const { return m_portName; }
    void setPortName(const QString &value);
    TBaudRate BaudRate() const { return m_baudRate; }
    void setBaudRate(TBaudRate value);
    quint32 BaudRateValue() const { return m_baudRateValue; }
    void setBaudRateValue(quint32 value);
    TDataBits DataBits() const { return m_dataBits; }
    void setDataBits(TDataBits value);
    TStopBits StopBits() const { return m_stopBits; }
    void setStopBits(TStopBits value);
    TParity Parity() const { return m_parity; }
    void setParity(TParity value);
    THwFlowControl HwFlow() const { return m_hwFlow; }
    void setHwFlow(THwFlowControl value);
    TSwFlowControl SwFlow() const { return m_swFlow; }
    void setSwFlow(TSwFlowControl value);
    quint32 InBufSize() const { return m_inBufSize; }
    void setInBufSize(quint32 value);
    quint32 OutBufSize() const { return m_outBufSize; }
    void setOutBufSize(quint32 value);
    qint16 PacketSize() const { return m_packetSize; }
    void setPacketSize(qint16 value) { m_packetSize = value; }
    qint32 PacketTimeout() const { return m_packetTimeout; }
    void setPacketTimeout(qint32 value) { m_packetTimeout = value; }
    TPacketMode PacketMode() const { return m_packetMode; }
    void setPacketMode(TPacketMode value) { m_packetMode = value; }
    quint16 PollingDelay() const { return m_pollingDelay; }
    void setPollingDelay(quint16 value);
    bool EnableDTROnOpen() const { return m_enableDTROnOpen; }
    void setEnableDTROnOpen(bool value) { m_enableDTROnOpen = value; }
    quint16 OutputTimeout() const { return m_outputTimeout; }
    void setOutputTimeout(quint16 value) { m_outputTimeout = value; }
    quint32 InputTimeout() const { return m_inputTimeout; }
    void setInputTimeout(quint32 value) { m_inputTimeout = value; }
    bool CheckLineStatus() const { return m_checkLineStatus; }
    void setCheckLineStatus(bool value) { m_checkLineStatus = value; }
    TReceiveDataEvent OnReceiveData;
    TReceivePacketEvent OnReceivePacket; // packet delivery is not provided; never called
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
    int ReadLineStatus(); // TLineStatus flags
    quint32 WriteBytesTimed(const void *data, quint32 size, quint32 timeout);
    quint32 WriteBytes(const void *data, quint32 size);
    bool WriteByte(quint8 value);

    // The device the name stands for on this system (see above).
    static QString resolvePortName(const QString &name);
    // The device "\\.\COM<com>" stands for when the settings assign none.
    static QString defaultDevice(int com);
    // The rate in bits per second of a table entry (0 for brCustom).
    static quint32 baudRateOf(TBaudRate rate);
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

    TPortNumber m_port = pnCOM2;
    QString m_portName;
    TBaudRate m_baudRate = br9600;
    quint32 m_baudRateValue = 9600;
    TDataBits m_dataBits = db8BITS;
    TStopBits m_stopBits = sb1BITS;
    TParity m_parity = ptNONE;
    THwFlowControl m_hwFlow = hfNONERTSON;
    TSwFlowControl m_swFlow = sfNONE;
    quint32 m_inBufSize = 2048;
    quint32 m_outBufSize = 2048;
    qint16 m_packetSize = -1;
    qint32 m_packetTimeout = -1;
    TPacketMode m_packetMode = pmDiscard;
    quint16 m_pollingDelay = 50;
    bool m_enableDTROnOpen = true;
    quint16 m_outputTimeout = 500;
    quint32 m_inputTimeout = 200;
    bool m_checkLineStatus = false;
};
