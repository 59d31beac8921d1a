#pragma once
// The machined part as a height field over the stock: a regular grid of square cells of the
// resolution R, cell (i, j) centred at (xmin + (i + 1/2) R, ymin + (j + 1/2) R), with
// i = 0 ... ceil((xmax - xmin) / R) - 1 and likewise j. Each cell holds the height of the part's
// surface at its centre as a float, row j = 0 (at ymin) first, 4 bytes a cell and nothing more.

#include "interpreter/plotlist.h"
#include "machine/millingtool.h"
#include "vantrel/usermessage.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace morvilo {

struct Stock {
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    double top = 0; // Z of the stock's top face
    bool operator==(const Stock &) const = default;
};

// The largest size of a stock coordinate (its sides and its top): far beyond any machine, and
// far within the range of the cells' float heights and of the sums over the grid.
inline constexpr double kMaxStockCoordinate = 1e9;

// Every value finite and within ±kMaxStockCoordinate, xmin < xmax and ymin < ymax.
bool StockIsValid(const Stock &stock);

// Empty for a valid stock; otherwise what is wrong with it (German, with its values).
UserMessage StockProblem(const Stock &stock);

// The stock a program is milled from when the user gives none: the X/Y extents of every point of
// the plot list (the interpreter's axis cross left out) grown by the tool's radius, top at Z 0.
// None when the list holds no point or a coordinate that is not finite. A stock beyond
// kMaxStockCoordinate is given as it is, so that HeightField::Reset says what it reaches.
std::optional<Stock> DefaultStock(const TPlotList &lines, const MillingTool &tool);

// The number of cells the default resolution aims at.
inline constexpr double kDefaultCells = 4e6;

// The resolution that gives the stock about kDefaultCells cells, rounded up to two significant
// digits.
double DefaultResolution(const Stock &stock);

// The grid's columns or rows over a length: ceil(length / resolution), where a quotient within a
// billionth of a whole number is taken as that number, so that rounding in the length does not
// add a column (3 * 0.1 / 0.1 is 3.0000000000000004: 3 columns, not 4). A double, as a grid
// that is asked for may be far too large for any integer.
double GridCells(double length, double resolution);

// The most columns or rows of a grid.
inline constexpr int32_t kMaxGridSide = INT32_MAX;

class HeightField {
public:
    HeightField() = default;

    // An untouched part: every cell at the stock's top. False with the reason in message when
    // the stock or resolution is not usable or the grid does not fit the memory left; the field
    // is empty then.
    bool Reset(const Stock &stock, double resolution, UserMessage &message);

    const Stock &GetStock() const { return stock; }
    double Resolution() const { return resolution; }
    int32_t Columns() const { return nx; }
    int32_t Rows() const { return ny; }
    uint64_t CellCount() const { return uint64_t(nx) * uint64_t(ny); }
    bool Empty() const { return cells.empty(); }

    double CellX(int32_t i) const { return stock.xmin + (i + 0.5) * resolution; }
    double CellY(int32_t j) const { return stock.ymin + (j + 0.5) * resolution; }
    float At(int32_t i, int32_t j) const { return cells[size_t(j) * size_t(nx) + size_t(i)]; }
    const float *Row(int32_t j) const { return cells.data() + size_t(j) * size_t(nx); }
    // The cells for writing, row by row; the deepest cell is looked for again afterwards.
    float *Writable() {
        deepestKnown = false;
        return cells.data();
    }
    const std::vector<float> &Cells() const { return cells; }

    // The lowest cell; the stock's top for an untouched part. Found once after each change.
    float Deepest() const;

private:
    Stock stock;
    double resolution = 0;
    int32_t nx = 0, ny = 0;
    std::vector<float> cells;
    mutable float deepest = 0;
    mutable bool deepestKnown = false;
};

// The Z of the part's flat bottom in exports and pictures: below the deepest cell by the depth
// of the cut, or by a fiftieth of the stock's longer side when that is more, so that the part
// reads as a plate.
double PartBottom(const HeightField &field);

} // namespace morvilo
