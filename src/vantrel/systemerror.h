#pragma once
// System errors (errno) in the tool's own words. The texts are German, like every text the tool
// shows, and pass the translation table, so that a message never mixes a German text with the
// system's English one.

#include <functional>
#include <string>
#include <string_view>

namespace morvilo {

// The German text for errnum; empty for a number without a text of its own.
std::string_view SystemErrorText(int errnum);

// The text for errnum through translate: the one wording of a system error wherever the program
// shows one. A number without a text of its own keeps its number and the system's words
// ("Systemfehler Nummer 200 (Unknown error 200)").
std::string DescribeSystemError(int errnum,
                                const std::function<std::string(const std::string &)> &translate);

} // namespace morvilo
