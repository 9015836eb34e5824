// The serial line on Windows: the Win32 communications calls on a handle opened exclusively
// and without overlapped I/O. Nothing waits: the component's timer polls, ClearCommError tells
// how many bytes are waiting and ReadFile reads exactly those, and reads are set to return at
// once. A call that fails because the device went away marks the line gone, so the component
// closes it and reports the loss instead of polling a dead handle.
#include "serialline.h"
#include "win32comm.h"

#include <algorithm>

namespace {

// Failures the system does not explain as a lost device are line trouble that usually passes;
// this many in a row (a second of polling) mean the device is not coming back.
constexpr int failuresBeforeGone = 20;

class Win32Line final : public SerialLine
{
public:
    ~Win32Line() override { close(); }

    bool open(const QString &device) override
    {
        close();
        m_error.clear();
        m_gone = false;
        m_failures = 0;
        const QByteArray name = Win32Comm::deviceName(device).toLocal8Bit();
        // Share mode 0: exclusive, as a COM port always is. No FILE_FLAG_OVERLAPPED: every read
        // and write is synchronous and bounded by the time-outs.
        const HANDLE handle = ::CreateFileA(name.constData(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            failed(::GetLastError());
            return false;
        }
        m_handle = handle;
        return true;
    }

    void close() override
    {
        if (m_handle == INVALID_HANDLE_VALUE)
            return;
        ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

    bool isOpen() const override { return m_handle != INVALID_HANDLE_VALUE; }

    bool setLine(const SerialLineSettings &settings) override
    {
        DCB dcb = Win32Comm::deviceControlBlock(settings);
        return check(::SetCommState(m_handle, &dcb));
    }

    bool setQueues(quint32 inQueue, quint32 outQueue) override
    {
        return check(::SetupComm(m_handle, inQueue, outQueue));
    }

    bool setTimeouts(quint16 writeTimeoutMs) override
    {
        COMMTIMEOUTS timeouts = Win32Comm::timeouts(writeTimeoutMs);
        return check(::SetCommTimeouts(m_handle, &timeouts));
    }

    bool purge(bool rx, bool tx) override
    {
        DWORD flags = 0;
        if (rx)
            flags |= PURGE_RXABORT | PURGE_RXCLEAR;
        if (tx)
            flags |= PURGE_TXABORT | PURGE_TXCLEAR;
        return flags == 0 || check(::PurgeComm(m_handle, flags));
    }

    qint64 outputQueued() override
    {
        COMSTAT status{};
        if (!status_(&status))
            return 0;
        return qint64(status.cbOutQue);
    }

    qint64 write(const char *data, qint64 size) override
    {
        DWORD written = 0;
        const DWORD want = DWORD(std::min<qint64>(size, MAXDWORD));
        if (!::WriteFile(m_handle, data, want, &written, nullptr))
            noteFailure(::GetLastError());
        return qint64(written);
    }

    qint64 read(char *buffer, qint64 max) override
    {
        COMSTAT status{};
        if (!status_(&status))
            return -1;
        if (status.cbInQue == 0 || max <= 0)
            return 0;
        const DWORD want = DWORD(std::min<qint64>(qint64(status.cbInQue), max));
        DWORD got = 0;
        if (!::ReadFile(m_handle, buffer, want, &got, nullptr)) {
            noteFailure(::GetLastError());
            return -1;
        }
        return qint64(got);
    }

    bool gone() override { return isOpen() && m_gone; }

    QString errorText() const override { return m_error; }

private:
    // ClearCommError: the queue counts; line errors (overrun, framing, parity) are cleared by
    // the call and otherwise ignored.
    bool status_(COMSTAT *status)
    {
        DWORD errors = 0;
        if (!::ClearCommError(m_handle, &errors, status)) {
            noteFailure(::GetLastError());
            return false;
        }
        m_failures = 0;
        return true;
    }

    bool check(BOOL ok)
    {
        if (!ok)
            failed(::GetLastError());
        return ok != FALSE;
    }

    void failed(DWORD error) { m_error = Win32Comm::errorText(error); }

    void noteFailure(DWORD error)
    {
        failed(error);
        if (Win32Comm::deviceGone(error) || ++m_failures >= failuresBeforeGone)
            m_gone = true;
    }

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    QString m_error;
    bool m_gone = false;
    int m_failures = 0;
};

} // namespace

std::unique_ptr<SerialLine> SerialLine::create()
{
    return std::make_unique<Win32Line>();
}

QString SerialLine::defaultDevice(int com)
{
    return QStringLiteral("\\\\.\\COM%1").arg(com);
}
