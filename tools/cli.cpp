#include "cli.h"

#include "data/errors.h"

#include <cstdio>
#include <exception>

namespace cli {

static void writeLine(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void err(const QString &text)
{
    writeLine(stderr, text);
}
void out(const QString &text)
{
    writeLine(stdout, text);
}

int usage(const QString &text, const QString &usageLine)
{
    err(QStringLiteral("qpx-cli: ") + text);
    err(QStringLiteral("usage: qpx-cli ") + usageLine);
    return BadUsage;
}

int guarded(const std::function<int()> &body)
{
    try {
        return body();
    } catch (const QpxError &e) {
        err(e.text());
    } catch (const std::exception &e) {
        err(QString::fromLocal8Bit(e.what()));
    }
    return Failed;
}

} // namespace cli
