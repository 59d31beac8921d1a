#include "cli/clitext.h"

#include "settings/settingsfiles.h"
#include "vantrel/systemerror.h"

#include <QFile>

#include <unordered_map>

namespace morvilo::cli {

namespace {

CliLanguage currentLanguage = CliLanguage::English;

// The quoted cells of one row of the shipped table; a quote inside a cell is written twice.
std::vector<std::string> rowCells(std::string_view row) {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (size_t k = 0; k < row.size(); ++k) {
        const char c = row[k];
        if (quoted && c == '"' && k + 1 < row.size() && row[k + 1] == '"')
            cells.back() += row[++k];
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            cells.emplace_back();
        else if (c != '\r' && c != '\n')
            cells.back() += c;
    }
    return cells;
}

std::string_view withoutSpaces(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// German text -> English text, read once from the table built into the program.
const std::unordered_map<std::string, std::string> &englishTexts() {
    static const std::unordered_map<std::string, std::string> texts = [] {
        std::unordered_map<std::string, std::string> read;
        QFile file(":/cli/translate-en.csv");
        if (!file.open(QIODevice::ReadOnly))
            return read;
        file.readLine(); // the column names
        while (!file.atEnd()) {
            const QByteArray row = file.readLine();
            const std::vector<std::string> cells = rowCells(std::string_view(row));
            if (cells.size() >= 2 && !withoutSpaces(cells[1]).empty())
                read.emplace(withoutSpaces(cells[0]), withoutSpaces(cells[1]));
        }
        return read;
    }();
    return texts;
}

// The translation of german with its own leading and trailing spaces, as the window's lookup
// gives it.
std::string translated(std::string_view german) {
    if (currentLanguage == CliLanguage::German)
        return std::string(german);
    const std::string_view key = withoutSpaces(german);
    const auto found = englishTexts().find(std::string(key));
    if (key.empty() || found == englishTexts().end())
        return std::string(german);
    const size_t leading = german.find_first_not_of(' ');
    return std::string(german.substr(0, leading)) + found->second +
           std::string(german.substr(leading + key.size()));
}

} // namespace

CliLanguage ChosenLanguage(const std::string &progpath) {
    PortOptions options;
    options.language = -1; // stays when the file holds no language value
    if (!ReadOptionsDat(progpath + "options.dat", options) || options.language != 0)
        return CliLanguage::English;
    return CliLanguage::German;
}

void SetCliLanguage(CliLanguage language) {
    currentLanguage = language;
}

std::string cliText(std::string_view german, std::initializer_list<std::string_view> args) {
    const std::string text = translated(german);
    std::string result;
    result.reserve(text.size());
    for (size_t k = 0; k < text.size(); ++k) {
        const char next = k + 1 < text.size() ? text[k + 1] : '\0';
        if (text[k] == '%' && next >= '1' && next <= '9' && size_t(next - '1') < args.size()) {
            result += args.begin()[next - '1'];
            ++k;
        } else {
            result += text[k];
        }
    }
    return result;
}

std::string cliText(const UserMessage &message) {
    return FillIn(translated(message.text), message.values);
}

std::string SystemReason(int errnum) {
    return DescribeSystemError(errnum, [](const std::string &text) { return cliText(text); });
}

} // namespace morvilo::cli
