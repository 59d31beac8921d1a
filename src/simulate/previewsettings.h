#pragma once
// preview.dat beside options.dat: the tool, the stock and the resolution of the machining
// preview, remembered across restarts. Lines "name=value": tool=flat|ball|vbit, diameter=D,
// angle=A, stock=auto or XMIN,YMIN,XMAX,YMAX,ZTOP, resolution=auto or R. A missing file gives
// the defaults, a damaged line its default and a message.

#include "machine/millingtool.h"
#include "simulate/heightfield.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace morvilo {

constexpr const char *kPreviewDatName = "preview.dat";

struct PreviewSettings {
    MillingTool tool;
    std::optional<Stock> stock;       // none: the program's extents plus the tool radius
    std::optional<double> resolution; // none: about kDefaultCells cells
    // The tool of each T number the program changes to (M6); tool before the first change and
    // for a number not in the table. Lines "T1=flat:6" in preview.dat.
    std::map<int, MillingTool> tools;
    bool operator==(const PreviewSettings &) const = default;
};

// A tool table as "T1=flat:6 T2=ball:3" (separated by spaces or commas; the T in any letter
// case), and back. None with the entry that cannot be read in bad when one cannot, or when a
// T number comes twice; T numbers are 0 ... 99999999.
std::optional<std::map<int, MillingTool>> ParseToolTable(std::string_view text,
                                                         std::string *bad = nullptr);
std::string ToolTableText(const std::map<int, MillingTool> &tools);
// One entry "T1=flat:6" into table; false when it cannot be read or its number is there.
bool AddToolEntry(std::string_view entry, std::map<int, MillingTool> &table);

// "XMIN,YMIN,XMAX,YMAX,ZTOP" (locale-free numbers); none unless it is a valid stock.
std::optional<Stock> ParseStock(std::string_view text);

// The defaults where the file is missing or a line cannot be read; damaged (when given) says
// whether a line could not be read.
PreviewSettings ReadPreviewDat(const std::string &path, bool *damaged = nullptr);
// Written atomically; false when it could not be written (the old file stays).
bool WritePreviewDat(const std::string &path, const PreviewSettings &settings);

// The tool of the largest radius among the settings' tools: the default stock grows by it.
MillingTool WidestTool(const PreviewSettings &settings);

// The stock and resolution a preview of lines uses: the given ones or the defaults. None when
// no stock is given and lines has no point to take one from.
struct PreviewGrid {
    Stock stock;
    double resolution;
};
std::optional<PreviewGrid> ChoosePreviewGrid(const PreviewSettings &settings,
                                             const TPlotList &lines);

} // namespace morvilo
