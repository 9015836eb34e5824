// The line trace: one line a direction and up to sixteen bytes, with hex and printable forms.
#include "device/linetrace.h"

#include <QBuffer>
#include <gtest/gtest.h>

TEST(LineTrace, LinesCarryTimeDirectionHexAndText)
{
    EXPECT_EQ(LineTrace::formatLine(1003, true, "V", 1),
              QStringLiteral("      1003 TX 56") + QString(46, QLatin1Char(' ')) + QStringLiteral("  V"));
    const QString in = LineTrace::formatLine(7, false, "1\x01Z\xff", 4);
    EXPECT_TRUE(in.startsWith(QStringLiteral("         7 RX 31 01 5a ff ")));
    EXPECT_TRUE(in.endsWith(QStringLiteral("  1.Z.")));

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    LineTrace trace;
    trace.bytes(true, "ignored", 7); // nothing attached yet: nothing written, nothing crashes
    trace.attach(&buffer);
    const QByteArray reply(40, '0');
    trace.bytes(false, reply.constData(), reply.size());
    trace.note(QStringLiteral("порт закрыт"));
    const QStringList lines = QString::fromUtf8(buffer.data()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4); // 16 + 16 + 8 bytes, then the note
    EXPECT_TRUE(lines[0].contains(QStringLiteral(" RX 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30  ")));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("  00000000")));
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral(" -- порт закрыт")));
}
