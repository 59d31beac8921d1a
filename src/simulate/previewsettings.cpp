#include "simulate/previewsettings.h"

#include "settings/settingsfiles.h"
#include "vantrel/numbertext.h"

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

} // namespace

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
    return WriteTextLines(path,
                          {std::string("tool=") + ToolShapeName(settings.tool.shape),
                           "diameter=" + numberText(settings.tool.diameter),
                           "angle=" + numberText(settings.tool.angle),
                           "stock=" + (s ? numberText(s->xmin) + "," + numberText(s->ymin) + "," +
                                               numberText(s->xmax) + "," + numberText(s->ymax) +
                                               "," + numberText(s->top)
                                         : std::string("auto")),
                           "resolution=" + (settings.resolution ? numberText(*settings.resolution)
                                                                : std::string("auto"))});
}

std::optional<PreviewGrid> ChoosePreviewGrid(const PreviewSettings &settings,
                                             const TPlotList &lines) {
    std::optional<Stock> stock = settings.stock;
    if (!stock)
        stock = DefaultStock(lines, settings.tool);
    if (!stock)
        return std::nullopt;
    return PreviewGrid{*stock, settings.resolution.value_or(DefaultResolution(*stock))};
}

} // namespace morvilo
