#include "simulate/heightfield.h"

#include "interpreter/toolpoint.h"
#include "vantrel/room.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>

namespace morvilo {

namespace {

// A whole number of cells as text, without a locale: "1500", "1000000000000"; from 10^15 on
// in exponent form ("6e+305") rather than hundreds of digits.
std::string countText(double count) {
    char text[64];
    const auto end =
        count < 1e15 ? std::to_chars(text, text + sizeof text, count, std::chars_format::fixed).ptr
                     : std::to_chars(text, text + sizeof text, count).ptr;
    return std::string(text, end);
}

// The shortest text that reads back as the same double ("-1e+300", "10.5").
std::string numberText(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Two significant digits, rounded up: 0.01234 -> 0.013. A negative power of ten divides, so the
// result is the double nearest to its decimal text.
double roundUpToTwoDigits(double value) {
    const int exponent = int(std::floor(std::log10(value))) - 1;
    const double unit = std::pow(10.0, std::abs(exponent));
    const double rounded = exponent < 0 ? std::ceil(value * unit * (1 - 1e-12)) / unit
                                        : std::ceil(value / unit * (1 - 1e-12)) * unit;
    return rounded > 0 && std::isfinite(rounded) ? rounded : value;
}

} // namespace

bool StockIsValid(const Stock &stock) {
    return StockProblem(stock).empty();
}

UserMessage StockProblem(const Stock &stock) {
    for (const double v : {stock.xmin, stock.ymin, stock.xmax, stock.ymax, stock.top})
        if (!std::isfinite(v))
            return {"Das Rohteil ist ungültig: jeder Wert muss eine endliche Zahl sein.", {}};
    for (const double v : {stock.xmin, stock.ymin, stock.xmax, stock.ymax, stock.top})
        if (!(std::abs(v) <= kMaxStockCoordinate))
            return {"Das Rohteil X %1 bis %2, Y %3 bis %4, Oberseite Z %5 reicht über ±%6 "
                    "hinaus.",
                    {numberText(stock.xmin), numberText(stock.xmax), numberText(stock.ymin),
                     numberText(stock.ymax), numberText(stock.top),
                     countText(kMaxStockCoordinate)}};
    if (!(stock.xmin < stock.xmax && stock.ymin < stock.ymax))
        return {"Das Rohteil ist ungültig: XMIN muss kleiner als XMAX und YMIN kleiner als "
                "YMAX sein.",
                {}};
    return {};
}

std::optional<Stock> DefaultStock(const TPlotList &lines, const MillingTool &tool) {
    TPlotReader reader(lines);
    Stock stock;
    bool any = false;
    for (uint32_t k = 0; k < lines.Count(); ++k) {
        const t9dline &record = reader[k];
        if (AxisCross(record))
            continue;
        const ToolPoint p = ToolPointOf(record);
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return std::nullopt;
        if (!any) {
            stock.xmin = stock.xmax = p.x;
            stock.ymin = stock.ymax = p.y;
            any = true;
        }
        stock.xmin = std::min(stock.xmin, p.x);
        stock.xmax = std::max(stock.xmax, p.x);
        stock.ymin = std::min(stock.ymin, p.y);
        stock.ymax = std::max(stock.ymax, p.y);
    }
    if (!any)
        return std::nullopt;
    const double r = tool.Radius();
    return Stock{stock.xmin - r, stock.ymin - r, stock.xmax + r, stock.ymax + r, 0};
}

double DefaultResolution(const Stock &stock) {
    const double area = (stock.xmax - stock.xmin) * (stock.ymax - stock.ymin);
    const double resolution = std::sqrt(area / kDefaultCells);
    if (!std::isfinite(resolution) || resolution <= 0)
        return resolution;
    return roundUpToTwoDigits(resolution);
}

double GridCells(double length, double resolution) {
    const double quotient = length / resolution;
    const double nearest = std::round(quotient);
    if (std::abs(quotient - nearest) <= 1e-9 * std::max(1.0, nearest))
        return nearest;
    return std::ceil(quotient);
}

bool HeightField::Reset(const Stock &newStock, double newResolution, UserMessage &message) {
    cells = {};
    nx = ny = 0;
    deepestKnown = false;
    if (UserMessage problem = StockProblem(newStock); !problem.empty()) {
        message = std::move(problem);
        return false;
    }
    if (!(newResolution > 0) || !std::isfinite(newResolution)) {
        message = {"Die Auflösung muss größer als 0 sein.", {}};
        return false;
    }
    const double columns = GridCells(newStock.xmax - newStock.xmin, newResolution);
    const double rows = GridCells(newStock.ymax - newStock.ymin, newResolution);
    if (!(columns <= kMaxGridSide && rows <= kMaxGridSide)) {
        message = {"Das Werkstück aus %1 × %2 Zellen ist zu groß: höchstens %3 Zellen in jeder "
                   "Richtung.",
                   {countText(columns), countText(rows), countText(kMaxGridSide)}};
        return false;
    }
    // At most 2^64 bytes: the sides are below 2^31.
    const uint64_t bytes = uint64_t(std::min(columns * rows * sizeof(float), 1.8e19));
    const auto tooLarge = [&](uint64_t available) {
        message = {
            "Das Werkstück aus %1 × %2 Zellen braucht %3 Arbeitsspeicher, frei sind nur %4.",
            {countText(columns), countText(rows), ByteSizeText(bytes), ByteSizeText(available)}};
        return false;
    };
    if (const uint64_t available = AvailableMemory(); bytes > available)
        return tooLarge(available);
    try {
        cells.assign(size_t(columns) * size_t(rows), float(newStock.top));
    } catch (const std::bad_alloc &) {
        cells = {};
        return tooLarge(AvailableMemory());
    }
    stock = newStock;
    resolution = newResolution;
    nx = int32_t(columns);
    ny = int32_t(rows);
    return true;
}

float HeightField::Deepest() const {
    if (cells.empty())
        return float(stock.top);
    if (!deepestKnown) {
        deepest = *std::min_element(cells.begin(), cells.end());
        deepestKnown = true;
    }
    return deepest;
}

double PartBottom(const HeightField &field) {
    const Stock &s = field.GetStock();
    const double deepest = std::min(double(field.Deepest()), s.top);
    return deepest - std::max(s.top - deepest, 0.02 * std::max(s.xmax - s.xmin, s.ymax - s.ymin));
}

} // namespace morvilo
