#include "cli.h"

int cmdDownload(const QStringList &)
{
    cli::err(QStringLiteral("qpx-cli: the command \"download\" is not built yet"));
    return cli::Failed;
}
