#pragma once
// Reads "--name VALUE", "--name=VALUE" and "--flag" options and positional arguments.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace morvilo::cli {

class OptionReader {
public:
    explicit OptionReader(const std::vector<std::string> &arguments) : arguments(arguments) {}

    // Steps to the next argument; false at the end.
    bool Next();
    bool IsOption() const {
        return !optionsEnded && current.size() > 2 && current.rfind("--", 0) == 0;
    }
    bool Is(std::string_view name) const { return optionName() == name; }
    const std::string &Argument() const { return current; }
    std::string_view Name() const { return optionName(); }
    // The option's value ("--name=VALUE" or the next argument); false when there is none.
    bool Value(std::string &value);
    // A flag must not carry a value.
    bool HasInlineValue() const { return current.find('=') != std::string::npos; }

private:
    std::string_view optionName() const;

    const std::vector<std::string> &arguments;
    size_t next = 0;
    std::string current;
    bool optionsEnded = false;
};

// Reads all arguments: positional ones into positional, options through
// readOption(reader, error), which returns false for one it cannot take. False at the first
// such option.
template <typename ReadOption>
bool ReadArguments(const std::vector<std::string> &arguments, std::vector<std::string> &positional,
                   std::string &error, ReadOption readOption) {
    OptionReader reader(arguments);
    while (reader.Next()) {
        if (!reader.IsOption())
            positional.push_back(reader.Argument());
        else if (!readOption(reader, error))
            return false;
    }
    return true;
}

// After a command has read its command line: a usage error goes to err with the usage (exit
// status 2), --help prints the usage (0); otherwise nothing happens and the command goes on.
std::optional<int> UsageOutcome(const char *command, bool parsed, bool help,
                                const std::string &error, std::string_view usage, std::ostream &out,
                                std::ostream &err);

// The usage errors every command has, in the run's language: "--name needs a value", "--name
// takes no value", "unknown option: --name".
std::string NeedsValue(const OptionReader &reader);
std::string TakesNoValue(const OptionReader &reader);
std::string UnknownOption(const OptionReader &reader);

// One line of a usage text: the syntax as it is typed and what it does, already in the run's
// language. A line without syntax is a heading.
struct UsageItem {
    std::string syntax;
    std::string text;
};

// "usage: SYNOPSIS", the summary lines, then the items with their texts in one column.
std::string UsageText(std::string_view synopsis, const std::vector<std::string> &summary,
                      const std::vector<UsageItem> &items);

} // namespace morvilo::cli
