#include "cli.h"

int cmdDump(const QStringList &)
{
    cli::err(QStringLiteral("qpx-cli: the command \"dump\" is not built yet"));
    return cli::Failed;
}
