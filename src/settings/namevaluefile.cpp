#include "settings/namevaluefile.h"

namespace morvilo {

SettingsLine SplitSettingsLine(std::string_view text) {
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        return {text, text, {}, false};
    return {text, text.substr(0, equals), text.substr(equals + 1), true};
}

} // namespace morvilo
