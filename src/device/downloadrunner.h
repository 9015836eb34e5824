#pragma once
// One download as the dialog and `qpx-cli download` run it: the serial port component, the two
// timers (the 3000 ms search time-out and the 1000 ms delay before "N") and the protocol, wired
// together. Windows and the command line only show what it reports through its signals.
#include "CPDrv.h"
#include "downloadprotocol.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <functional>

class LineTrace;

class DownloadRunner : public QObject, public DownloadHost
{
    Q_OBJECT
public:
    // Runs a handler; an error it raises is reported and the rest of the handler skipped.
    using Guard = std::function<void(const std::function<void()> &)>;

    explicit DownloadRunner(QObject *parent = nullptr);
    ~DownloadRunner() override;

    TCommPortDriver &port() { return m_port; }
    DownloadProtocol &protocol() { return m_protocol; }
    QTimer &searchTimer() { return m_searchTimer; }
    QTimer &memoryDelayTimer() { return m_memoryDelayTimer; }

    // Where messages go (not owned); the default guard reports errors there too.
    void setMessageSink(MessageSink *sink) { m_sink = sink; }
    void setGuard(Guard guard) { m_guard = std::move(guard); }
    // Where every byte in and out and every open and close are written (not owned; may be null).
    void setTrace(LineTrace *trace) { m_trace = trace; }

    void start();  // the dialog is shown: the search begins on the first port
    void cancel(); // the operator's Cancel
    void close();  // the dialog closes: both timers stop, and the port is closed
    int result() const { return m_protocol.result(); }
    bool running() const { return m_protocol.running(); }

signals:
    void textChanged(DownloadText field, const QString &text);
    void progressChanged(int position);
    void finished(int result);
    // An identification was accepted or characters of the memory reply arrived.
    void advanced();

private:
    void setPortName(const QString &name) override;
    bool openPort() override;
    void closePort() override;
    bool writeByte(quint8 value) override;
    void timerChanged(DownloadTimer timer, bool enabled, int interval) override;
    void setText(DownloadText field, const QString &text) override;
    void setProgress(int position) override;
    void showMessage(const QString &text, const QString &caption, MessageIcon icon) override;
    void finish(int result) override;
    void showDetailedMessage(const QString &text, const QString &informative, const QString &caption,
                             MessageIcon icon) override;
    QString searchReport() override;
    QString lostPortReport() override;
    void progressMade() override;

    void guarded(const std::function<void()> &handler);

    // One port tried since the download began, and what became of it.
    struct Attempt
    {
        QString name;      // as the search names it ("\\.\COM1")
        QString device;    // what the name resolved to
        QString failure;   // why it did not open (empty: it opened)
        quint64 bytes = 0; // characters received while it was open
    };
    static QString attemptLine(const Attempt &attempt, const QString &what);
    QList<Attempt> m_attempts;
    LineTrace *m_trace = nullptr;

    TCommPortDriver m_port;
    QTimer m_searchTimer;
    QTimer m_memoryDelayTimer;
    DownloadProtocol m_protocol;
    MessageSink *m_sink = nullptr;
    Guard m_guard;
};
