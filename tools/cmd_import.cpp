#include "cli.h"

int cmdImport(const QStringList &)
{
    cli::err(QStringLiteral("qpx-cli: the command \"import\" is not built yet"));
    return cli::Failed;
}
