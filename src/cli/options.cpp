#include "cli/options.h"

namespace morvilo::cli {

bool OptionReader::Next() {
    if (next >= arguments.size())
        return false;
    current = arguments[next++];
    if (!optionsEnded && current == "--") {
        optionsEnded = true;
        return Next();
    }
    return true;
}

std::string_view OptionReader::optionName() const {
    if (!IsOption())
        return {};
    std::string_view name(current);
    name.remove_prefix(2);
    return name.substr(0, name.find('='));
}

bool OptionReader::Value(std::string &value) {
    const size_t equals = current.find('=');
    if (equals != std::string::npos) {
        value = current.substr(equals + 1);
        return true;
    }
    if (next >= arguments.size())
        return false;
    value = arguments[next++];
    return true;
}

} // namespace morvilo::cli
