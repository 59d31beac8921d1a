#include "vantrel/systemerror.h"

#include <cerrno>

namespace morvilo {

std::string_view SystemErrorText(int errnum) {
    switch (errnum) {
    case EACCES:
        return "Zugriff verweigert";
    case EPERM:
        return "Vorgang nicht erlaubt";
    case ENOENT:
        return "Datei oder Ordner nicht vorhanden";
    case ENOTDIR:
        return "Ein Teil des Pfades ist kein Ordner";
    case EISDIR:
        return "Das ist ein Ordner";
    case EEXIST:
        return "Die Datei ist schon vorhanden";
    case ENOSPC:
        return "Kein Platz mehr auf dem Datenträger";
    case EDQUOT:
        return "Das Speicherkontingent ist erschöpft";
    case EROFS:
        return "Das Dateisystem ist schreibgeschützt";
    case ENAMETOOLONG:
        return "Der Dateiname ist zu lang";
    case ELOOP:
        return "Zu viele symbolische Verknüpfungen";
    case EIO:
        return "Ein-/Ausgabefehler";
    case EFBIG:
        return "Die Datei ist zu groß";
    case EMFILE:
    case ENFILE:
        return "Zu viele offene Dateien";
    case ENOMEM:
        return "Nicht genügend Arbeitsspeicher";
    case EBUSY:
        return "Gerät oder Ressource belegt";
    default:
        return {};
    }
}

std::string DescribeSystemError(int errnum,
                                const std::function<std::string(const std::string &)> &translate) {
    const std::string_view text = SystemErrorText(errnum);
    if (!text.empty())
        return translate(std::string(text));
    return translate("Systemfehler Nummer") + " " + std::to_string(errnum);
}

} // namespace morvilo
