#pragma once
// progpath: the folder of the settings files (options.dat, fav.dat, folders.dat,
// translate.dbf, the help page), always ending in "/".

#include <string>

namespace morvilo {

// MORVILO_HOME when set; else the program's folder when it is writable (portable use); else
// the per-user data folder (created when missing). programFolder is the folder of the program
// file.
std::string ProgramDataFolder(const std::string &programFolder);

} // namespace morvilo
