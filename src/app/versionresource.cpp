// Version resources are a Windows thing: elsewhere the version is the one compiled in.
#include "about.h"

QString resourceFileVersion(const QString &)
{
    return QString();
}
