#pragma once
// Translation tables written and read through shapelib, independent of the code under test.

#include "translation/translatetable.h"

#include <QFile>
#include <QString>

#include <shapefil.h>

#include <string>
#include <utility>
#include <vector>

namespace morvilo::test {

using TranslationRow = std::pair<const char *, const char *>; // Windows-1252 source, English

// Writes a table of nineteen columns with the given source texts and English cells. False when
// the file cannot be created.
inline bool WriteTranslationTable(const QString &path, const std::vector<TranslationRow> &rows) {
    DBFHandle dbf = DBFCreate(QFile::encodeName(path).constData());
    if (!dbf)
        return false;
    for (int n = 1; n <= kTranslationColumns; ++n)
        DBFAddField(dbf, ("language" + std::to_string(n)).c_str(), FTString, 255, 0);
    for (int r = 0; r < int(rows.size()); ++r) {
        DBFWriteStringAttribute(dbf, r, 0, rows[size_t(r)].first);
        DBFWriteStringAttribute(dbf, r, 1, rows[size_t(r)].second);
    }
    DBFClose(dbf);
    return true;
}

inline QByteArray FileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace morvilo::test
