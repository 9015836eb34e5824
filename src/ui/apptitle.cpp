#include "apptitle.h"

namespace {
QString &titleStore()
{
    static QString title;
    return title;
}
} // namespace

QString applicationTitle()
{
    return titleStore();
}

void setApplicationTitle(const QString &title)
{
    titleStore() = title;
}
