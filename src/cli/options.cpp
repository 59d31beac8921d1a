#include "cli/options.h"

#include "cli/cli.h"
#include "cli/clitext.h"

#include <algorithm>

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

std::string NeedsValue(const OptionReader &reader) {
    return cliText("--%1 braucht einen Wert", {reader.Name()});
}

std::string TakesNoValue(const OptionReader &reader) {
    return cliText("--%1 nimmt keinen Wert", {reader.Name()});
}

std::string UnknownOption(const OptionReader &reader) {
    return cliText("unbekannte Option: %1", {reader.Argument()});
}

std::string UsageText(std::string_view synopsis, const std::vector<std::string> &summary,
                      const std::vector<UsageItem> &items) {
    // The texts start in one column after the syntax; a syntax too long for it keeps its
    // text on its own line, further right.
    constexpr size_t kWidest = 36;
    size_t column = 0;
    for (const UsageItem &item : items)
        if (item.syntax.size() <= kWidest)
            column = std::max(column, item.syntax.size());
    std::string text = cliText("Aufruf: %1", {synopsis}) + "\n";
    for (const std::string &line : summary)
        text += line + "\n";
    for (const UsageItem &item : items) {
        if (item.syntax.empty()) {
            text += item.text + "\n";
            continue;
        }
        text += "  " + item.syntax;
        text.append(item.syntax.size() < column ? column - item.syntax.size() + 2 : 2, ' ');
        text += item.text + "\n";
    }
    return text;
}

} // namespace morvilo::cli
