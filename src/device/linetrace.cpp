#include "linetrace.h"

#include <algorithm>

namespace {

constexpr qint64 bytesPerLine = 16;

QString stamp(qint64 ms)
{
    return QStringLiteral("%1").arg(ms, 10);
}

} // namespace

bool LineTrace::open(const QString &fileName, QString *error)
{
    m_file.setFileName(fileName);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        if (error)
            *error = m_file.errorString();
        return false;
    }
    attach(&m_file);
    return true;
}

void LineTrace::attach(QIODevice *device)
{
    m_device = device;
    m_clock.start();
}

QString LineTrace::formatLine(qint64 ms, bool outgoing, const char *data, qint64 size)
{
    QString hex;
    QString text;
    for (qint64 i = 0; i < size; ++i) {
        const auto byte = quint8(data[i]);
        hex += QStringLiteral("%1 ").arg(byte, 2, 16, QLatin1Char('0'));
        text += byte >= 0x20 && byte < 0x7F ? QChar(char16_t(byte)) : QLatin1Char('.');
    }
    return stamp(ms) + (outgoing ? QStringLiteral(" TX ") : QStringLiteral(" RX ")) +
           hex.leftJustified(int(bytesPerLine * 3)) + QStringLiteral("  ") + text;
}

void LineTrace::bytes(bool outgoing, const char *data, qint64 size)
{
    if (!m_device)
        return;
    const qint64 ms = m_clock.elapsed();
    for (qint64 at = 0; at < size; at += bytesPerLine)
        write(formatLine(ms, outgoing, data + at, std::min(bytesPerLine, size - at)));
}

void LineTrace::note(const QString &text)
{
    if (m_device)
        write(stamp(m_clock.elapsed()) + QStringLiteral(" -- ") + text);
}

void LineTrace::write(const QString &line)
{
    qsizetype end = line.size();
    while (end > 0 && line.at(end - 1) == QLatin1Char(' '))
        --end;
    m_device->write((line.left(end) + QLatin1Char('\n')).toUtf8());
    // A trace is read after a crash or a kill as well: every line goes out at once.
    if (auto *file = qobject_cast<QFile *>(m_device))
        file->flush();
}
