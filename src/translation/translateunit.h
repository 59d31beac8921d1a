#pragma once
// The numbered message list and the lookup every visible text passes through. Until a
// translation table is attached, the lookup returns each text unchanged (German).

#include "vantrel/messagenumbers.h"
#include "vantrel/usermessage.h"

#include <QString>

#include <functional>
#include <string>

namespace morvilo {

// Column of the translation table the interface uses: 0 German, 1 English, ...
extern int language;

// The German text of message n (empty outside 1 .. 21 and for the unused numbers 14 .. 19).
QString MessageText(int n);

// The translation of s for the active language.
QString TranslateString(const QString &s);
// A message with values: its text through TranslateString, then the values filled in.
QString TranslateMessage(const UserMessage &message);
// A system error (errno) in words in the interface's language: DescribeSystemError through
// TranslateString.
std::string DescribeSystemErrorHere(int errnum);
// Message n through TranslateString; empty for n outside 1 .. 21.
QString GetTString(int n);
// Passes every message through the lookup once, so that the table learns them.
void RegisterStrings();

// The lookup behind TranslateString; an empty function restores the identity.
using TranslationLookup = std::function<QString(const QString &)>;
void SetTranslationLookup(TranslationLookup lookup);

} // namespace morvilo
