#pragma once
// The per-user settings store: an INI file named after the program file, each window's
// entries grouped under its class name ("TMainform", "TPrintForm", ...).

#include <QSettings>

#include <memory>

namespace morvilo {

std::unique_ptr<QSettings> SettingsStore(const char *group);

} // namespace morvilo
