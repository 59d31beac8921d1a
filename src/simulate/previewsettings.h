#pragma once
// preview.dat beside options.dat: the tool, the stock and the resolution of the machining
// preview, remembered across restarts. Lines "name=value": tool=flat|ball|vbit, diameter=D,
// angle=A, stock=auto or XMIN,YMIN,XMAX,YMAX,ZTOP, resolution=auto or R. A missing file gives
// the defaults, a damaged line its default and a message.

#include "simulate/heightfield.h"
#include "machine/millingtool.h"

#include <optional>
#include <string>
#include <string_view>

namespace morvilo {

constexpr const char *kPreviewDatName = "preview.dat";

struct PreviewSettings {
    MillingTool tool;
    std::optional<Stock> stock;       // none: the program's extents plus the tool radius
    std::optional<double> resolution; // none: about kDefaultCells cells
    bool operator==(const PreviewSettings &) const = default;
};

// "XMIN,YMIN,XMAX,YMAX,ZTOP" (locale-free numbers); none unless it is a valid stock.
std::optional<Stock> ParseStock(std::string_view text);

// The defaults where the file is missing or a line cannot be read; damaged (when given) says
// whether a line could not be read.
PreviewSettings ReadPreviewDat(const std::string &path, bool *damaged = nullptr);
// Written atomically; false when it could not be written (the old file stays).
bool WritePreviewDat(const std::string &path, const PreviewSettings &settings);

// The stock and resolution a preview of lines uses: the given ones or the defaults. None when
// no stock is given and lines has no point to take one from.
struct PreviewGrid {
    Stock stock;
    double resolution;
};
std::optional<PreviewGrid> ChoosePreviewGrid(const PreviewSettings &settings,
                                             const TPlotList &lines);

} // namespace morvilo
