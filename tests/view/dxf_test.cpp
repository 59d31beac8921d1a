// DXF export of the plot list: the fixed header and end, the polylines, the point transform, the
// error paths, the batch command and a check by an independent DXF reader.

#include "../common/testfiles.h"
#include "cli/cli.h"
#include "vantrel/outputfile.h"
#include "view/dxfexport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <sstream>
#include <sys/wait.h>

namespace morvilo::test {
namespace {

// One plot point as the tests write it.
struct Point {
    int typ; // 0 move, 1 drawn
    double x = 0, y = 0, z = 0;
    double a = 0, b = 0, c = 0, u = 0, v = 0, w = 0;
    int64_t zeilevon = 0; // -1: the axis cross
};

Point move(double x, double y, double z) {
    return {0, x, y, z};
}
Point line(double x, double y, double z) {
    return {1, x, y, z};
}

void fill(TPlotList &lines, std::initializer_list<Point> points) {
    for (const Point &p : points) {
        t9dline r{};
        r.zeilevon = r.zeilebis = p.zeilevon;
        r.typ = int8_t(p.typ);
        r.x = p.x, r.y = p.y, r.z = p.z;
        r.a = p.a, r.b = p.b, r.c = p.c;
        r.u = p.u, r.v = p.v, r.w = p.w;
        lines.Add(r);
    }
}

const std::vector<std::string> kHeaderLines = {
    " 0",  "SECTION",    "  2", "TABLES", " 0", "TABLE",
    " 2",  "LTYPE",      "70",  "1",      "0",  "LTYPE",
    "2",   "AUSGEZOGEN", "70",  "0",      "3",  "Ausgezogenen Linie",
    "72",  "65",         "73",  "0",      "40", "0.0",
    "0",   "ENDTAB",     " 0",  "TABLE",  " 2", "LAYER",
    "70",  "1",          "0",   "LAYER",  "2",  "0",
    "70",  "0",          "62",  "7",      "6",  "AUSGEZOGEN",
    " 0",  "ENDTAB",     " 0",  "ENDSEC", " 0", "SECTION",
    "  2", "ENTITIES"};
const std::vector<std::string> kEndLines = {"  0", "ENDSEC", "  0", "EOF"};
const std::vector<std::string> kPolylineLines = {"0", "POLYLINE", "8", "0", "70", "8", "66", "1"};
const std::vector<std::string> kSeqEndLines = {"0", "SEQEND"};

std::vector<std::string> vertex(const std::string &x, const std::string &y, const std::string &z) {
    return {"0", "VERTEX", "8", "0", "70", "32", "10", x, "20", y, "30", z};
}

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::string crlfText(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &l : lines)
        text += l + "\r\n";
    return text;
}

class DxfExport : public ::testing::Test {
protected:
    // Exports the list and returns the file's bytes.
    std::string exportText(const TPlotList &lines) {
        const std::string error = DXFExport(lines, file.string());
        EXPECT_EQ(error, "");
        return ReadFile(file);
    }

    // Exports the list and returns the lines between the header and the end, after checking
    // that the two are there, byte for byte.
    std::vector<std::string> entities(std::initializer_list<Point> points) {
        TPlotList lines;
        fill(lines, points);
        const std::string text = exportText(lines);
        const std::string header = crlfText(kHeaderLines), end = crlfText(kEndLines);
        EXPECT_TRUE(text.starts_with(header));
        EXPECT_TRUE(text.ends_with(end));
        if (text.size() < header.size() + end.size())
            return {};
        const std::string middle =
            text.substr(header.size(), text.size() - header.size() - end.size());
        std::vector<std::string> result;
        for (size_t at = 0; at < middle.size();) {
            const size_t crlf = middle.find("\r\n", at);
            EXPECT_NE(crlf, std::string::npos) << "every line ends in CR LF";
            if (crlf == std::string::npos)
                break;
            result.push_back(middle.substr(at, crlf - at));
            at = crlf + 2;
        }
        return result;
    }

    ScratchFolder scratch;
    std::filesystem::path file = scratch / "out.dxf";
};

TEST_F(DxfExport, EmptyListGivesTheHeaderAndTheEndOnly) {
    TPlotList lines;
    const std::string text = exportText(lines);
    EXPECT_EQ(text, crlfText(join({kHeaderLines, kEndLines})));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 54);
}

TEST_F(DxfExport, WritesOnePolylineWithTwoVerticesPerSegment) {
    // Move down, two lines, retract.
    EXPECT_EQ(
        entities({move(0, 0, 5), move(0, 0, 0), line(10, 0, 0), line(10, 5, 0), move(10, 5, 5)}),
        join({kPolylineLines, vertex("0", "0", "0"), vertex("10", "0", "0"), vertex("10", "0", "0"),
              vertex("10", "5", "0"), kSeqEndLines}));
}

TEST_F(DxfExport, RunsAndMovesMakeTheirPolylines) {
    // Two runs separated by a move; the second one is still open at the end of the list.
    EXPECT_EQ(
        entities({move(1, 1, 0), line(2, 1, 0), move(5, 5, 0), line(6.5, 5, -0.25)}),
        join({kPolylineLines, vertex("1", "1", "0"), vertex("2", "1", "0"), kSeqEndLines,
              kPolylineLines, vertex("5", "5", "0"), vertex("6.5", "5", "-0.25"), kSeqEndLines}));
    // Moves only: no polyline at all.
    EXPECT_EQ(entities({move(1, 2, 3), move(4, 5, 6)}), std::vector<std::string>{});
}

TEST_F(DxfExport, FirstDrawnSegmentStartsAtTheOrigin) {
    EXPECT_EQ(entities({line(1, 2, 3)}),
              join({kPolylineLines, vertex("0", "0", "0"), vertex("1", "2", "3"), kSeqEndLines}));
}

TEST_F(DxfExport, AxisCrossIsLeftOutWithoutBecomingAStartPoint) {
    Point crossLine = line(1000, 0, 0), crossMove = move(-7, -7, -7);
    crossLine.zeilevon = crossMove.zeilevon = -1;
    EXPECT_EQ(entities({crossMove, crossLine, move(1, 1, 1), line(2, 1, 1), crossMove, crossLine,
                        line(3, 1, 1)}),
              join({kPolylineLines, vertex("1", "1", "1"), vertex("2", "1", "1"),
                    vertex("2", "1", "1"), vertex("3", "1", "1"), kSeqEndLines}));
}

TEST_F(DxfExport, AppliesRotaryAndSecondaryAxes) {
    struct Case {
        const char *what;
        Point point;
        std::vector<std::string> end;
    };
    const Case cases[] = {
        {"A 90 turns Y into Z", {1, 0, 1, 0, 90}, {"0", "0", "1"}},
        {"B 90 turns X into Z", {1, 1, 0, 0, 0, 90}, {"0", "0", "1"}},
        {"C 90 turns X into Y", {1, 1, 0, 0, 0, 0, 90}, {"0", "1", "0"}},
        {"A 180", {1, 0, 1, 2, 180}, {"0", "-1", "-2"}},
        {"U V W shift", {1, 1, 1, 1, 0, 0, 0, 0.5, -3, 2}, {"1.5", "-2", "3"}},
        {"small values stay", {1, 0.0000001, -0.000002, 0}, {"0.0000001", "-0.000002", "0"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(entities({c.point}), join({kPolylineLines, vertex("0", "0", "0"),
                                             vertex(c.end[0], c.end[1], c.end[2]), kSeqEndLines}))
            << c.what;
}

TEST_F(DxfExport, FileThatCannotBeCreatedIsReported) {
    TPlotList lines;
    fill(lines, {line(1, 1, 1)});
    const std::string error = DXFExport(lines, (scratch / "missing" / "out.dxf").string());
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(scratch / "missing"));
}

TEST_F(DxfExport, WriteErrorIsReportedAndKeepsTheOldFile) {
    WriteFile(file, "old drawing");
    TPlotList lines;
    fill(lines, {line(1, 1, 1)});
    OutputFile::SetWriteFaultAfter(100);
    const std::string error = DXFExport(lines, file.string());
    OutputFile::SetWriteFaultAfter(-1);
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(file), "old drawing");
}

TEST_F(DxfExport, PointWithoutNumberTextIsReportedAndKeepsTheOldFile) {
    WriteFile(file, "old drawing");
    for (const double bad : {std::numeric_limits<double>::infinity(), std::nan("")}) {
        TPlotList lines;
        Point p = line(bad, 0, 0);
        p.zeilevon = 42;
        fill(lines, {line(1, 1, 1), p});
        const std::string error = DXFExport(lines, file.string());
        EXPECT_NE(error.find("byte 42"), std::string::npos) << error;
        EXPECT_EQ(ReadFile(file), "old drawing");
    }
}

// ---- morvilo-cli dxf --------------------------------------------------------------------------

int runCli(const std::vector<std::string> &arguments, std::string &err) {
    std::ostringstream o, e;
    const int status = cli::RunCli(arguments, o, e);
    err = e.str();
    return status;
}

TEST_F(DxfExport, CommandWritesTheProgramsPathAsStoredInDiameterView) {
    // In the lathe diameter view the plot holds radii; the drawing gets them as they are.
    WriteFile(scratch / "p.nc", "G0X20Z0\r\nG1X20Z-5\r\n");
    std::string err;
    ASSERT_EQ(runCli({"dxf", "--machine", "lathe-a", "--diameter", (scratch / "p.nc").string(),
                      file.string()},
                     err),
              0)
        << err;
    const std::string text = ReadFile(file);
    EXPECT_NE(text.find(crlfText(join({vertex("10", "0", "0"), vertex("10", "0", "-5")}))),
              std::string::npos)
        << text;
}

TEST_F(DxfExport, CommandReportsBadUseAndFailures) {
    WriteFile(scratch / "p.nc", "G1X1\r\n");
    const std::string program = (scratch / "p.nc").string();
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char *message;
    };
    const Case cases[] = {
        {{"dxf", program}, cli::kUsage, "expected PROGRAM and OUTPUT"},
        {{"dxf", "--machine", "drill", program, file.string()}, cli::kUsage, "--machine"},
        {{"dxf", (scratch / "none.nc").string(), file.string()}, cli::kFailure, "cannot open"},
        {{"dxf", program, (scratch / "no" / "x.dxf").string()}, cli::kFailure, "cannot create"},
    };
    for (const Case &c : cases) {
        std::string err;
        EXPECT_EQ(runCli(c.arguments, err), c.status) << c.message;
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
    }
    EXPECT_FALSE(std::filesystem::exists(file));
}

// ---- an independent reader --------------------------------------------------------------------

// Runs the ezdxf audit script on a file; exit status 3: ezdxf is missing.
int audit(const std::filesystem::path &dxf, std::string &output) {
    const std::string command =
        "/usr/bin/python3 " MORVILO_TEST_DATA "/dxf_audit.py '" + dxf.string() + "' 2>&1";
    FILE *pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return 3;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(DxfExport, RealisticProgramReadsWithoutAuditErrors) {
    if (!std::filesystem::exists("/usr/bin/python3"))
        GTEST_SKIP() << "no /usr/bin/python3: install python3-ezdxf for the DXF reader check";
    // Pockets with arcs, a helix, a drilling cycle and rotary moves.
    WriteFile(scratch / "p.nc", "G90G21G17\r\n"
                                "G0X0Y0Z5\r\n"
                                "G1Z-1F200\r\n"
                                "G1X40\r\nG2X50Y10I0J10\r\nG1Y30\r\nG3X40Y40I-10J0\r\n"
                                "G1X0\r\nG1Y0\r\nG0Z5\r\n"
                                "G0X20Y20\r\nG2X20Y20Z-3I5J0\r\nG0Z5\r\n"
                                "G81X10Y10Z-2R1\r\nX30Y10\r\nG80\r\n"
                                "G0X5Y5A0\r\nG1Z-1\r\nG1X15A45\r\nG1B30C10U1V2W-1\r\n"
                                "M30\r\n");
    std::string err;
    ASSERT_EQ(runCli({"dxf", (scratch / "p.nc").string(), file.string()}, err), 0) << err;
    std::string output;
    const int status = audit(file, output);
    if (status == 3)
        GTEST_SKIP() << output;
    EXPECT_EQ(status, 0) << output;
    unsigned polylines = 0, vertices = 0;
    ASSERT_EQ(std::sscanf(output.c_str(), "polylines %u vertices %u", &polylines, &vertices), 2)
        << output;
    // Rapid moves are drawn segments too: the whole path is one run.
    EXPECT_EQ(polylines, 1u) << output;
    EXPECT_GE(vertices, 40u) << output;
}

} // namespace
} // namespace morvilo::test
