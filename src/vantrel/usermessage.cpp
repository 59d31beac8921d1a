#include "vantrel/usermessage.h"

namespace morvilo {

std::string FillIn(std::string_view text, const std::vector<std::string> &values) {
    std::string filled;
    filled.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const size_t place = size_t(next - '1');
        if (text[i] == '%' && next >= '1' && next <= '9' && place < values.size()) {
            filled += values[place];
            ++i;
        } else {
            filled += text[i];
        }
    }
    return filled;
}

} // namespace morvilo
