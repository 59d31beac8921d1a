#pragma once
// Reads "--name VALUE", "--name=VALUE" and "--flag" options and positional arguments.

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

} // namespace morvilo::cli
