// The corpus of tests/interpreter/corpus: realistic programs whose moves LinuxCNC's rs274
// computed (tests/tools/corpus_fixtures.py wrote them beside each program as NAME.moves). Every
// end point and arc centre the backplot draws must agree with them, under each machine dialect
// the program is written for. The departures below are the only differences, each with its
// reason; the test needs no LinuxCNC.

#include "interpreterharness.h"

#include "interpreter/machinepath.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <numbers>
#include <sstream>

namespace morvilo::test {
namespace {

const std::filesystem::path kCorpus = std::filesystem::path(MORVILO_TEST_DATA) / "corpus";

// The backplot departs from rs274 on purpose here. A program listed with a twin has its
// expected moves from NAME.rs274.ngc, the same part written in LinuxCNC's words.
struct Departure {
    const char *programs; // a file name prefix
    const char *what;
    const char *reason;
};
const Departure kDepartures[] = {
    {"drill_", "drilling cycles are compared with \"Bohrzyklen maßstäblich\" on",
     "by default a cycle is drawn as a stroke of the depth word's length, not to scale"},
    {"mill_helix_", "twin: turns by P, an incremental Z is the whole climb",
     "the backplot counts helix turns by L, and under G91 every turn climbs the programmed Z"},
    {"mill_inch_helix", "twin: turns by P", "the backplot counts helix turns by L"},
    {"macro_", "twin: o-word loops, calls and conditions",
     "rs274 reads no Fanuc macros (IF, GOTO, WHILE, G65, M98, O numbers)"},
    {"haas_", "twin: o-word call of the local subprogram",
     "rs274 has no M97; run under the HAAS option only"},
    {"lathe_roughing_", "twin: the finishing contour without the G71/G70 blocks",
     "the backplot draws the contour P ... Q once where the program has it, not the roughing "
     "passes"},
};

struct Dialect {
    const char *name;
    std::function<void(DialectOptions &)> set;
};
const Dialect kMill{"mill", [](DialectOptions &) {}};
const Dialect kMillHaas{"mill, HAAS", [](DialectOptions &o) { o.Haas = true; }};
const Dialect kLatheA{"lathe A", [](DialectOptions &o) { o.machine = MachineType::Dreh1; }};
const Dialect kLatheB{"lathe B", [](DialectOptions &o) { o.machine = MachineType::Dreh2; }};

// The dialects each kind of program runs under.
std::vector<Dialect> dialectsOf(const std::string &name) {
    if (name.starts_with("lathe_"))
        return {kLatheA, kLatheB};
    if (name.starts_with("haas_"))
        return {kMillHaas};
    if (name.starts_with("drill_")) {
        const auto scale = [](const Dialect &d) {
            return Dialect{d.name, [d](DialectOptions &o) {
                               d.set(o);
                               o.cyclesToScale = true;
                           }};
        };
        return {scale(kMill), scale(kMillHaas)};
    }
    return {kMill, kMillHaas};
}

struct Move {
    bool arc = false;
    int plane = 17;
    double end[3]{};
    double cu = 0, cv = 0, sweep = 0; // arcs: centre in the plane's frame, degrees swept
};

std::vector<Move> readMoves(const std::filesystem::path &path) {
    std::vector<Move> moves;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        Move m;
        words >> kind;
        if (kind == "A")
            words >> m.plane;
        words >> m.end[0] >> m.end[1] >> m.end[2];
        if (kind == "A") {
            m.arc = true;
            words >> m.cu >> m.cv >> m.sweep;
        }
        if (!kind.empty())
            moves.push_back(m);
    }
    return moves;
}

constexpr double kTolerance = 2e-4; // the fixtures carry four decimals

bool near(const double (&a)[3], const double (&b)[3]) {
    return std::fabs(a[0] - b[0]) <= kTolerance && std::fabs(a[1] - b[1]) <= kTolerance &&
           std::fabs(a[2] - b[2]) <= kTolerance;
}

double distance(const double (&a)[3], const double (&b)[3]) {
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

struct Compared {
    size_t points = 0, centres = 0;
};

// Walks the drawn points along the expected moves; returns an empty text when they agree.
std::string compare(const std::vector<t9dline> &drawn, const std::vector<Move> &moves,
                    Compared &compared) {
    double at[3] = {0, 0, 0};
    size_t k = 0;
    const auto point = [&](size_t index, double(&p)[3]) {
        p[0] = drawn[index].x, p[1] = drawn[index].y, p[2] = drawn[index].z;
    };
    const auto skipStill = [&] {
        double p[3];
        while (k < drawn.size() && (point(k, p), near(p, at)))
            ++k;
    };
    for (size_t n = 0; n < moves.size(); ++n) {
        const Move &m = moves[n];
        const std::string where = "move " + std::to_string(n + 1) + ": ";
        skipStill();
        double p[3] = {0, 0, 0};
        if (k < drawn.size())
            point(k, p);
        if (!m.arc) {
            if (near(m.end, at))
                continue; // a move of no length
            if (k < drawn.size() && near(p, m.end)) {
                std::copy(m.end, m.end + 3, at);
                ++k;
            } else if (k < drawn.size() &&
                       distance(at, m.end) + distance(m.end, p) - distance(at, p) < kTolerance) {
                std::copy(m.end, m.end + 3, at); // one straight line drawn for two collinear
            } else {
                std::ostringstream text;
                text << where << "expected a line to " << m.end[0] << ' ' << m.end[1] << ' '
                     << m.end[2] << ", drawn " << p[0] << ' ' << p[1] << ' ' << p[2];
                return text.str();
            }
            ++compared.points;
            continue;
        }
        const int u = m.plane == 19 ? 1 : 0, v = m.plane == 17 ? 1 : 2;
        const double radius = std::hypot(m.end[u] - m.cu, m.end[v] - m.cv);
        double angle = std::atan2(at[v] - m.cv, at[u] - m.cu), swept = 0;
        for (;; ++k) {
            if (k >= drawn.size())
                return where + "the arc ends before its end point";
            point(k, p);
            if (std::fabs(std::hypot(p[u] - m.cu, p[v] - m.cv) - radius) > 5e-4) {
                std::ostringstream text;
                text << where << "point " << p[0] << ' ' << p[1] << ' ' << p[2]
                     << " is off the circle about " << m.cu << ' ' << m.cv << " radius " << radius;
                return text.str();
            }
            const double next = std::atan2(p[v] - m.cv, p[u] - m.cu);
            double step = next - angle;
            step -= 2 * std::numbers::pi * std::round(step / (2 * std::numbers::pi));
            swept += step;
            angle = next;
            if (near(p, m.end) && std::fabs(swept * 180 / std::numbers::pi - m.sweep) < 1)
                break;
        }
        std::copy(m.end, m.end + 3, at);
        ++k;
        ++compared.points;
        ++compared.centres;
    }
    skipStill();
    if (k < drawn.size())
        return "drawn beyond the last move, at point " + std::to_string(k);
    return {};
}

TEST(InterpreterCorpus, AgreesWithLinuxCncMoveForMove) {
    std::vector<std::filesystem::path> programs;
    for (const auto &entry : std::filesystem::directory_iterator(kCorpus))
        if (entry.path().extension() == ".nc")
            programs.push_back(entry.path());
    std::sort(programs.begin(), programs.end());
    EXPECT_GE(programs.size(), 40u);
    Compared compared;
    for (const auto &program : programs) {
        const std::string name = program.filename().string();
        SCOPED_TRACE(name);
        // a twin needs its departure
        if (std::filesystem::exists(
                std::filesystem::path(program).replace_extension(".rs274.ngc"))) {
            EXPECT_TRUE(
                std::any_of(std::begin(kDepartures), std::end(kDepartures),
                            [&](const Departure &d) { return name.starts_with(d.programs); }));
        }
        const auto moves = readMoves(std::filesystem::path(program).replace_extension(".moves"));
        ASSERT_FALSE(moves.empty());
        std::ifstream in(program, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        for (const Dialect &dialect : dialectsOf(name)) {
            SCOPED_TRACE(dialect.name);
            InterpreterHarness h;
            dialect.set(h.options);
            EXPECT_EQ(compare(h.Run(text), moves, compared), "");
        }
    }
    std::cout << "corpus: " << programs.size() << " programs, " << compared.points
              << " end points and " << compared.centres << " arc centres compared\n";
}

// The machine's path that the program facts and the machining preview read: with drilling
// cycles drawn as strokes (the default), the run's log gives back the holes LinuxCNC drills.
TEST(InterpreterCorpus, DrillingCyclesOnTheMachineWhateverTheDrawing) {
    Compared compared;
    size_t programs = 0;
    for (const auto &entry : std::filesystem::directory_iterator(kCorpus)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".nc" || !name.starts_with("drill_"))
            continue;
        SCOPED_TRACE(name);
        ++programs;
        const auto moves =
            readMoves(std::filesystem::path(entry.path()).replace_extension(".moves"));
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        for (const Dialect &dialect : {kMill, kMillHaas}) {
            SCOPED_TRACE(dialect.name);
            InterpreterHarness h;
            dialect.set(h.options);
            RunLog log;
            h.log = &log;
            h.RunAll(text);
            std::vector<t9dline> machine;
            TMachinePath path(h.lines, &log);
            t9dline m[2];
            for (uint32_t k = uint32_t(kFixedPoints); k < h.lines.Count(); ++k)
                for (uint32_t n = path.Moves(k, m), i = 0; i < n; ++i)
                    machine.push_back(m[i]);
            EXPECT_EQ(compare(machine, moves, compared), "");
        }
    }
    EXPECT_GE(programs, 5u);
}

} // namespace
} // namespace morvilo::test
