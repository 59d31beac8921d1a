#include "frontend/progpath.h"

#include <QDir>
#include <QStandardPaths>

#include <cstdlib>
#include <unistd.h>

namespace morvilo {

namespace {

std::string withSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

std::string ProgramDataFolder(const std::string &programFolder) {
    if (const char *home = std::getenv("MORVILO_HOME"); home && *home)
        return withSlash(home);
    if (!programFolder.empty() && ::access(programFolder.c_str(), W_OK) == 0)
        return withSlash(programFolder);
    QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (perUser.isEmpty())
        perUser = QDir::homePath() + "/.local/share/Morvilo";
    QDir().mkpath(perUser);
    return withSlash(perUser.toStdString());
}

} // namespace morvilo
