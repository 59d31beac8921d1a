#pragma once
// The numbered message list and the lookup every visible text passes through. Until a
// translation table is attached, the lookup returns each text unchanged (German).

#include "vantrel/usermessage.h"

#include <QString>

#include <functional>

namespace morvilo {

constexpr int kMessageCount = 21;

enum Message {
    kMsgRestart = 1,             // "Bitte schließen Sie das Programm und starten Sie es erneut!"
    kMsgTranslate = 2,           // "Übersetzen"
    kMsgSaveQuestion = 3,        // "Die Datei wurde noch nicht gespeichert. Wollen Sie jetzt ..."
    kMsgSave = 4,                // "Speichern"
    kMsgUntitledCnc = 5,         // "unbenannt.cnc"
    kMsgPrintJob = 6,            // "CNC Quellcode"
    kMsgVariablesHeader = 7,     // "Alle Variablen 1-999, die nicht 0 sind:"
    kMsgNotAllSent = 8,          // "Es konnte nicht alles übertragen werden."
    kMsgPortSetFailed = 9,       // "Das Setzen der Port Konfiguration schlug fehl Fehlernummer: "
    kMsgPortQueryFailed = 10,    // "Das Abfragen der Port Konfiguration schlug fehl ..."
    kMsgPortOpenFailed = 11,     // "Das Öffnen des Ports schlug fehl. Fehlernummer: "
    kMsgNoDxfLayers = 12,        // "Keine DXF-Layer in der Datei gefunden."
    kMsgHelpFile = 13,           // the help page's file name
    kMsgTempFileNotCreated = 20, // "Konnte temporäre Datei nicht anlegen."
    kMsgPictureNotLoaded = 21,   // "Das Bild konnte nicht geladen werden."
};

// Column of the translation table the interface uses: 0 German, 1 English, ...
extern int language;

// The German text of message n (empty outside 1 .. 21 and for the unused numbers 14 .. 19).
QString MessageText(int n);

// The translation of s for the active language.
QString TranslateString(const QString &s);
// A message with values: its text through TranslateString, then the values filled in.
QString TranslateMessage(const UserMessage &message);
// Message n through TranslateString; empty for n outside 1 .. 21.
QString GetTString(int n);
// Passes every message through the lookup once, so that the table learns them.
void RegisterStrings();

// The lookup behind TranslateString; an empty function restores the identity.
using TranslationLookup = std::function<QString(const QString &)>;
void SetTranslationLookup(TranslationLookup lookup);

} // namespace morvilo
