#include "vantrel/numberparse.h"

#include <cctype>
#include <charconv>
#include <limits>
#include <system_error>

namespace morvilo {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// Removes a leading sign; true when it was "-".
bool takeSign(std::string_view &text) {
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        const bool negative = text.front() == '-';
        text.remove_prefix(1);
        return negative;
    }
    return false;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

bool ParseInteger(std::string_view text, int64_t &value) {
    text = trimmed(text);
    const bool negative = takeSign(text);
    if (text.empty() || !isDigit(text.front()))
        return false;
    uint64_t magnitude = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (end != text.data() + text.size())
        return false;
    constexpr uint64_t maxPositive = uint64_t(std::numeric_limits<int64_t>::max());
    if (error == std::errc::result_out_of_range || magnitude > maxPositive + (negative ? 1 : 0))
        value =
            negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    else
        value = negative ? int64_t(0 - magnitude) : int64_t(magnitude);
    return true;
}

namespace {

template <typename Real> bool parseReal(std::string_view text, Real &value) {
    text = trimmed(text);
    const bool negative = takeSign(text);
    if (text.empty() || !(isDigit(text.front()) || text.front() == '.'))
        return false;
    Real magnitude = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude,
                                        std::chars_format::general);
    if (end != text.data() + text.size() || error == std::errc::invalid_argument)
        return false;
    if (error == std::errc::result_out_of_range) {
        // from_chars leaves the value alone: tell overflow from underflow by the exponent.
        const size_t e = text.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < text.size() && text[e + 1] == '-';
        magnitude = tiny ? Real(0) : std::numeric_limits<Real>::infinity();
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

} // namespace

bool ParseReal(std::string_view text, double &value) {
    return parseReal(text, value);
}
bool ParseReal(std::string_view text, long double &value) {
    return parseReal(text, value);
}

} // namespace morvilo
