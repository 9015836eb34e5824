#pragma once
// The instrument simulator on a pseudo-terminal: the program opens the other side (the slave
// device) as its serial port. Commands are read from the master side and answered by an
// InstrumentSimulator, either at once (fast) or paced like a 9600 baud line (960 characters a
// second). The simulator keeps a descriptor of the slave side open itself, so that the program
// may close and reopen the port any number of times.
#include "instrumentsimulator.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

class PtyInstrument : public QObject
{
    Q_OBJECT
public:
    static constexpr int LineCharsPerSecond = 960; // 9600 bit/s, 10 bits a character

    explicit PtyInstrument(InstrumentOptions options, QObject *parent = nullptr);
    ~PtyInstrument() override;

    // Creates the pseudo-terminal; false with the reason in *error.
    bool start(QString *error);
    QString slavePath() const { return m_slavePath; }
    // 0: no pacing. Default: LineCharsPerSecond.
    void setCharsPerSecond(int cps) { m_cps = cps; }
    // Hangs up (closes its side of the line, as an unplugged cable does) once this many
    // characters of replies have gone out; below 0 (the default) never.
    void setHangupAfter(qint64 chars) { m_hangupAfter = chars; }
    void hangUp();
    bool hungUp() const { return m_master < 0 && !m_slavePath.isEmpty(); }

    InstrumentSimulator &simulator() { return m_simulator; }
    QByteArray commandsReceived() const { return m_commands; }
    qint64 charsSent() const { return m_sent; }
    bool idle() const { return m_pending.isEmpty(); }

signals:
    void commandReceived(quint8 command);
    // Everything answered so far has been handed to the line.
    void replySent();
    // The line was hung up (setHangupAfter or hangUp).
    void hangedUp();

private:
    void onReadable();
    void pump();
    void schedule();

    InstrumentSimulator m_simulator;
    int m_master = -1;
    int m_slaveKeep = -1;
    QString m_slavePath;
    int m_cps = LineCharsPerSecond;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer m_paceTimer;
    QElapsedTimer m_replyClock; // since the current reply started
    qint64 m_replySent = 0;     // characters of the current reply already written
    QByteArray m_pending;
    QByteArray m_commands;
    qint64 m_sent = 0;
    qint64 m_hangupAfter = -1;
};
