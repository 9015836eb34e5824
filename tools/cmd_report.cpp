#include "cli.h"

int cmdReport(const QStringList &)
{
    cli::err(QStringLiteral("qpx-cli: the command \"report\" is not built yet"));
    return cli::Failed;
}
