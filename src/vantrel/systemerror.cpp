#include "vantrel/systemerror.h"

#include <cerrno>
#include <cstring>

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
    case ENXIO:
    case ENODEV:
        return "Das Gerät ist nicht vorhanden";
    case ENOTTY:
        return "Das Gerät ist keine serielle Schnittstelle";
    case EINVAL:
        return "Das Gerät oder System nimmt diesen Wert nicht an";
    case EAGAIN:
        return "Die Ressource ist gerade nicht verfügbar";
    case EPIPE:
        return "Die Gegenseite hat die Verbindung geschlossen";
    case EINTR:
        return "Durch ein Signal unterbrochen";
    case ETIMEDOUT:
        return "Zeitüberschreitung";
    case ETXTBSY:
        return "Die Datei wird gerade ausgeführt";
    case ENOTEMPTY:
        return "Der Ordner ist nicht leer";
    case EXDEV:
        return "Die Dateien liegen auf verschiedenen Dateisystemen";
    case EOVERFLOW:
        return "Die Datei ist zu groß für diesen Vorgang";
    case EOPNOTSUPP:
        return "Das Dateisystem oder Gerät unterstützt diesen Vorgang nicht";
    default:
        return {};
    }
}

std::string DescribeSystemError(int errnum,
                                const std::function<std::string(const std::string &)> &translate) {
    const std::string_view text = SystemErrorText(errnum);
    if (!text.empty())
        return translate(std::string(text));
    // A number without a text of our own keeps the system's words beside it.
    return translate("Systemfehler Nummer") + " " + std::to_string(errnum) + " (" +
           std::strerror(errnum) + ")";
}

} // namespace morvilo
