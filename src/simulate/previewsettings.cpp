#include "simulate/previewsettings.h"

#include "settings/namevaluefile.h"
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

namespace {

std::string stockText(const PreviewSettings &settings) {
    if (!settings.stock)
        return "auto";
    const Stock &s = *settings.stock;
    return numberText(s.xmin) + "," + numberText(s.ymin) + "," + numberText(s.xmax) + "," +
           numberText(s.ymax) + "," + numberText(s.top);
}

const SettingsField<PreviewSettings> kPreviewFields[] = {
    {"tool",
     [](std::string_view value, PreviewSettings &settings) {
         const std::optional<ToolShape> shape = ParseToolShape(value);
         if (shape)
             settings.tool.shape = *shape;
         return shape.has_value();
     },
     [](const PreviewSettings &settings) {
         return std::string(ToolShapeName(settings.tool.shape));
     }},
    {"diameter",
     [](std::string_view value, PreviewSettings &settings) {
         double number = 0;
         const bool ok = readNumber(value, number) && number > 0;
         if (ok)
             settings.tool.diameter = number;
         return ok;
     },
     [](const PreviewSettings &settings) { return numberText(settings.tool.diameter); }},
    {"angle",
     [](std::string_view value, PreviewSettings &settings) {
         double number = 0;
         const bool ok = readNumber(value, number) && number > 0 && number < 180;
         if (ok)
             settings.tool.angle = number;
         return ok;
     },
     [](const PreviewSettings &settings) { return numberText(settings.tool.angle); }},
    {"stock",
     [](std::string_view value, PreviewSettings &settings) {
         settings.stock = ParseStock(value); // what cannot be read is the default: auto
         return value == "auto" || settings.stock.has_value();
     },
     stockText},
    {"resolution",
     [](std::string_view value, PreviewSettings &settings) {
         double number = 0;
         const bool ok = value == "auto" || (readNumber(value, number) && number > 0);
         settings.resolution = ok && value != "auto" ? std::optional(number) : std::nullopt;
         return ok;
     },
     [](const PreviewSettings &settings) {
         return settings.resolution ? numberText(*settings.resolution) : std::string("auto");
     }},
};

} // namespace

PreviewSettings ReadPreviewDat(const std::string &path, bool *damaged) {
    PreviewSettings settings;
    // Lines "T1=flat:6" beside the fields: the tool table.
    const bool bad =
        ReadSettingsFile<PreviewSettings>(path, kPreviewFields, SettingsSyntax::NameAlone, settings,
                                          [](const SettingsLine &line, PreviewSettings &read) {
                                              if (toolNumber(line.name) >= 0)
                                                  return AddToolEntry(line.text, read.tools);
                                              return line.text.empty();
                                          });
    if (damaged)
        *damaged = bad;
    return settings;
}

bool WritePreviewDat(const std::string &path, const PreviewSettings &settings) {
    std::vector<std::string> tools;
    for (const auto &[number, tool] : settings.tools)
        tools.push_back("T" + std::to_string(number) + "=" + ToolText(tool));
    return WriteSettingsFile<PreviewSettings>(path, kPreviewFields, settings, tools);
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
