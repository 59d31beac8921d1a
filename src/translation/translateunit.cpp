#include "translation/translateunit.h"

#include "vantrel/systemerror.h"

#include <array>

namespace morvilo {

int language = 0;

namespace {

const std::array<const char *, kMessageCount> kMessages = {
    "Bitte schließen Sie das Programm und starten Sie es erneut!",
    "Übersetzen",
    "Die Datei wurde noch nicht gespeichert. Wollen Sie jetzt speichern?",
    "Speichern",
    "unbenannt.cnc",
    "CNC Quellcode",
    "Alle Variablen 1-999, die nicht 0 sind:",
    "Es konnte nicht alles übertragen werden.",
    "Das Setzen der Port Konfiguration schlug fehl Fehlernummer: ",
    "Das Abfragen der Port Konfiguration schlug fehl Fehlernummer: ",
    "Das Öffnen des Ports schlug fehl. Fehlernummer: ",
    "Keine DXF-Layer in der Datei gefunden.",
    "Tarnelo.html",
    "",
    "",
    "",
    "",
    "",
    "",
    "Konnte temporäre Datei nicht anlegen.",
    "Das Bild konnte nicht geladen werden.",
};

TranslationLookup &lookupFunction() {
    static TranslationLookup lookup;
    return lookup;
}

} // namespace

QString MessageText(int n) {
    if (n < 1 || n > kMessageCount)
        return {};
    return QString::fromUtf8(kMessages[size_t(n - 1)]);
}

QString TranslateString(const QString &s) {
    const TranslationLookup &lookup = lookupFunction();
    return lookup ? lookup(s) : s;
}

std::string DescribeSystemErrorHere(int errnum) {
    return DescribeSystemError(errnum, [](const std::string &text) {
        return TranslateString(QString::fromStdString(text)).toStdString();
    });
}

QString TranslateMessage(const UserMessage &message) {
    const QString text = TranslateString(QString::fromStdString(message.text));
    return QString::fromStdString(FillIn(text.toStdString(), message.values));
}

QString GetTString(int n) {
    if (n < 1 || n > kMessageCount)
        return {};
    return TranslateString(MessageText(n));
}

void RegisterStrings() {
    for (int n = 1; n <= kMessageCount; ++n)
        TranslateString(MessageText(n));
}

void SetTranslationLookup(TranslationLookup lookup) {
    lookupFunction() = std::move(lookup);
}

} // namespace morvilo
