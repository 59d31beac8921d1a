#include "settings/filefilter.h"

#include <QStringList>

namespace morvilo {

QString QtFileFilter(const QString &storedFilter) {
    const QStringList parts = storedFilter.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        // The description's own pattern list is replaced by the real one.
        const qsizetype bracket = description.lastIndexOf('(');
        if (bracket > 0 && description.endsWith(')'))
            description = description.left(bracket).trimmed();
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString &pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == "*.*")
                pattern = "*"; // every file, with or without an extension
        }
        filters << description + " (" + patterns.join(' ') + ")";
    }
    return filters.join(";;");
}

} // namespace morvilo
