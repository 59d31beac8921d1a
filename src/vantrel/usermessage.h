#pragma once
// A message for the user whose values (sizes, counts, names) are kept apart from its text, so
// that the text can pass the translation table before the values go into it.

#include <string>
#include <string_view>
#include <vector>

namespace morvilo {

// text with its places %1 ... %9 filled by values[0] ... values[8]; a value is never searched
// for places itself, and a place without a value stays as it is.
std::string FillIn(std::string_view text, const std::vector<std::string> &values);

struct UserMessage {
    std::string text;                // German, with the places %1, %2 ...
    std::vector<std::string> values; // what goes into them
    bool empty() const { return text.empty(); }
    std::string Filled() const { return FillIn(text, values); }
};

} // namespace morvilo
