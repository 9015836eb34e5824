#pragma once
// A trace of the serial exchange for finding out why a link misbehaves: every byte sent and
// received with the milliseconds since the trace began, its direction, its hex value and its
// printable form, plus notes (port opened, closed, lost). Sixteen bytes a line at most:
//
//       1003 TX 56                                               V
//       1061 RX 31 30 30 33 35 30 3c 30 33 30                    1003503<030
//       1062 -- порт закрыт
#include <QElapsedTimer>
#include <QFile>
#include <QString>

class LineTrace
{
public:
    // Writes to the file (created or truncated); false with the reason in *error.
    bool open(const QString &fileName, QString *error);
    // The lines go to a device the caller owns instead (tests use a buffer).
    void attach(QIODevice *device);

    void bytes(bool outgoing, const char *data, qint64 size);
    void note(const QString &text);

    // One line of the trace, as bytes() writes it.
    static QString formatLine(qint64 ms, bool outgoing, const char *data, qint64 size);

private:
    void write(const QString &line);

    QFile m_file;
    QIODevice *m_device = nullptr;
    QElapsedTimer m_clock;
};
