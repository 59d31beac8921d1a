#pragma once
// File dialog filters are kept (and translated) in their stored form, pairs of description
// and ";"-separated patterns joined by "|":
//   "CNC Dateien (*.cnc;*.nc)|*.cnc;*.nc|Alle Dateien (*.*)|*.*"
// Qt's dialogs want "CNC Dateien (*.cnc *.nc);;Alle Dateien (*)".

#include <QString>

namespace morvilo {

QString QtFileFilter(const QString &storedFilter);

} // namespace morvilo
