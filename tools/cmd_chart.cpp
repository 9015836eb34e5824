#include "cli.h"

int cmdChart(const QStringList &)
{
    cli::err(QStringLiteral("qpx-cli: the command \"chart\" is not built yet"));
    return cli::Failed;
}
