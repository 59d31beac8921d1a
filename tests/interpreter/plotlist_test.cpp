// The plot list gives back every point as it was added, and the CSV of every test program is the
// one recorded in plotlist/digests.txt (made by plotlist/make_digests.sh with the morvilo-cli of
// the one-record-a-point list).

#include "../common/testfiles.h"
#include "cli/cli.h"
#include "interpreter/plotlist.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>

namespace morvilo::test {
namespace {

const std::filesystem::path kRoot = std::filesystem::path(MORVILO_TEST_DATA) / ".." / "..";

std::vector<std::string> split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

TEST(PlotListCsv, EveryTestProgramPrintsTheRecordedCsv) {
    const std::string table = ReadFile(kRoot / "tests/interpreter/plotlist/digests.txt");
    size_t checked = 0;
    for (const std::string &row : split(table, '\n')) {
        if (row.empty() || row[0] == '#')
            continue;
        const std::vector<std::string> field = split(row, ';');
        ASSERT_EQ(field.size(), 4u) << row;
        SCOPED_TRACE(row);
        std::vector<std::string> arguments{"plot"};
        for (const std::string &option : split(field[1], ' '))
            arguments.push_back(option);
        arguments.push_back((kRoot / field[0]).string());
        std::ostringstream out, err;
        ASSERT_EQ(cli::RunCli(arguments, out, err), 0) << err.str();
        const std::string csv = out.str();
        EXPECT_EQ(std::to_string(csv.size()), field[2]);
        EXPECT_EQ(
            QCryptographicHash::hash(QByteArray::fromStdString(csv), QCryptographicHash::Sha256)
                .toHex()
                .toStdString(),
            field[3]);
        ++checked;
    }
    EXPECT_GE(checked, 90u);
}

bool sameRecord(const t9dline &a, const t9dline &b) {
    const TPlotMove &m = a.move, &n = b.move;
    return a.zeilevon == b.zeilevon && a.zeilebis == b.zeilebis && a.col == b.col &&
           a.typ == b.typ && a.style == b.style &&
           std::memcmp(&a.x, &b.x, 9 * sizeof(double)) == 0 && // -0.0 is not 0.0 here
           m.kind == n.kind && m.feedMode == n.feedMode && m.units == n.units &&
           m.feedGiven == n.feedGiven && m.tool == n.tool &&
           std::memcmp(&m.feed, &n.feed, 2 * sizeof(double)) == 0;
}

// Points that share runs, break them by one value each (a signed zero, a line end beyond
// 32 bits, the axis cross's -1), read in order, backward and by index.
TEST(PlotList, GivesBackEveryPointAsAdded) {
    std::vector<t9dline> added;
    const auto point = [&](int64_t von, int64_t bis, double x, double a, int32_t col, int8_t typ) {
        t9dline p{};
        p.zeilevon = von, p.zeilebis = bis;
        p.x = x, p.y = x / 3, p.z = -x;
        p.a = a, p.u = a * 2;
        p.col = col, p.typ = typ, p.style = typ ? psSolid : psDot;
        added.push_back(p);
    };
    point(-1, -1, 1000, 0, kColourWhite, 0);
    point(-1, -1, 0, 0, kColourWhite, 1);
    for (int k = 0; k < 5; ++k)
        point(10, 20, k, 0, kColourCw, 1);
    point(10, 20, 6, -0.0, kColourCw, 1);
    point(21, 21 + (int64_t(1) << 33), 7, -0.0, kColourCw, 1); // a line of 8 GiB
    point(21, 21 + (int64_t(1) << 33), 8, -0.0, kColourCw, 1);
    point(21, 22, 9, 1e300, kColourRapid, 1); // the same start, another end
    point(int64_t(1) << 40, (int64_t(1) << 40) + 5, 10, 1e300, kColourRapid, 0);
    point(30, 40, 11, 1e300, kColourRapid, 1);
    // What the moves are: a kind under the same pen, feeds that alternate and come back.
    for (int k = 0; k < 6; ++k) {
        point(50, 60, 12 + k, 1e300, kColourWhite, 1);
        TPlotMove &move = added.back().move;
        move.kind = k == 5 ? MoveKind::Cycle : MoveKind::Feed;
        move.feedGiven = true;
        move.feed = k % 2 ? 300 : 1000;
        move.speed = k < 4 ? 0.0 : -0.0;
        move.tool = k / 3;
        move.units = k == 3 ? MoveUnits::Inch : MoveUnits::Millimetre;
        move.feedMode = k == 4 ? FeedMode::InverseTime : FeedMode::PerMinute;
    }

    TPlotList lines;
    for (const t9dline &p : added)
        ASSERT_TRUE(lines.Add(p));
    ASSERT_EQ(lines.Count(), added.size());
    TPlotReader forward(lines), backward(lines), jumping(lines);
    for (uint32_t k = 0; k < added.size(); ++k) {
        EXPECT_TRUE(sameRecord(lines[k], added[k])) << k;
        EXPECT_TRUE(sameRecord(forward[k], added[k])) << k;
        const uint32_t back = uint32_t(added.size()) - 1 - k;
        EXPECT_TRUE(sameRecord(backward[back], added[back])) << back;
        const uint32_t jump = (k * 7) % uint32_t(added.size());
        EXPECT_TRUE(sameRecord(jumping[jump], added[jump])) << jump;
    }

    // The rewrites act on every point's values alike.
    const double delta[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    lines.Scale(25.4);
    lines.Shift(delta, 1u << 0 | 1u << 6);
    for (uint32_t k = 0; k < added.size(); ++k) {
        t9dline p = added[k];
        p.x *= 25.4, p.y *= 25.4, p.z *= 25.4, p.u *= 25.4, p.v *= 25.4, p.w *= 25.4;
        p.x += 1, p.u += 7;
        EXPECT_TRUE(sameRecord(lines[k], p)) << k;
    }
    lines.Truncate();
    EXPECT_EQ(lines.Count(), 0u);
    ASSERT_TRUE(lines.Add(added[3]));
    EXPECT_TRUE(sameRecord(lines[0], added[3]));
}

// Arcs stored as records read back as the points of the same arcs added one by one, between
// single points, through every reader, shortened, and after the rewrites that spread them.
TEST(PlotList, ArcsReadBackAsTheirPointsAddedOneByOne) {
    TPlotList arcs, single;
    const auto both = [&](const t9dline &p) {
        ASSERT_TRUE(arcs.Add(p));
        ASSERT_TRUE(single.Add(p));
    };
    const auto arc = [&](const TPlotArcPoints &a, uint32_t count, t9dline p) {
        ASSERT_TRUE(arcs.AddArcPoints(a, count, p));
        for (uint32_t k = 0; k < count; ++k) {
            double xyz[3];
            a.Point(double(k), xyz);
            p.x = xyz[0], p.y = xyz[1], p.z = xyz[2];
            ASSERT_TRUE(single.Add(p));
        }
    };
    t9dline p{};
    p.zeilevon = 0, p.zeilebis = 5, p.col = kColourWhite, p.typ = 1, p.a = 15;
    both(p);
    p.zeilevon = 6, p.zeilebis = 20, p.col = kColourCw;
    arc({0, -3.1, 99, 2.5, 1, -1, 0, 0, 0, 1, 2}, 100, p); // XY plane, clockwise
    arc({1, 6.2, 99, 0.5, 3, 4, -1, -2, 0, 2, 1}, 100, p); // XZ helix, the same line: one run
    p.zeilevon = 21, p.zeilebis = 30, p.col = kColourRapid;
    p.x = 7;
    both(p);
    both(p);
    p.col = kColourCcw;
    arc({2, 3, 198, 1e-3, -0.0, 1e6, 5, 0.25, 1, 2, 0}, 199, p);
    const auto expectSame = [&](const char *when) {
        SCOPED_TRACE(when);
        ASSERT_EQ(arcs.Count(), single.Count());
        TPlotReader forward(arcs), backward(arcs), jumping(arcs);
        const uint32_t n = arcs.Count();
        for (uint32_t k = 0; k < n; ++k) {
            EXPECT_TRUE(sameRecord(arcs[k], single[k])) << k;
            EXPECT_TRUE(sameRecord(forward[k], single[k])) << k;
            EXPECT_TRUE(sameRecord(backward[n - 1 - k], single[n - 1 - k])) << n - 1 - k;
            const uint32_t jump = (k * 37) % n;
            EXPECT_TRUE(sameRecord(jumping[jump], single[jump])) << jump;
        }
    };
    expectSame("stored");
    EXPECT_EQ(arcs.StoredPoints(), 3u); // the arcs' points are computed, not stored
    EXPECT_LT(arcs.CodedBytes() * 10, single.CodedBytes());
    arcs.ShortenLastArc(50); // a run stopped inside its last arc
    ASSERT_EQ(arcs.Count(), 1u + 100 + 100 + 2 + 50);
    std::vector<t9dline> kept;
    for (uint32_t k = 0; k < arcs.Count(); ++k)
        kept.push_back(single[k]);
    single.Truncate();
    for (const t9dline &point : kept)
        ASSERT_TRUE(single.Add(point));
    expectSame("shortened");
    const double delta[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_TRUE(arcs.Scale(1 / 25.4));
    ASSERT_TRUE(single.Scale(1 / 25.4));
    ASSERT_TRUE(arcs.Shift(delta, 0x1FF));
    ASSERT_TRUE(single.Shift(delta, 0x1FF));
    expectSame("rewritten");
    p.x = 1;
    both(p); // single points after the spread arcs
    arc({0, 1, 99, 1, 0, 0, 0, 0, 0, 1, 2}, 100, p);
    expectSame("stored again");
}

// A point whose run cannot be stored is not stored at all: the list stays as it was.
TEST(PlotList, APointThatFindsNoRoomLeavesTheListAsItWas) {
    SetAllocationFailureHandler([](const std::string &) {});
    SetDynaArrayBlockLimit(1000 * sizeof(TPlotAxesRun));
    TPlotList lines;
    t9dline p{};
    uint32_t added = 0;
    for (;; ++added) { // every point a new pen and new axes: the axes runs fill first
        p.x = p.a = added, p.col = int32_t(added);
        if (!lines.Add(p))
            break;
    }
    SetDynaArrayBlockLimit(0);
    SetAllocationFailureHandler(nullptr);
    EXPECT_EQ(added, 1000u);
    ASSERT_EQ(lines.Count(), 1000u);
    EXPECT_EQ(lines[999].col, 999);
    EXPECT_EQ(lines[999].x, 999);
    EXPECT_EQ(lines[999].a, 999);
    p.col = 999, p.a = 999; // the last pen and axes again: only a point is needed
    p.x = 1000;
    ASSERT_TRUE(lines.Add(p));
    EXPECT_EQ(lines[1000].x, 1000);
    EXPECT_EQ(lines[1000].col, 999);
}

// Reads every point of list through each reader (forward, backward, jumping, by index) and
// compares it with plain, bit for bit.
void expectReadsAs(const TPlotList &list, const std::vector<t9dline> &plain, uint64_t seed) {
    ASSERT_EQ(list.Count(), plain.size());
    const uint32_t n = list.Count();
    TPlotReader forward(list), backward(list), jumping(list);
    std::mt19937_64 random(seed);
    for (uint32_t k = 0; k < n; ++k) {
        ASSERT_TRUE(sameRecord(forward[k], plain[k])) << "forward " << k;
        ASSERT_TRUE(sameRecord(backward[n - 1 - k], plain[n - 1 - k])) << "backward " << n - 1 - k;
        const uint32_t jump = uint32_t(random() % n);
        ASSERT_TRUE(sameRecord(jumping[jump], plain[jump])) << "jump " << jump;
        if (k % 17 == 0) {
            ASSERT_TRUE(sameRecord(list[jump], plain[jump])) << "index " << jump;
        }
    }
    // In batches, from the start and from anywhere.
    TPlotReader batches(list);
    for (uint32_t start : {0u, uint32_t(random() % n), uint32_t(random() % n)})
        for (uint32_t k = start; k < n;) {
            const TPlotBatch batch = batches.Batch(k);
            ASSERT_GE(batch.count, 1u) << "batch at " << k;
            ASSERT_LE(k + batch.count, n);
            for (uint32_t i = 0; i < batch.count; ++i, ++k) {
                t9dline p = plain[k];
                p.x = batch.xyz[i][0], p.y = batch.xyz[i][1], p.z = batch.xyz[i][2];
                p.zeilevon = batch.zeilevon[i], p.zeilebis = batch.zeilebis[i];
                const TPlotStyle &style = list.Style(batch.style[i]);
                p.col = style.col, p.typ = style.typ, p.style = style.style;
                p.move = {style.kind, style.feedMode, style.units, style.feedGiven,
                          style.tool, style.feed,     style.speed};
                const TPlotAxesRun &axes = *batch.axes;
                p.a = axes.a, p.b = axes.b, p.c = axes.c, p.u = axes.u, p.v = axes.v, p.w = axes.w;
                ASSERT_TRUE(sameRecord(p, plain[k])) << "batch " << k;
            }
        }
    // The search for the last drawn point of a line passes over blocks of other lines: it finds
    // what a search of every point finds.
    for (int probe = 0; probe < 40; ++probe) {
        const t9dline &at = plain[random() % n];
        const int64_t offset = probe % 4 == 0 ? int64_t(random() % (uint64_t(1) << 41))
                                              : at.zeilevon + int64_t(random() % 3);
        const uint32_t first = probe % 3 == 0 ? uint32_t(random() % n) : 0;
        uint32_t expected = UINT32_MAX;
        for (uint32_t k = n; k-- > first;)
            if (plain[k].typ == 1 && plain[k].zeilevon <= offset && offset <= plain[k].zeilebis) {
                expected = k;
                break;
            }
        ASSERT_EQ(list.LastDrawnAt(offset, first), expected) << offset << " from " << first;
    }
}

// The coding gives back every double bit for bit, those it cannot hold as decimals too (they
// are kept whole): signed zeros, subnormals, the ends of the range, infinities and NaNs,
// seventeen significant digits, results of arithmetic, decimals beyond nine places, values too
// large for the units; switching between them and decimals of any count, on each axis.
TEST(PlotList, CodingGivesBackAwkwardValuesBitForBit) {
    const double tiny = std::numeric_limits<double>::denorm_min();
    const double values[] = {
        0.0,
        -0.0,
        1.0,
        0.5,
        0.05,
        -1.2345,
        0.001,
        123456.789,
        999999.999999999,
        0.000000001,
        tiny,
        -tiny,
        std::numeric_limits<double>::min(),
        1e308,
        -1e308,
        std::numeric_limits<double>::max(),
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN(),
        std::bit_cast<double>(uint64_t(0x7FF0000000000123)), // a signalling NaN
        0.1 + 0.2,
        1.2345678901234567,
        1e-10,
        1.0 / 3,
        1.234 * 25.4,
        double(int64_t(1) << 50),
        double(int64_t(1) << 49) + 0.5,
        1e15,
        9007199254740993.0,
        -0.0625,
        12.3};
    constexpr size_t n = std::size(values);
    std::vector<t9dline> plain;
    TPlotList list;
    t9dline p{};
    p.typ = 1, p.col = kColourWhite;
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j) {
            p.x = values[i], p.y = values[(i * 7 + j) % n], p.z = values[(i * 3 + j * 5) % n];
            p.zeilevon = int64_t(i * 100 + j), p.zeilebis = p.zeilevon + int64_t(j % 3);
            plain.push_back(p);
            ASSERT_TRUE(list.Add(p));
            if (j % 5 == 0) { // the same point once more: nothing differs
                plain.push_back(p);
                ASSERT_TRUE(list.Add(p));
            }
        }
    expectReadsAs(list, plain, 1);

    // Decimals are held as small numbers, whole doubles as their eight bytes.
    TPlotList decimals, whole;
    t9dline q{};
    q.typ = 1;
    for (int k = 0; k < 1000; ++k) {
        q.x = k % 2 ? 10.125 : 10.0;
        q.y = (k / 2) * 0.05;
        q.zeilevon = k * 20, q.zeilebis = k * 20 + 19; // each point on the next line
        ASSERT_TRUE(decimals.Add(q));
        q.x = k % 2 ? -0.0 : 1.0 / 3;
        ASSERT_TRUE(whole.Add(q));
    }
    EXPECT_LE(decimals.CodedBytes(), 7u * 1000);
    EXPECT_GE(whole.CodedBytes(), 9u * 1000);
}

// Random programs: decimals of changing counts, arithmetic results, repeats, lines the same, the
// next one or anywhere (the axis cross's -1 too), styles and axes that come back, arcs between
// the points; read through every reader against a plain list of the same points, after the
// rewrites and after the list was emptied and filled again.
TEST(PlotList, ReadersAgreeWithAPlainListOnRandomPrograms) {
    for (uint64_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937_64 random(seed);
        const auto below = [&](uint64_t n) { return random() % n; };
        std::vector<t9dline> plain;
        TPlotList list;
        const auto fill = [&](uint32_t points) {
            t9dline p{};
            int64_t line = 0;
            while (plain.size() < points) {
                double *axis[3] = {&p.x, &p.y, &p.z};
                for (double *value : axis) {
                    const uint64_t what = below(20);
                    if (what < 8)
                        continue;
                    if (what < 16)
                        *value = double(int64_t(below(2000000)) - 1000000) /
                                 std::pow(10.0, double(below(seed % 3 ? 4 : 8)));
                    else if (what < 18)
                        *value += 0.1;
                    else
                        *value = what == 18 ? -0.0 : std::ldexp(double(random()), -80);
                }
                const uint64_t source = below(20);
                if (source < 8) {
                    p.zeilevon = line + 1, p.zeilebis = line + 1 + int64_t(below(40));
                } else if (source < 10) {
                    p.zeilevon = int64_t(below(uint64_t(1) << 40));
                    p.zeilebis = p.zeilevon + int64_t(below(100000));
                } else if (source == 10) {
                    p.zeilevon = p.zeilebis = -1;
                }
                line = p.zeilebis;
                if (below(4) == 0) {
                    const int pen = int(below(6));
                    p.col = pen < 3 ? kColourRapid : kColourWhite;
                    p.typ = int8_t(pen % 2);
                    p.style = pen < 3 ? psDot : psSolid;
                    p.move.kind = MoveKind(pen);
                    p.move.feed = double(below(3) * 500);
                    p.move.tool = int32_t(below(2));
                }
                if (below(50) == 0)
                    p.a = double(below(360)), p.w = double(below(3)) - 1;
                if (below(30) == 0) {
                    const TPlotArcPoints arc{double(below(7)),
                                             double(below(13)) - 6.5,
                                             99,
                                             1 + double(below(100)) / 8,
                                             p.x,
                                             p.y,
                                             p.z,
                                             double(below(5)) - 2,
                                             0,
                                             1,
                                             2};
                    const uint32_t count = 1 + uint32_t(below(150));
                    ASSERT_TRUE(list.AddArcPoints(arc, count, p));
                    t9dline q = p;
                    for (uint32_t k = 0; k < count; ++k) {
                        double xyz[3];
                        arc.Point(double(k), xyz);
                        q.x = xyz[0], q.y = xyz[1], q.z = xyz[2];
                        plain.push_back(q);
                    }
                    continue;
                }
                ASSERT_TRUE(list.Add(p));
                plain.push_back(p);
            }
        };
        fill(5000 + uint32_t(below(3000)));
        expectReadsAs(list, plain, seed);
        if (seed % 3 == 0) {
            const double delta[9] = {0.5, -1, 0.25, 10, 0, 0, 3, 0, -0.0};
            ASSERT_TRUE(list.Scale(25.4));
            ASSERT_TRUE(list.Shift(delta, 0x1FF));
            for (t9dline &p : plain) {
                double *linear[6] = {&p.x, &p.y, &p.z, &p.u, &p.v, &p.w};
                for (double *value : linear)
                    *value *= 25.4;
                double *all[9] = {&p.x, &p.y, &p.z, &p.a, &p.b, &p.c, &p.u, &p.v, &p.w};
                for (int axis = 0; axis < 9; ++axis)
                    *all[axis] += delta[axis];
            }
            expectReadsAs(list, plain, seed + 100);
        }
        list.Truncate();
        plain.clear();
        fill(2000);
        expectReadsAs(list, plain, seed + 200);
    }
}

} // namespace
} // namespace morvilo::test
