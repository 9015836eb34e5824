#pragma once
// The platform part of the serial port component: one device, opened exclusively, and the few
// things TCommPortDriver asks of it. The component keeps every rule (when to open, what to
// purge, how long a send may take, when a batch is delivered); a line only talks to the system.
//
// One implementation per system, chosen by the build: serialline_posix.cpp (Qt SerialPort on a
// tty) and serialline_win.cpp (the Win32 communications calls on a handle that is polled, not
// overlapped). Nothing here retries, waits for data or shows anything.
#include "CPDrv.h"

#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>

// What ApplyLineSettings sets: speed, framing, flow control and the queues of the line.
struct SerialLineSettings
{
    quint32 baudRate = 9600;
    TDataBits dataBits = db8BITS;
    TStopBits stopBits = sb1BITS;
    TParity parity = ptNONE;
    THwFlowControl hwFlow = hfNONERTSON;
    TSwFlowControl swFlow = sfNONE;
    bool dtr = true;         // DTR raised while open
    quint32 inQueue = 2048;  // input queue size (flow control limits follow it)
    quint32 outQueue = 2048; // output queue size
};

class SerialLine
{
public:
    virtual ~SerialLine() = default;

    // Opens device exclusively for reading and writing; false (errorText set) when it cannot.
    virtual bool open(const QString &device) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Speed, framing, flow control and the modem lines.
    virtual bool setLine(const SerialLineSettings &settings) = 0;
    // The sizes of the system's input and output queues.
    virtual bool setQueues(quint32 inQueue, quint32 outQueue) = 0;
    // Reads never wait; a single write gives up after writeTimeoutMs.
    virtual bool setTimeouts(quint16 writeTimeoutMs) = 0;
    // Discards pending input and/or output, aborting reads and writes in progress.
    virtual bool purge(bool rx, bool tx) = 0;

    // Bytes still waiting to go out (0 when the system cannot tell).
    virtual qint64 outputQueued() = 0;
    // Hands up to size bytes to the line; returns how many it took (0 when none).
    virtual qint64 write(const char *data, qint64 size) = 0;
    // Reads the bytes waiting, at most max, without waiting for more. Returns the count read:
    // 0 when nothing was waiting, -1 when the system failed (then gone() may tell why).
    virtual qint64 read(char *buffer, qint64 max) = 0;
    // The open device went away (unplugged, hung up): nothing will come through it again.
    virtual bool gone() = 0;

    // The system's text for the last failure (an open, a setting).
    virtual QString errorText() const = 0;

    // Raised when the system reports trouble between polls (may be left unset). The component
    // checks the line at its next chance rather than inside this call.
    std::function<void()> onTrouble;

    // A line for this system.
    static std::unique_ptr<SerialLine> create();
    // The device "\\.\COM<com>" stands for when the settings assign none.
    static QString defaultDevice(int com);
};
