#include "view/dxfexport.h"

#include "expressions/floattostr.h"
#include "interpreter/motionreplay.h"
#include "vantrel/outputfile.h"
#include "view/viewmath.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace morvilo {

namespace {

// The fixed start: one continuous line type "AUSGEZOGEN", one layer "0" in colour 7 with that
// line type, then the ENTITIES section is opened. The leading spaces of the 0 and 2 codes are
// part of the format as readers of our files know it.
// One group code and its value per row.
// clang-format off
constexpr std::array<std::string_view, 50> kHeader = {
    " 0", "SECTION",
    "  2", "TABLES",
    " 0", "TABLE",
    " 2", "LTYPE",
    "70", "1",
    "0", "LTYPE",
    "2", "AUSGEZOGEN",
    "70", "0",
    "3", "Ausgezogenen Linie",
    "72", "65",
    "73", "0",
    "40", "0.0",
    "0", "ENDTAB",
    " 0", "TABLE",
    " 2", "LAYER",
    "70", "1",
    "0", "LAYER",
    "2", "0",
    "70", "0",
    "62", "7",
    "6", "AUSGEZOGEN",
    " 0", "ENDTAB",
    " 0", "ENDSEC",
    " 0", "SECTION",
    "  2", "ENTITIES",
};
// clang-format on

// A 3D polyline on layer "0" whose vertices follow.
constexpr std::string_view kPolylineStart = "0\r\nPOLYLINE\r\n8\r\n0\r\n70\r\n8\r\n66\r\n1\r\n";
constexpr std::string_view kSeqEnd = "0\r\nSEQEND\r\n";
constexpr std::string_view kEnd = "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
// A 3D polyline vertex on layer "0", up to its X value.
constexpr std::string_view kVertexStart = "0\r\nVERTEX\r\n8\r\n0\r\n70\r\n32\r\n10\r\n";

// Below this share of the point's largest coordinate, a coordinate after a rotary axis is the
// rounding of the sine and cosine (cos 90 degrees is 6e-17, not 0), not a position.
constexpr double kRotationNoise = 1e-14;

struct WorldPoint {
    double x = 0, y = 0, z = 0;
};

WorldPoint worldPoint(const t9dline &p) {
    WorldPoint q;
    koordmat3(p.x, p.y, p.z, p.a, p.b, p.c, p.u, p.v, p.w, q.x, q.y, q.z);
    if (p.a != 0 || p.b != 0 || p.c != 0) {
        const double noise =
            kRotationNoise * std::max({std::fabs(q.x), std::fabs(q.y), std::fabs(q.z)});
        for (double *v : {&q.x, &q.y, &q.z})
            if (std::fabs(*v) < noise)
                *v = 0;
    }
    // -0 is written as 0.
    q.x += 0.0;
    q.y += 0.0;
    q.z += 0.0;
    return q;
}

// The twelve lines of a vertex at q.
void vertexText(std::string &text, const WorldPoint &q) {
    text.assign(kVertexStart);
    AppendFloatText(text, q.x);
    text += "\r\n20\r\n";
    AppendFloatText(text, q.y);
    text += "\r\n30\r\n";
    AppendFloatText(text, q.z);
    text += "\r\n";
}

// Walks the plot list. Inside a run the start vertex of a segment is the end vertex of the one
// before, so each point's vertex text is made once and written twice.
class EntityWriter {
public:
    explicit EntityWriter(OutputFile &out) : out(out) {}

    void Move(const WorldPoint &q) {
        closeRun();
        previous = q;
        previousText.clear(); // made when a drawn segment starts here
    }

    void Draw(const WorldPoint &q) {
        if (!open) {
            out.Write(kPolylineStart);
            open = true;
        }
        if (previousText.empty())
            vertexText(previousText, previous);
        out.Write(previousText);
        vertexText(currentText, q);
        out.Write(currentText);
        previous = q;
        previousText.swap(currentText);
    }

    void Finish() {
        closeRun();
        out.Write(kEnd);
    }

private:
    void closeRun() {
        if (open)
            out.Write(kSeqEnd);
        open = false;
    }

    OutputFile &out;
    bool open = false;
    WorldPoint previous; // the start of the next drawn segment, first the origin
    std::string previousText, currentText;
};

std::string notFinite(const t9dline &p) {
    return "the plot list holds a point that is not a finite number (from the line at byte " +
           std::to_string(p.zeilevon) + ")";
}

// The drawing as a consumer of the motion stream: every drawn point, arcs point by point.
class DXFStream : public MotionStream {
public:
    explicit DXFStream(OutputFile &out) : entities(out) {}

    bool Line(const t9dline &p) override {
        if (AxisCross(p))
            return true;
        const WorldPoint q = worldPoint(p);
        if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z)) {
            error = notFinite(p);
            return false;
        }
        if (p.typ == 0)
            entities.Move(q);
        else
            entities.Draw(q);
        return true;
    }
    uint32_t Arc(const MotionArc &arc) override {
        t9dline p;
        for (uint32_t k = 0; k < arc.count; ++k) {
            arc.DrawnPoint(k, p);
            if (!Line(p))
                return 0;
        }
        return arc.count;
    }
    void End(const MotionEnd &) override { entities.Finish(); }

    std::string error;

private:
    EntityWriter entities;
};

} // namespace

bool WriteDXF(const TPlotList &lines, OutputFile &out, std::string &error) {
    for (const std::string_view line : kHeader) {
        out.Write(line);
        out.Write("\r\n");
    }
    DXFStream drawing(out);
    ReplayRun(lines, nullptr, drawing); // the drawn path, not the machine's
    error = drawing.error;
    return error.empty();
}

std::string DXFExport(const TPlotList &lines, const std::string &fileName) {
    OutputFile out;
    if (!out.Open(fileName, OutputFile::Mode::Replace))
        return out.Error();
    std::string error;
    if (!WriteDXF(lines, out, error)) {
        out.Abandon();
        return error;
    }
    if (!out.Commit())
        return out.Error();
    return {};
}

} // namespace morvilo
