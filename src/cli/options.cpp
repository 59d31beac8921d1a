#include "cli/options.h"

#include "cli/cli.h"

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

std::optional<int> UsageOutcome(const char *command, bool parsed, bool help,
                                const std::string &error, std::string_view usage, std::ostream &out,
                                std::ostream &err) {
    if (!parsed) {
        err << "morvilo-cli " << command << ": " << error << "\n" << usage;
        return kUsage;
    }
    if (help) {
        out << usage;
        return kSuccess;
    }
    return std::nullopt;
}

} // namespace morvilo::cli
