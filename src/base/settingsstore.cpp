#include "settingsstore.h"

namespace SettingsStore {

std::unique_ptr<QSettings> open()
{
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QStringLiteral("Norvelt"), QStringLiteral("QPX"));
    settings->beginGroup(QStringLiteral("1.0"));
    return settings;
}

} // namespace SettingsStore
