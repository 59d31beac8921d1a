#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace morvilo {

std::unique_ptr<QSettings> SettingsStore(const char *group) {
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    auto store = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             program.isEmpty() ? "morvilo" : program);
    store->beginGroup(group);
    return store;
}

} // namespace morvilo
