#pragma once
// DXF export of the backplot: the tool path of the plot list as an ASCII DXF drawing, one 3D
// polyline for every connected run of drawn segments. The coordinates are world coordinates after
// the rotary and secondary axes (koordmat3), independent of the view, the zoom and the lathe
// display mode. Lines end in CR LF; numbers are floattostr texts.

#include "interpreter/plotlist.h"

#include <string>

namespace morvilo {

class OutputFile;

// Writes the drawing into an opened output file; the caller commits it. False (with the reason
// in error) when the plot list holds a point that has no number text (not finite); what was
// written then is incomplete and must be abandoned. Write errors are left in the output file.
bool WriteDXF(const TPlotList &lines, OutputFile &out, std::string &error);

// Writes the drawing into fileName. An existing file is replaced only once the whole drawing is
// on the disk, so a failed export leaves it as it was. Returns an empty text on success, else
// why the file could not be created or written.
std::string DXFExport(const TPlotList &lines, const std::string &fileName);

} // namespace morvilo
