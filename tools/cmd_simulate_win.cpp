// qpx-cli simulate on Windows: the simulator plays the instrument on a pseudo-terminal, which
// Windows does not have. An instrument for a Windows build is the Linux simulator behind a COM
// port (under Wine: the port's registry entry pointing at the pseudo-terminal).
#include "cli.h"

int cmdSimulate(const QStringList &)
{
    cli::err(QStringLiteral("qpx-cli: simulate is not available on Windows: it needs a pseudo-terminal. "
                            "Run \"qpx-cli simulate\" on Linux and connect its line to a COM port."));
    return cli::Failed;
}
