#include "view/partimage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace morvilo {

namespace {

constexpr int kFitMargin = 25;

// A point on the screen: pixel x, y and the depth (smaller is nearer the viewer).
struct ScreenPoint {
    double x, y, z;
};

ScreenPoint project(const tmat44 &m, double x, double y, double z) {
    return {x * m[0][0] + y * m[1][0] + z * m[2][0] + m[3][0],
            x * m[0][1] + y * m[1][1] + z * m[2][1] + m[3][1],
            x * m[0][2] + y * m[1][2] + z * m[2][2] + m[3][2]};
}

// The colour for a share of the deepest cut: 0 the untouched stock, 1 the deepest point.
std::array<double, 3> depthColour(double share) {
    constexpr double stops[3][3] = {{232, 208, 164}, {208, 134, 72}, {118, 48, 38}};
    const double s = std::clamp(share, 0.0, 1.0) * 2;
    const int k = std::min(int(s), 1);
    const double f = s - k;
    return {stops[k][0] + f * (stops[k + 1][0] - stops[k][0]),
            stops[k][1] + f * (stops[k + 1][1] - stops[k][1]),
            stops[k][2] + f * (stops[k + 1][2] - stops[k][2])};
}

class Rasteriser {
public:
    explicit Rasteriser(QImage &image)
        : image(image), width(image.width()), height(image.height()),
          depth(size_t(width) * size_t(height), std::numeric_limits<float>::infinity()) {}

    // A triangle in one colour, lit by the light from the viewer: the brightness follows the
    // cosine between its normal and the line of sight.
    void Triangle(const ScreenPoint &a, const ScreenPoint &b, const ScreenPoint &c,
                  const std::array<double, 3> &colour) {
        const double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        if (area == 0 || !std::isfinite(area))
            return;
        const double x0 = std::max(0.0, std::ceil(std::min({a.x, b.x, c.x})));
        const double x1 = std::min(width - 1.0, std::floor(std::max({a.x, b.x, c.x})));
        const double y0 = std::max(0.0, std::ceil(std::min({a.y, b.y, c.y})));
        const double y1 = std::min(height - 1.0, std::floor(std::max({a.y, b.y, c.y})));
        if (x0 > x1 || y0 > y1)
            return;
        const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
        const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
        const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz;
        const double light = std::abs(area) / std::sqrt(nx * nx + ny * ny + area * area);
        const double shade = 0.25 + 0.75 * light;
        const QRgb pixel =
            qRgb(int(colour[0] * shade), int(colour[1] * shade), int(colour[2] * shade));
        const double sign = area > 0 ? 1 : -1;
        const double inverse = 1 / area;
        for (int y = int(y0); y <= int(y1); ++y) {
            QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            float *zline = depth.data() + size_t(y) * size_t(width);
            for (int x = int(x0); x <= int(x1); ++x) {
                // the weights of the corners at the pixel, of the sign of the area inside
                const double wa = (b.x - x) * (c.y - y) - (b.y - y) * (c.x - x);
                const double wb = (c.x - x) * (a.y - y) - (c.y - y) * (a.x - x);
                const double wc = area - wa - wb;
                if (wa * sign < 0 || wb * sign < 0 || wc * sign < 0)
                    continue;
                const float z = float((wa * a.z + wb * b.z + wc * c.z) * inverse);
                if (z < zline[x]) {
                    zline[x] = z;
                    line[x] = pixel;
                    if (!shows.empty())
                        shows[size_t(y) * size_t(width) + size_t(x)] = drawingSurface;
                }
            }
        }
    }

    // For picking: from now on, remember for each pixel whether the surface is seen there.
    void RecordSurface() { shows.assign(depth.size(), 0); }
    bool drawingSurface = true;
    // The depth and the surface mark at a pixel inside the picture.
    float DepthAt(int x, int y) const { return depth[size_t(y) * size_t(width) + size_t(x)]; }
    bool SurfaceAt(int x, int y) const {
        return !shows.empty() && shows[size_t(y) * size_t(width) + size_t(x)] != 0;
    }

private:
    QImage &image;
    int width, height;
    std::vector<float> depth;
    std::vector<uint8_t> shows;
};

// Every step-th index from 0 and the last one.
std::vector<int32_t> sampled(int32_t count, int32_t step) {
    std::vector<int32_t> indexes;
    for (int32_t k = 0; k < count; k += step)
        indexes.push_back(k);
    if (indexes.back() != count - 1)
        indexes.push_back(count - 1);
    return indexes;
}

} // namespace

void FitPartView(ViewState &view, const HeightField &field, int width, int height) {
    if (field.Empty() || width <= 0 || height <= 0)
        return;
    const Stock &s = field.GetStock();
    const tmat44 rotation = RotationMatrix(view);
    double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
    for (const double x : {s.xmin, s.xmax})
        for (const double y : {s.ymin, s.ymax})
            for (const double z : {s.top, PartBottom(field)}) {
                const ScreenPoint p = project(rotation, x, y, z);
                x0 = std::min(x0, p.x);
                x1 = std::max(x1, p.x);
                y0 = std::min(y0, p.y);
                y1 = std::max(y1, p.y);
            }
    const int margin = std::min(kFitMargin, std::min(width, height) / 8);
    double zoom = std::min((width - 2 * margin) / std::max(x1 - x0, 1e-300),
                           (height - 2 * margin) / std::max(y1 - y0, 1e-300));
    view.zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    view.tx = -(x0 + x1) / 2 * view.zoom;
    view.ty = -(y0 + y1) / 2 * view.zoom;
}

namespace {

// The part through the view matrix m into raster's picture (filled with black before).
void drawPart(Rasteriser &raster, QImage &image, const HeightField &field, const tmat44 &m,
              double zoom) {
    const Stock &s = field.GetStock();
    const double deepest = field.Deepest();
    const double range = s.top - deepest;
    const auto colourAt = [&](double z) {
        return depthColour(range > 0 ? (s.top - z) / range : 0);
    };
    // about one pixel between drawn cells
    const double cellPixels = field.Resolution() * zoom;
    const int32_t step =
        cellPixels >= 1 ? 1 : int32_t(std::min(1.0 / cellPixels, double(INT32_MAX / 2)));
    const std::vector<int32_t> columns = sampled(field.Columns(), step);
    const std::vector<int32_t> rows = sampled(field.Rows(), step);
    const auto surface = [&](int32_t i, int32_t j) {
        return project(m, field.CellX(i), field.CellY(j), field.At(i, j));
    };

    // The surface in tiles of sampled cells; a tile whose box (down to the deepest cell) lies
    // outside the picture is passed over, so a zoomed-in view costs what it shows.
    const double deepestZ = std::min(deepest, s.top);
    const auto outside = [&](size_t c0, size_t c1, size_t r0, size_t r1) {
        double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
        for (const int32_t i : {columns[c0], columns[c1]})
            for (const int32_t j : {rows[r0], rows[r1]})
                for (const double z : {deepestZ, s.top}) {
                    const ScreenPoint p = project(m, field.CellX(i), field.CellY(j), z);
                    x0 = std::min(x0, p.x);
                    x1 = std::max(x1, p.x);
                    y0 = std::min(y0, p.y);
                    y1 = std::max(y1, p.y);
                }
        return x1 < 0 || y1 < 0 || x0 > image.width() - 1 || y0 > image.height() - 1;
    };
    constexpr size_t kTile = 64;
    std::vector<ScreenPoint> below(kTile + 1), above(kTile + 1);
    for (size_t r0 = 0; r0 + 1 < rows.size(); r0 += kTile) {
        const size_t r1 = std::min(rows.size() - 1, r0 + kTile);
        for (size_t c0 = 0; c0 + 1 < columns.size(); c0 += kTile) {
            const size_t c1 = std::min(columns.size() - 1, c0 + kTile);
            if (outside(c0, c1, r0, r1))
                continue;
            for (size_t c = c0; c <= c1; ++c)
                below[c - c0] = surface(columns[c], rows[r0]);
            for (size_t r = r0 + 1; r <= r1; ++r) {
                for (size_t c = c0; c <= c1; ++c)
                    above[c - c0] = surface(columns[c], rows[r]);
                for (size_t c = c0; c < c1; ++c) {
                    const int32_t i0 = columns[c], i1 = columns[c + 1], j0 = rows[r - 1],
                                  j1 = rows[r];
                    const double z = (field.At(i0, j0) + field.At(i1, j0) + field.At(i1, j1) +
                                      field.At(i0, j1)) /
                                     4.0;
                    const auto colour = colourAt(z);
                    const size_t k = c - c0;
                    raster.Triangle(below[k], below[k + 1], above[k + 1], colour);
                    raster.Triangle(below[k], above[k + 1], above[k], colour);
                }
                std::swap(below, above);
            }
        }
    }

    // The walls along the border and the bottom, in the stock's colour.
    raster.drawingSurface = false;
    const double bottom = PartBottom(field);
    const auto stockColour = depthColour(0);
    const auto wall = [&](int32_t i0, int32_t j0, int32_t i1, int32_t j1) {
        const ScreenPoint p = surface(i0, j0), q = surface(i1, j1);
        const ScreenPoint pb = project(m, field.CellX(i0), field.CellY(j0), bottom);
        const ScreenPoint qb = project(m, field.CellX(i1), field.CellY(j1), bottom);
        raster.Triangle(p, q, qb, stockColour);
        raster.Triangle(p, qb, pb, stockColour);
    };
    const int32_t lastColumn = field.Columns() - 1, lastRow = field.Rows() - 1;
    for (size_t c = 0; c + 1 < columns.size(); ++c) {
        wall(columns[c], 0, columns[c + 1], 0);
        wall(columns[c], lastRow, columns[c + 1], lastRow);
    }
    for (size_t r = 0; r + 1 < rows.size(); ++r) {
        wall(0, rows[r], 0, rows[r + 1]);
        wall(lastColumn, rows[r], lastColumn, rows[r + 1]);
    }
    const ScreenPoint corners[4] = {
        project(m, field.CellX(0), field.CellY(0), bottom),
        project(m, field.CellX(lastColumn), field.CellY(0), bottom),
        project(m, field.CellX(lastColumn), field.CellY(lastRow), bottom),
        project(m, field.CellX(0), field.CellY(lastRow), bottom)};
    raster.Triangle(corners[0], corners[1], corners[2], stockColour);
    raster.Triangle(corners[0], corners[2], corners[3], stockColour);
}

} // namespace

void PaintPart(QImage &image, const HeightField &field, const ViewState &view) {
    image.fill(Qt::black);
    if (field.Empty() || image.isNull())
        return;
    Rasteriser raster(image);
    drawPart(raster, image, field, ViewMatrix(view, image.width(), image.height()), view.zoom);
}

void PartPixelBox(ViewState &view, const HeightField &field, int width, int height) {
    ClearPixelBox(view);
    if (field.Empty())
        return;
    const tmat44 m = ViewMatrix(view, width, height);
    const Stock &s = field.GetStock();
    for (const double x : {s.xmin, s.xmax})
        for (const double y : {s.ymin, s.ymax})
            for (const double z : {s.top, PartBottom(field)}) {
                const ScreenPoint p = project(m, x, y, z);
                const auto pixel = [](double v) {
                    return int32_t(std::clamp(std::rint(v), -2e9, 2e9));
                };
                ExtendPixelBox(view, pixel(p.x), pixel(p.y));
            }
}

std::optional<std::pair<int32_t, int32_t>>
PickPartCell(const HeightField &field, const ViewState &view, int width, int height, QPoint pixel) {
    if (field.Empty() || width <= 0 || height <= 0 || pixel.x() < 0 || pixel.y() < 0 ||
        pixel.x() >= width || pixel.y() >= height)
        return std::nullopt;
    QImage image(width, height, kPartFormat);
    image.fill(Qt::black);
    Rasteriser raster(image);
    raster.RecordSurface();
    const tmat44 m = ViewMatrix(view, width, height);
    drawPart(raster, image, field, m, view.zoom);
    if (!raster.SurfaceAt(pixel.x(), pixel.y()))
        return std::nullopt;
    // Back from the screen (pixel and depth) to the world through the adjugate.
    tmat44 inverse;
    MatrixInvertieren(m, inverse);
    const double p[4] = {double(pixel.x()), double(pixel.y()),
                         double(raster.DepthAt(pixel.x(), pixel.y())), 1};
    double world[4] = {0, 0, 0, 0};
    for (int k = 0; k < 4; ++k)
        for (int r = 0; r < 4; ++r)
            world[k] += p[r] * inverse[r][k];
    if (world[3] == 0)
        return std::nullopt;
    const Stock &s = field.GetStock();
    const auto cell = [&](double v, double origin, int32_t count) {
        return int32_t(
            std::clamp(std::floor((v - origin) / field.Resolution()), 0.0, double(count - 1)));
    };
    return std::pair{cell(world[0] / world[3], s.xmin, field.Columns()),
                     cell(world[1] / world[3], s.ymin, field.Rows())};
}

} // namespace morvilo
