// Any bytes as translate.dbf: the table either refuses the file with a message or reads every
// record and cell it announces, learns new texts and translates without reading past its data.

#include "translation/translatetable.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

QString scratchFolder() {
    static const QString folder = [] {
        const QString path =
            QDir::temp().filePath(QStringLiteral("morvilo-fuzz-translation-%1").arg(::getpid()));
        QDir().mkpath(path);
        return path;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray image(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString folder = scratchFolder();
    QFile file(QDir(folder).filePath(QStringLiteral("translate.dbf")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(image);
    file.close();

    const bool sound = morvilo::CheckDbfImage(image, image.size()).isEmpty();
    morvilo::TranslationTable table;
    const QString message = table.Open(folder);
    if (message.isEmpty() != table.IsOpen() || (table.IsOpen() && !sound))
        std::abort(); // a refused file must leave the table closed, and only sound files open
    table.inittrans();
    const int records = std::min(table.RecordCount(), 64);
    for (int record = 0; record < records; ++record)
        for (int column = 0; column < morvilo::kTranslationColumns; ++column)
            table.Cell(record, column);
    for (const char *text : {"Speichern", "  Speichern ", "Neu", "   ", ""})
        for (int column : {0, 1, 18})
            table.TranslateString(QString::fromLatin1(text), column);
    return 0;
}
