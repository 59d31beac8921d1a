#include "editor/editormessages.h"

#include "vantrel/systemerror.h"

#include <array>

namespace morvilo {

namespace {

const std::array<std::string, kEditorMessageCount + 1> kTexts = {
    "",
    "unbenannt.txt",
    "Ausschneiden",
    "Kopieren",
    "Kopieren mit Binärdaten",
    "Einfügen",
    "Löschen",
    "Einfügemodus",
    "Spalte:",
    "Zeile (ab Anzeigestart):",
    "Offset:",
    "HEX:",
    "Die Datei konnte nicht geöffnet werden!",
    "Überschreibmodus",
    "Die Datei konnte nicht erzeugt werden!",
    "Ungültiges Zeichen für den HEX-Modus:",
    "0-9; A-F sind erlaubt",
    "Die Zeichenkette konnte nicht gefunden werden.",
    "Suchen",
    "Die Position ist kein gültige Zahl.",
};

} // namespace

const std::string &EditorMessageText(int n) {
    return (n >= 1 && n <= kEditorMessageCount) ? kTexts[size_t(n)] : kTexts[0];
}

std::string EditorMessages::GetTranslation(int n) const {
    return Translate(EditorMessageText(n));
}

std::string EditorMessages::Translate(const std::string &text) const {
    return OnNeedTranslation ? OnNeedTranslation(text) : text;
}

void EditorMessages::InitTranslation() const {
    if (!OnNeedTranslation)
        return;
    for (int n = 1; n <= kEditorMessageCount; ++n)
        OnNeedTranslation(EditorMessageText(n));
}

std::string EditorMessages::FileMessage(int n, const std::string &fname,
                                        const std::string &reason) const {
    return GetTranslation(n) + "\n" + fname + "\n" + reason;
}

std::string EditorMessages::SystemError(int errnum) const {
    return DescribeSystemError(errnum, [this](const std::string &text) { return Translate(text); });
}

} // namespace morvilo
