#include "cli.h"

int cmdExport(const QStringList &)
{
    cli::err(QStringLiteral("qpx-cli: the command \"export\" is not built yet"));
    return cli::Failed;
}
