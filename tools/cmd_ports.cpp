// qpx-cli ports: the serial ports present, then what "\\.\COM1" and "\\.\COM2" stand for.
#include "cli.h"

#include "device/CPDrv.h"
#include "device/downloadprotocol.h"
#include "device/serialports.h"

namespace {

QString orDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

} // namespace

int cmdPorts(const QStringList &args)
{
    for (int i = 0; i < args.size(); ++i) {
        if (cli::isOption(args, i))
            return cli::usage(QStringLiteral("unexpected argument \"%1\"").arg(args[i]));
    }
    // One port a line, tab-separated: path (the stable name where there is one), description
    // with its maker, access. Devices named on the command line and the assigned ones follow
    // the ones found.
    const QStringList coms{DownloadProtocol::com1(), DownloadProtocol::com2()};
    const QList<SerialPorts::PortEntry> ports = SerialPorts::listPorts(
        args + QStringList{SerialPorts::assignedPort(1), SerialPorts::assignedPort(2)});
    for (const SerialPorts::PortEntry &port : ports) {
        QString description = port.description;
        if (!port.manufacturer.isEmpty())
            description += (description.isEmpty() ? QString() : QStringLiteral(", ")) + port.manufacturer;
        if (!port.serialNumber.isEmpty())
            description += QStringLiteral(", S/N ") + port.serialNumber;
        // Named devices are checked thoroughly (opened); the others only by their permissions.
        const SerialPorts::PortCheck check =
            args.contains(port.path) ? SerialPorts::probe(port.path) : port.check;
        cli::out(
            QStringLiteral("%1\t%2\t%3").arg(port.path, orDash(description), SerialPorts::accessText(check)));
    }
    for (const QString &name : coms) {
        const QString device = TCommPortDriver::resolvePortName(name);
        cli::out(QStringLiteral("%1 -> %2: %3")
                     .arg(name, device, SerialPorts::accessText(SerialPorts::probe(device))));
    }
    return cli::Ok;
}
