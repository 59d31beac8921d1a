#pragma once
// The language of morvilo-cli. Every text the batch commands show the user (usage, errors,
// bounds, files) is written in German in the code and passes cliText, which gives it in the
// run's one language: the interface language chosen in the window (options.dat in the settings
// folder), English when none is chosen. The English texts are the shipped ones
// (data/translate-en.csv), the same the window writes into its translation table.

#include "vantrel/usermessage.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace morvilo::cli {

enum class CliLanguage { German, English };

// The language options.dat in the settings folder progpath chooses: German for its language
// value 0, English for any other value and when the file or its language value is missing.
CliLanguage ChosenLanguage(const std::string &progpath);

// The language of the texts from now on; English until it is set.
void SetCliLanguage(CliLanguage language);

// german (the text as written in the code, UTF-8) in the run's language, with %1 ... %9 replaced
// by args in order. Spaces around the text stay as given; a text without an English
// translation stays German.
std::string cliText(std::string_view german, std::initializer_list<std::string_view> args = {});

// A message whose values are kept apart from its German text, in the run's language.
std::string cliText(const UserMessage &message);

// A system error (errno) in words, in the run's language: the reason every message of the
// commands gives after "...: " (DescribeSystemError, as the window words it).
std::string SystemReason(int errnum);

} // namespace morvilo::cli
