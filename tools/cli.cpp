#include "cli.h"
#include "clisystem.h"

#include "base/errors.h"

#include <cstdio>
#include <exception>

namespace cli {

void write(FILE *stream, const QString &text)
{
    writeText(stream, text.toUtf8());
}

void err(const QString &text)
{
    write(stderr, text + QLatin1Char('\n'));
}
void out(const QString &text)
{
    write(stdout, text + QLatin1Char('\n'));
}

namespace {
int operandsFrom = -1;
}

void setOperandsFrom(int index)
{
    operandsFrom = index;
}

bool isOption(const QStringList &args, int i)
{
    return (operandsFrom < 0 || i < operandsFrom) && args.at(i).startsWith(QLatin1String("--"));
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
