#include "simulate/partexport.h"

#include "vantrel/outputfile.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace morvilo {

namespace {

char *putUint32(char *at, uint32_t value) {
    for (int k = 0; k < 4; ++k)
        *at++ = char(value >> (8 * k));
    return at;
}

char *putFloat(char *at, float value) {
    return putUint32(at, std::bit_cast<uint32_t>(value));
}

struct Vertex {
    float x, y, z;
};

constexpr size_t kTriangleBytes = 50;

void putTriangle(OutputFile &out, const Vertex &a, const Vertex &b, const Vertex &c) {
    // The facet normal, from the corners as they are written.
    const double ux = double(b.x) - a.x, uy = double(b.y) - a.y, uz = double(b.z) - a.z;
    const double vx = double(c.x) - a.x, vy = double(c.y) - a.y, vz = double(c.z) - a.z;
    double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (length > 0) {
        nx /= length;
        ny /= length;
        nz /= length;
    }
    char *at = out.Reserve(kTriangleBytes);
    for (const float v :
         {float(nx), float(ny), float(nz), a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z})
        at = putFloat(at, v);
    at[0] = at[1] = 0; // attribute byte count
    out.Advance(kTriangleBytes);
}

// The cells of the field's border, counter-clockwise seen from above, starting at (0, 0).
std::vector<std::pair<int32_t, int32_t>> borderCells(int32_t nx, int32_t ny) {
    std::vector<std::pair<int32_t, int32_t>> border;
    border.reserve(2 * size_t(nx - 1) + 2 * size_t(ny - 1));
    for (int32_t i = 0; i < nx - 1; ++i)
        border.emplace_back(i, 0);
    for (int32_t j = 0; j < ny - 1; ++j)
        border.emplace_back(nx - 1, j);
    for (int32_t i = nx - 1; i > 0; --i)
        border.emplace_back(i, ny - 1);
    for (int32_t j = ny - 1; j > 0; --j)
        border.emplace_back(0, j);
    return border;
}

} // namespace

uint64_t StlTriangles(const HeightField &field) {
    const int64_t nx = field.Columns(), ny = field.Rows();
    if (nx < 2 || ny < 2)
        return 0;
    const uint64_t border = 2 * uint64_t(nx - 1) + 2 * uint64_t(ny - 1);
    const uint64_t triangles = 2 * uint64_t(nx - 1) * uint64_t(ny - 1) + 3 * border;
    return triangles <= UINT32_MAX ? triangles : 0;
}

bool WriteStl(const HeightField &field, OutputFile &out, UserMessage &message) {
    const int32_t nx = field.Columns(), ny = field.Rows();
    if (nx < 2 || ny < 2) {
        message = {"Für eine STL-Datei braucht das Werkstück mindestens 2 × 2 Zellen.", {}};
        return false;
    }
    const uint64_t triangles = StlTriangles(field);
    if (triangles == 0) {
        message = {"Das Werkstück hat zu viele Zellen für eine STL-Datei: höchstens %1 Dreiecke.",
                   {std::to_string(UINT32_MAX)}};
        return false;
    }
    // Neighbouring centres must stay apart in float coordinates, or triangles would collapse;
    // the spacing of floats is widest at the largest magnitudes, which lie at the ends.
    const auto apart = [](double a, double b) { return float(a) != float(b); };
    if (!apart(field.CellX(0), field.CellX(1)) ||
        !apart(field.CellX(nx - 2), field.CellX(nx - 1)) ||
        !apart(field.CellY(0), field.CellY(1)) ||
        !apart(field.CellY(ny - 2), field.CellY(ny - 1))) {
        message = {"Die Auflösung ist für die Koordinaten des Werkstücks zu fein, um sie in einer "
                   "STL-Datei zu unterscheiden.",
                   {}};
        return false;
    }
    char header[80] = {};
    std::memcpy(header, "Morvilo machined part", 21);
    out.Write(std::string_view(header, sizeof header));
    char count[4];
    putUint32(count, uint32_t(triangles));
    out.Write(std::string_view(count, sizeof count));

    const auto top = [&](int32_t i, int32_t j) {
        return Vertex{float(field.CellX(i)), float(field.CellY(j)), field.At(i, j)};
    };
    for (int32_t j = 0; j + 1 < ny; ++j)
        for (int32_t i = 0; i + 1 < nx; ++i) {
            const Vertex a = top(i, j), b = top(i + 1, j), c = top(i + 1, j + 1), d = top(i, j + 1);
            putTriangle(out, a, b, c);
            putTriangle(out, a, c, d);
        }
    const float bottom = float(PartBottom(field));
    const auto below = [&](int32_t i, int32_t j) {
        return Vertex{float(field.CellX(i)), float(field.CellY(j)), bottom};
    };
    const Vertex middle{float((field.CellX(0) + field.CellX(nx - 1)) / 2),
                        float((field.CellY(0) + field.CellY(ny - 1)) / 2), bottom};
    const auto border = borderCells(nx, ny);
    for (size_t k = 0; k < border.size(); ++k) {
        const auto [pi, pj] = border[k];
        const auto [qi, qj] = border[(k + 1) % border.size()];
        const Vertex p = top(pi, pj), q = top(qi, qj), pb = below(pi, pj), qb = below(qi, qj);
        putTriangle(out, q, p, pb); // the wall under the border edge p -> q
        putTriangle(out, q, pb, qb);
        putTriangle(out, middle, qb, pb); // the bottom, seen from below
    }
    return true;
}

bool SavePart(const std::string &path,
              const std::function<bool(OutputFile &, UserMessage &)> &write,
              const std::function<std::string(int)> &describe, UserMessage &message) {
    OutputFile file;
    if (!file.Open(path, OutputFile::Mode::Replace)) {
        message = {"%1 kann nicht angelegt werden: %2", {path, describe(file.ErrorNumber())}};
        return false;
    }
    if (!write(file, message)) {
        file.Abandon();
        return false;
    }
    if (!file.Commit()) {
        message = {"%1 kann nicht geschrieben werden: %2", {path, describe(file.ErrorNumber())}};
        return false;
    }
    return true;
}

void WritePfm(const HeightField &field, OutputFile &out) {
    out.Write("Pf\n" + std::to_string(field.Columns()) + " " + std::to_string(field.Rows()) +
              "\n-1.0\n");
    constexpr int32_t kChunk = 16384;
    for (int32_t j = 0; j < field.Rows(); ++j) {
        const float *row = field.Row(j);
        for (int32_t i = 0; i < field.Columns(); i += kChunk) {
            const int32_t n = std::min(kChunk, field.Columns() - i);
            char *at = out.Reserve(size_t(n) * 4);
            for (int32_t k = 0; k < n; ++k)
                at = putFloat(at, row[i + k]);
            out.Advance(size_t(n) * 4);
        }
    }
}

} // namespace morvilo
