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

// The top surface planned for writing. A square between four neighbouring centres of equal
// height is flat; flat squares of one height are merged into rectangles, greedily, row by row.
// A corner of a rectangle or of a square left alone is a vertex every face on it must use: each
// rectangle's outline runs through every such vertex on its sides, so neighbouring faces meet
// edge to edge, without a crack at a T-junction, and the walls meet the top in the same pieces. A
// rectangle with only its four corners is two triangles, one with more a fan from its middle to
// each piece of its outline.
class TopSurface {
public:
    explicit TopSurface(const HeightField &field)
        : field(field), nx(field.Columns()), ny(field.Rows()),
          merged(size_t(nx - 1) * size_t(ny - 1)), needed(size_t(nx) * size_t(ny)) {
        mergeFlatSquares();
        markNeededVertices();
        triangles = 2 * (uint64_t(nx - 1) * uint64_t(ny - 1) - mergedSquares);
        for (const Rectangle &r : rectangles)
            triangles += fanPieces(r);
    }

    uint64_t Triangles() const { return triangles; }

    // The vertices of the top's outline, counter-clockwise seen from above from (0, 0): the walls
    // go down from each piece between two of them, and the bottom is fanned to the same pieces.
    // Between two of them the top is one flat rectangle's side, so its wall is one rectangle.
    std::vector<std::pair<int32_t, int32_t>> Border() const {
        std::vector<std::pair<int32_t, int32_t>> border;
        for (const auto &[i, j] : borderCells(nx, ny))
            if (needed[vertex(i, j)])
                border.emplace_back(i, j);
        return border;
    }

    template <typename Put, typename Top> void Write(const Put &put, const Top &top) const {
        for (int32_t j = 0; j + 1 < ny; ++j)
            for (int32_t i = 0; i + 1 < nx; ++i)
                if (!merged[square(i, j)]) {
                    const auto a = top(i, j), b = top(i + 1, j), c = top(i + 1, j + 1),
                               d = top(i, j + 1);
                    put(a, b, c);
                    put(a, c, d);
                }
        std::vector<std::pair<int32_t, int32_t>> outline;
        for (const Rectangle &r : rectangles) {
            outline.clear();
            forOutline(r, [&](int32_t i, int32_t j) { outline.emplace_back(i, j); });
            if (outline.size() == 4) {
                const auto a = top(r.i0, r.j0), b = top(r.i1, r.j0), c = top(r.i1, r.j1),
                           d = top(r.i0, r.j1);
                put(a, b, c);
                put(a, c, d);
                continue;
            }
            auto middle = top(r.i0, r.j0);
            middle.x = float((field.CellX(r.i0) + field.CellX(r.i1)) / 2);
            middle.y = float((field.CellY(r.j0) + field.CellY(r.j1)) / 2);
            for (size_t k = 0; k < outline.size(); ++k) {
                const auto [pi, pj] = outline[k];
                const auto [qi, qj] = outline[(k + 1) % outline.size()];
                put(middle, top(pi, pj), top(qi, qj));
            }
        }
    }

private:
    // Corner centres (i0, j0) to (i1, j1), i0 < i1 and j0 < j1.
    struct Rectangle {
        int32_t i0, j0, i1, j1;
    };

    size_t square(int32_t i, int32_t j) const { return size_t(j) * size_t(nx - 1) + size_t(i); }
    size_t vertex(int32_t i, int32_t j) const { return size_t(j) * size_t(nx) + size_t(i); }

    bool flatAt(int32_t i, int32_t j, float height) const {
        return !merged[square(i, j)] && field.At(i, j) == height && field.At(i + 1, j) == height &&
               field.At(i, j + 1) == height && field.At(i + 1, j + 1) == height;
    }

    void mergeFlatSquares() {
        for (int32_t j = 0; j + 1 < ny; ++j)
            for (int32_t i = 0; i + 1 < nx; ++i) {
                const float height = field.At(i, j);
                if (!flatAt(i, j, height))
                    continue;
                int32_t i1 = i + 1;
                while (i1 + 1 < nx && flatAt(i1, j, height))
                    ++i1;
                int32_t j1 = j + 1;
                const auto rowFlat = [&](int32_t row) {
                    for (int32_t k = i; k < i1; ++k)
                        if (!flatAt(k, row, height))
                            return false;
                    return true;
                };
                while (j1 + 1 < ny && rowFlat(j1))
                    ++j1;
                if (i1 - i == 1 && j1 - j == 1)
                    continue; // a single square stays two triangles of its own
                for (int32_t b = j; b < j1; ++b)
                    for (int32_t a = i; a < i1; ++a)
                        merged[square(a, b)] = true;
                mergedSquares += uint64_t(i1 - i) * uint64_t(j1 - j);
                rectangles.push_back({i, j, i1, j1});
            }
    }

    void markNeededVertices() {
        const auto mark = [&](int32_t i, int32_t j) { needed[vertex(i, j)] = true; };
        for (int32_t j = 0; j + 1 < ny; ++j)
            for (int32_t i = 0; i + 1 < nx; ++i)
                if (!merged[square(i, j)]) {
                    mark(i, j);
                    mark(i + 1, j);
                    mark(i, j + 1);
                    mark(i + 1, j + 1);
                }
        for (const Rectangle &r : rectangles) {
            mark(r.i0, r.j0);
            mark(r.i1, r.j0);
            mark(r.i1, r.j1);
            mark(r.i0, r.j1);
        }
    }

    // The needed vertices on the rectangle's outline, counter-clockwise seen from above, from
    // its corner (i0, j0).
    template <typename Visit> void forOutline(const Rectangle &r, const Visit &visit) const {
        const auto at = [&](int32_t i, int32_t j) {
            if (needed[vertex(i, j)])
                visit(i, j);
        };
        for (int32_t i = r.i0; i < r.i1; ++i)
            at(i, r.j0);
        for (int32_t j = r.j0; j < r.j1; ++j)
            at(r.i1, j);
        for (int32_t i = r.i1; i > r.i0; --i)
            at(i, r.j1);
        for (int32_t j = r.j1; j > r.j0; --j)
            at(r.i0, j);
    }

    uint64_t fanPieces(const Rectangle &r) const {
        uint64_t pieces = 0;
        forOutline(r, [&](int32_t, int32_t) { ++pieces; });
        return pieces == 4 ? 2 : pieces;
    }

    const HeightField &field;
    int32_t nx, ny;
    std::vector<bool> merged; // per square, lower left centre (i, j)
    std::vector<bool> needed; // per centre
    std::vector<Rectangle> rectangles;
    uint64_t mergedSquares = 0;
    uint64_t triangles = 0;
};

} // namespace

uint64_t StlTriangles(const HeightField &field) {
    if (field.Columns() < 2 || field.Rows() < 2)
        return 0;
    const TopSurface surface(field);
    const uint64_t triangles = surface.Triangles() + 3 * surface.Border().size();
    return triangles <= UINT32_MAX ? triangles : 0;
}

bool WriteStl(const HeightField &field, OutputFile &out, UserMessage &message) {
    const int32_t nx = field.Columns(), ny = field.Rows();
    if (nx < 2 || ny < 2) {
        message = {"Für eine STL-Datei braucht das Werkstück mindestens 2 × 2 Zellen.", {}};
        return false;
    }
    // Neighbouring centres, and the middle between them where a merged rectangle is fanned,
    // must stay apart in float coordinates, or triangles would collapse; the spacing of floats
    // is widest at the largest magnitudes, which lie at the ends.
    const double half = field.Resolution() / 2;
    const auto apart = [&](double a) { return float(a) != float(a + half); };
    if (!apart(field.CellX(0)) || !apart(field.CellX(nx - 2)) ||
        !apart(field.CellX(nx - 1) - half) || !apart(field.CellY(0)) ||
        !apart(field.CellY(ny - 2)) || !apart(field.CellY(ny - 1) - half)) {
        message = {"Die Auflösung ist für die Koordinaten des Werkstücks zu fein, um sie in einer "
                   "STL-Datei zu unterscheiden.",
                   {}};
        return false;
    }
    const TopSurface surface(field);
    const std::vector<std::pair<int32_t, int32_t>> border = surface.Border();
    const uint64_t triangles = surface.Triangles() + 3 * border.size();
    if (triangles > UINT32_MAX) {
        message = {"Das Werkstück hat zu viele Zellen für eine STL-Datei: höchstens %1 Dreiecke.",
                   {std::to_string(UINT32_MAX)}};
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
    const auto put = [&](const Vertex &a, const Vertex &b, const Vertex &c) {
        putTriangle(out, a, b, c);
    };
    surface.Write(put, top);
    const float bottom = float(PartBottom(field));
    const auto below = [&](int32_t i, int32_t j) {
        return Vertex{float(field.CellX(i)), float(field.CellY(j)), bottom};
    };
    const Vertex middle{float((field.CellX(0) + field.CellX(nx - 1)) / 2),
                        float((field.CellY(0) + field.CellY(ny - 1)) / 2), bottom};
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
