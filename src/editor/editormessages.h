#pragma once
// The editor's own texts, numbered from 1, and the hook through which the program translates
// them at the moment they are shown.

#include <functional>
#include <string>

namespace morvilo {

constexpr int kEditorMessageCount = 19;

enum EditorMessage {
    kMsgUntitled = 1,       // "unbenannt.txt"
    kMsgCut = 2,            // "Ausschneiden"
    kMsgCopy = 3,           // "Kopieren"
    kMsgCopyBinary = 4,     // "Kopieren mit Binärdaten"
    kMsgPaste = 5,          // "Einfügen"
    kMsgDelete = 6,         // "Löschen"
    kMsgInsertMode = 7,     // "Einfügemodus"
    kMsgColumn = 8,         // "Spalte:"
    kMsgRow = 9,            // "Zeile (ab Anzeigestart):"
    kMsgOffset = 10,        // "Offset:"
    kMsgHex = 11,           // "HEX:"
    kMsgCannotOpen = 12,    // "Die Datei konnte nicht geöffnet werden!"
    kMsgOverwriteMode = 13, // "Überschreibmodus"
    kMsgCannotCreate = 14,  // "Die Datei konnte nicht erzeugt werden!"
    kMsgBadHexChar = 15,    // "Ungültiges Zeichen für den HEX-Modus:"
    kMsgHexAllowed = 16,    // "0-9; A-F sind erlaubt"
    kMsgNotFound = 17,      // "Die Zeichenkette konnte nicht gefunden werden."
    kMsgSearchCaption = 18, // "Suchen"
    kMsgBadPosition = 19,   // "Die Position ist kein gültige Zahl."
};

// The German text of message n (1 .. 19); empty for any other n. Texts are UTF-8 here; the
// translation layer converts where the table holds 8-bit text.
const std::string &EditorMessageText(int n);

// Takes a text and returns its translation.
using TranslateEvent = std::function<std::string(const std::string &)>;

class EditorMessages {
public:
    // Message n through the translation hook, or the text itself without one.
    std::string GetTranslation(int n) const;
    // Any other text of the editor through the same hook.
    std::string Translate(const std::string &text) const;
    // Passes every text to the hook once, so that the translation table learns them.
    void InitTranslation() const;
    // Message n, the file it is about, and why, each on a line of its own.
    std::string FileMessage(int n, const std::string &fname, const std::string &reason) const;
    // A system error number (errno) in the interface's language.
    std::string SystemError(int errnum) const;

    TranslateEvent OnNeedTranslation;
};

} // namespace morvilo
