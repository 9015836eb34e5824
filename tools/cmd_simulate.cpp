// qpx-cli simulate: plays the instrument on a pseudo-terminal until interrupted.
#include "cli.h"
#include "stopsignals.h"

#include "simulator/instrumentsimulator.h"
#include "simulator/ptyinstrument.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

bool takeInt(const QStringList &args, int &i, int lo, int hi, int *value)
{
    if (i + 1 >= args.size())
        return false;
    bool ok = false;
    const int v = args[++i].toInt(&ok);
    if (!ok || v < lo || v > hi)
        return false;
    *value = v;
    return true;
}

} // namespace

int cmdSimulate(const QStringList &args)
{
    InstrumentOptions options;
    int records = 120;
    QString imageFile;
    QString rawFile;
    QString link;
    bool fast = false;
    int hangupAfter = -1;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--model")) {
            if (!takeInt(args, i, 0, 207, &options.model))
                return cli::usage(QStringLiteral("--model needs a number 0..207"));
        } else if (a == QLatin1String("--type-code")) {
            if (!takeInt(args, i, 0, 207, &options.typeCode))
                return cli::usage(QStringLiteral("--type-code needs a number 0..207"));
        } else if (a == QLatin1String("--firmware")) {
            if (i + 1 >= args.size() ||
                !InstrumentSimulator::parseFirmware(args[++i], &options.firmwareA, &options.firmwareB,
                                                    &options.firmwareC))
                return cli::usage(QStringLiteral("--firmware needs X.Y.Z as shown, each 0..255"));
        } else if (a == QLatin1String("--records")) {
            if (!takeInt(args, i, 0, 5461, &records))
                return cli::usage(QStringLiteral("--records needs a number 0..5461"));
        } else if (a == QLatin1String("--image") && i + 1 < args.size()) {
            imageFile = args[++i];
        } else if (a == QLatin1String("--raw") && i + 1 < args.size()) {
            rawFile = args[++i];
        } else if (a == QLatin1String("--link") && i + 1 < args.size()) {
            link = args[++i];
        } else if (a == QLatin1String("--z")) {
            if (!takeInt(args, i, 0, 1000000, &options.zCount))
                return cli::usage(QStringLiteral("--z needs a count"));
        } else if (a == QLatin1String("--hangup-after")) {
            if (!takeInt(args, i, 0, 1000000000, &hangupAfter))
                return cli::usage(QStringLiteral("--hangup-after needs a count of characters"));
        } else if (a == QLatin1String("--fast")) {
            fast = true;
        } else if (a == QLatin1String("--silent")) {
            options.silent = true;
        } else {
            return cli::usage(QStringLiteral("unknown argument \"%1\"").arg(a));
        }
    }

    // Only regular files of a bounded size: a device (/dev/zero) would be read without end and a
    // FIFO without a writer would block. A reply four times the instrument's memory already
    // overflows the program's receive buffer.
    auto readFile = [](const QString &path, QByteArray *bytes) {
        constexpr qint64 limit = 1 << 20;
        if (!QFileInfo(path).isFile())
            return false;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() > limit)
            return false;
        *bytes = file.read(limit);
        return true;
    };
    if (!imageFile.isEmpty()) {
        if (!readFile(imageFile, &options.image)) {
            cli::err(QStringLiteral("qpx-cli: cannot read %1").arg(imageFile));
            return cli::Failed;
        }
    } else {
        options.image = InstrumentSimulator::generateImage(records, options.model);
    }
    if (!rawFile.isEmpty() && !readFile(rawFile, &options.rawReply)) {
        cli::err(QStringLiteral("qpx-cli: cannot read %1").arg(rawFile));
        return cli::Failed;
    }

    PtyInstrument instrument(options);
    instrument.setCharsPerSecond(fast ? 0 : PtyInstrument::LineCharsPerSecond);
    instrument.setHangupAfter(hangupAfter);
    QString error;
    if (!instrument.start(&error)) {
        cli::err(QStringLiteral("qpx-cli: no pseudo-terminal: ") + error);
        return cli::Failed;
    }
    if (!link.isEmpty()) {
        // Only an old link is replaced, never a file.
        const QFileInfo existing(link);
        if (existing.isSymLink())
            QFile::remove(link);
        if (!QFile::link(instrument.slavePath(), link)) {
            cli::err(QStringLiteral("qpx-cli: cannot make the link %1").arg(link));
            return cli::Failed;
        }
    }
    cli::out(instrument.slavePath());

    QObject::connect(&instrument, &PtyInstrument::commandReceived, [&](quint8 command) {
        cli::err(
            QStringLiteral("simulate: received \"%1\"").arg(QChar(char16_t(command < 32 ? u'?' : command))));
    });

    // After a hang-up the line is gone for good, as after an unplug: the simulator ends.
    QObject::connect(&instrument, &PtyInstrument::hangedUp, [&] {
        cli::err(QStringLiteral("simulate: hung up after %1 characters").arg(instrument.charsSent()));
        QCoreApplication::quit();
    });

    const cli::StopSignals stopSignals([] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    if (!link.isEmpty() && QFileInfo(link).isSymLink() &&
        QFileInfo(link).symLinkTarget() == instrument.slavePath())
        QFile::remove(link);
    return cli::Ok;
}
