#pragma once
// The machined part written to files: the surface as a closed binary STL solid and the height
// field as a 32-bit float map (PFM). Both go into an output file the caller opened, so that the
// old file is replaced only when the new one is complete.

#include "simulate/heightfield.h"
#include "vantrel/usermessage.h"

#include <functional>
#include <string>

namespace morvilo {

class OutputFile;

// Writes a file of the part into path through write, replacing an old file only once the new
// one is complete. False with message when the file cannot be created or written (with the
// file's name and the system's reason, which describe gives for the error number in the
// caller's language) or when write refuses (its own message); the old file stays then.
bool SavePart(const std::string &path,
              const std::function<bool(OutputFile &, UserMessage &)> &write,
              const std::function<std::string(int)> &describe, UserMessage &message);

// Binary STL, little-endian: the top surface through the cell centres (two triangles between
// four neighbouring centres; flat areas, where such squares have one height, merged into
// rectangles of a few triangles), the walls down from its border to the flat bottom at
// PartBottom(field), and the bottom, fanned from its middle. Every edge is shared by exactly two
// triangles, in opposite directions, every triangle turns counter-clockwise seen from outside,
// and the surface passes through every centre at its height. False with the reason in message when
// the field has fewer than 2 x 2 cells or too many for an STL file's triangle count.
bool WriteStl(const HeightField &field, OutputFile &out, UserMessage &message);

// The number of triangles WriteStl writes; 0 when it cannot write the field.
uint64_t StlTriangles(const HeightField &field);

// PFM: "Pf\n", "WIDTH HEIGHT\n", "-1.0\n" (little-endian), then the cells as floats, row by
// row from the stock's lowest Y upwards.
void WritePfm(const HeightField &field, OutputFile &out);

} // namespace morvilo
