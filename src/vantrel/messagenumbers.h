#pragma once
// The numbers of the numbered message list. A core that reports one of these messages hands out
// its number only; the German texts and the lookup into the interface's language belong to the
// translation table (translation/translateunit.h).

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

} // namespace morvilo
