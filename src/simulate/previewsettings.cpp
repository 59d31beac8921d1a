#include "simulate/previewsettings.h"

#include "settings/settingsfiles.h"
#include "vantrel/numberparse.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace morvilo {

namespace {

bool readNumber(std::string_view text, double &value) {
    return ParseReal(text, value) && std::isfinite(value);
}

std::string numberText(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

constexpr int kMaxToolNumber = 99999999;

// "T12" (T in any case): 12; -1 unless it is such a number.
int toolNumber(std::string_view text) {
    if (text.size() < 2 || text.size() > 9 || (text[0] != 'T' && text[0] != 't'))
        return -1;
    int number = 0;
    const auto [end, error] = std::from_chars(text.data() + 1, text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() && number >= 0 &&
                   number <= kMaxToolNumber
               ? number
               : -1;
}

} // namespace

bool AddToolEntry(std::string_view entry, std::map<int, MillingTool> &table) {
    const size_t equals = entry.find('=');
    if (equals == std::string_view::npos)
        return false;
    const int number = toolNumber(entry.substr(0, equals));
    const std::optional<MillingTool> tool = ParseTool(entry.substr(equals + 1));
    return number >= 0 && tool && table.emplace(number, *tool).second;
}

std::optional<std::map<int, MillingTool>> ParseToolTable(std::string_view text, std::string *bad) {
    std::map<int, MillingTool> table;
    while (!text.empty()) {
        const size_t start = text.find_first_not_of(" ,\t");
        if (start == std::string_view::npos)
            break;
        text.remove_prefix(start);
        const std::string_view entry = text.substr(0, text.find_first_of(" ,\t"));
        if (!AddToolEntry(entry, table)) {
            if (bad)
                *bad = std::string(entry);
            return std::nullopt;
        }
        text.remove_prefix(entry.size());
    }
    return table;
}

std::string ToolTableText(const std::map<int, MillingTool> &tools) {
    std::string text;
    for (const auto &[number, tool] : tools)
        text += (text.empty() ? "T" : " T") + std::to_string(number) + "=" + ToolText(tool);
    return text;
}

std::optional<Stock> ParseStock(std::string_view text) {
    double v[5];
    for (int k = 0; k < 5; ++k) {
        const size_t comma = k < 4 ? text.find(',') : text.size();
        if (comma == std::string_view::npos || !readNumber(text.substr(0, comma), v[k]))
            return std::nullopt;
        text.remove_prefix(std::min(text.size(), comma + 1));
    }
    const Stock stock{v[0], v[1], v[2], v[3], v[4]};
    return StockIsValid(stock) ? std::optional(stock) : std::nullopt;
}

PreviewSettings ReadPreviewDat(const std::string &path, bool *damaged) {
    PreviewSettings settings;
    bool bad = false;
    for (const std::string &line : ReadTextLines(path)) {
        const size_t equals = line.find('=');
        const std::string name = line.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        double number = 0;
        if (name == "tool") {
            const std::optional<ToolShape> shape = ParseToolShape(value);
            bad |= !shape;
            if (shape)
                settings.tool.shape = *shape;
        } else if (name == "diameter") {
            const bool ok = readNumber(value, number) && number > 0;
            bad |= !ok;
            if (ok)
                settings.tool.diameter = number;
        } else if (name == "angle") {
            const bool ok = readNumber(value, number) && number > 0 && number < 180;
            bad |= !ok;
            if (ok)
                settings.tool.angle = number;
        } else if (name == "stock") {
            const std::optional<Stock> stock = ParseStock(value);
            bad |= value != "auto" && !stock;
            settings.stock = stock;
        } else if (name == "resolution") {
            const bool ok = value == "auto" || (readNumber(value, number) && number > 0);
            bad |= !ok;
            settings.resolution = ok && value != "auto" ? std::optional(number) : std::nullopt;
        } else if (toolNumber(name) >= 0) {
            bad |= !AddToolEntry(line, settings.tools);
        } else if (!line.empty()) {
            bad = true;
        }
    }
    if (damaged)
        *damaged = bad;
    return settings;
}

bool WritePreviewDat(const std::string &path, const PreviewSettings &settings) {
    const Stock *s = settings.stock ? &*settings.stock : nullptr;
    std::vector<std::string> lines = {
        std::string("tool=") + ToolShapeName(settings.tool.shape),
        "diameter=" + numberText(settings.tool.diameter),
        "angle=" + numberText(settings.tool.angle),
        "stock=" +
            (s ? numberText(s->xmin) + "," + numberText(s->ymin) + "," + numberText(s->xmax) + "," +
                     numberText(s->ymax) + "," + numberText(s->top)
               : std::string("auto")),
        "resolution=" +
            (settings.resolution ? numberText(*settings.resolution) : std::string("auto"))};
    for (const auto &[number, tool] : settings.tools)
        lines.push_back("T" + std::to_string(number) + "=" + ToolText(tool));
    return WriteTextLines(path, lines);
}

MillingTool WidestTool(const PreviewSettings &settings) {
    MillingTool widest = settings.tool;
    for (const auto &[number, tool] : settings.tools)
        if (tool.Radius() > widest.Radius())
            widest = tool;
    return widest;
}

std::optional<PreviewGrid> ChoosePreviewGrid(const PreviewSettings &settings,
                                             const TPlotList &lines) {
    std::optional<Stock> stock = settings.stock;
    if (!stock)
        stock = DefaultStock(lines, WidestTool(settings));
    if (!stock)
        return std::nullopt;
    return PreviewGrid{*stock, settings.resolution.value_or(DefaultResolution(*stock))};
}

} // namespace morvilo
