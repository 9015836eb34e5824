#include "cli.h"

int cmdSimulate(const QStringList &)
{
    cli::err(QStringLiteral("qpx-cli: the command \"simulate\" is not built yet"));
    return cli::Failed;
}
