#pragma once
// The per-user settings key "Software\Norvelt\QPX\1.0": on Windows the registry key under
// HKEY_CURRENT_USER, elsewhere the same key in Qt's per-user settings file
// ($XDG_CONFIG_HOME/Norvelt/QPX.conf, group "1.0"). Tests point Qt's settings path at a
// temporary folder (QSettings::setPath) before opening it.
#include <QSettings>
#include <memory>

namespace SettingsStore {

// The key, opened with its group "1.0" entered: values are "Default_dir", "Table_1",
// "Ports/COM1", "Ports/COM2".
std::unique_ptr<QSettings> open();

} // namespace SettingsStore
