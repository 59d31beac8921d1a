// Hostile programs: endless jumps and loops, absurd nesting, enormous lines and numbers, 0 bytes,
// degenerate arcs and hole patterns. Every run ends by itself or at the stop command, leaves no
// point that is not a number in the plot list, and a plot list that would outgrow its limit ends
// the run with the memory message.

#include "interpreterharness.h"

#include "vantrel/dynaarray.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

namespace morvilo::test {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

// Ends the test program when a run hangs, so that a hang fails instead of blocking the suite.
class Watchdog {
public:
    Watchdog(std::string what, std::chrono::seconds limit)
        : thread([this, what = std::move(what), limit] {
              std::unique_lock lock(mutex);
              if (!wake.wait_for(lock, limit, [this] { return finished; })) {
                  std::fprintf(stderr, "HANG: %s did not end within %llds\n", what.c_str(),
                               static_cast<long long>(limit.count()));
                  std::fflush(stderr);
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex);
            finished = true;
        }
        wake.notify_all();
        thread.join();
    }

private:
    std::mutex mutex;
    std::condition_variable wake;
    bool finished = false;
    std::thread thread; // last: starts once the members it uses exist
};

// The stop command, given from another thread after a delay; like the window's stop button it
// takes effect when the run lets the interface work.
class StopFromOutside : public RunEvents {
public:
    StopFromOutside(RunFlags &flags, std::chrono::milliseconds delay)
        : flags(flags), thread([this, delay] {
              std::unique_lock lock(mutex);
              if (!wake.wait_for(lock, delay, [this] { return cancelled; }))
                  requested = true;
          }) {}
    ~StopFromOutside() {
        {
            std::lock_guard lock(mutex);
            cancelled = true;
        }
        wake.notify_all();
        thread.join();
    }
    void ProcessEvents() override {
        if (requested && !flags.breakprogram) {
            flags.breakprogram = true;
            stopped = true;
        }
    }
    void Sleep(int32_t) override {}

    RunFlags &flags;
    std::atomic<bool> requested{false};
    bool stopped = false; // the run saw the stop command

private:
    std::mutex mutex;
    std::condition_variable wake;
    bool cancelled = false;
    std::thread thread;
};

// The messages of allocations that failed during a test.
std::vector<std::string> allocationMessages;
void collectAllocationMessage(const std::string &message) {
    allocationMessages.push_back(message);
}

// Every test runs with a plot list limited to a size the test machine holds easily, and
// collects the memory messages instead of printing them.
class HostileTest : public ::testing::Test {
protected:
    void SetUp() override {
        allocationMessages.clear();
        SetAllocationFailureHandler(&collectAllocationMessage);
        SetDynaArrayBlockLimit(kLimit);
    }
    void TearDown() override {
        SetDynaArrayBlockLimit(0);
        SetAllocationFailureHandler(nullptr);
    }
    static constexpr uint64_t kLimit = uint64_t(256) << 20;
};

bool allFinite(const t9dline &p) {
    for (const double value : {p.x, p.y, p.z, p.a, p.b, p.c, p.u, p.v, p.w})
        if (!std::isfinite(value))
            return false;
    return true;
}

std::string repeated(const std::string &piece, size_t times) {
    std::string text;
    text.reserve(piece.size() * times);
    for (size_t k = 0; k < times; ++k)
        text += piece;
    return text;
}

// 10^exponent and 10^-exponent written out: the language has no exponent notation ("1E5" is
// the words 1 and E5).
std::string big(size_t exponent) {
    return "1" + std::string(exponent, '0');
}
std::string tiny(size_t exponent) {
    return "0." + std::string(exponent - 1, '0') + "1";
}

std::string nested(size_t depth, const std::string &inner) {
    return std::string(depth, '[') + inner + std::string(depth, ']');
}

// How a hostile run must end.
enum class Ending {
    ByItself,  // it ends before or regardless of the stop command
    ByStop,    // it runs until stopped, or until the plot list reaches its limit
    EitherWay, // a long single line: the stop acts at its end
};

struct HostileCase {
    const char *name;
    std::function<std::string()> program; // built when the case runs (some are large)
    Ending ending;
    bool haas = false;
    // Further checks of the plot list (the program's points, after the fixed ones).
    std::function<void(const std::vector<t9dline> &)> check = {};
};

void expectPointCount(const std::vector<t9dline> &points, size_t count) {
    EXPECT_EQ(points.size(), count);
}

const HostileCase kCases[] = {
    {"an endless GOTO loop with a move", [] { return std::string("N1\nG91 G1 X1\nGOTO1\n"); },
     Ending::ByStop},
    // Loops that come back in the same state end at once by themselves.
    {"an endless GOTO loop without a move", [] { return std::string("N10\nGOTO10\n"); },
     Ending::ByItself},
    {"two labels jumping to each other", [] { return std::string("N1\nGOTO2\nN2\nGOTO1\n"); },
     Ending::ByItself},
    {"an endless WHILE", [] { return std::string("WHILE[1]DO1\nG91 G1 X1\nEND1\nM30\n"); },
     Ending::ByStop},
    {"an endless empty WHILE", [] { return std::string("WHILE[1]DO1\nEND1\n"); }, Ending::ByItself},
    {"a WHILE whose END is missing", [] { return std::string("#1=0\nWHILE[#1LT1]DO1\nG1 X1\n"); },
     Ending::ByItself},
    {"10^6 nested brackets in a word", [] { return "G1 X" + nested(1000000, "1") + " Y2\n"; },
     Ending::ByItself, false,
     [](const std::vector<t9dline> &points) {
         // Too deep to evaluate: X has no effect, Y still moves.
         ASSERT_EQ(points.size(), 1u);
         EXPECT_EQ(points[0].x, 0);
         EXPECT_EQ(points[0].y, 2);
     }},
    {"10^6 opening brackets", [] { return "G1 X" + std::string(1000000, '[') + "\nG1 Y3\n"; },
     Ending::ByItself},
    {"10^6 nested brackets as a WHILE condition",
     [] { return "WHILE" + nested(1000000, "1") + "DO1\nG1 X1\nEND1\n"; }, Ending::ByItself},
    {"10^6 nested brackets as a variable number",
     [] { return "#" + nested(1000000, "1") + "=5\nG1 X#1\n"; }, Ending::ByItself},
    {"a 100 MB line of words", [] { return "G91 G1" + repeated("X1Y1", 25000000) + "\nG1 Z1\n"; },
     Ending::EitherWay},
    {"a 100 MB number", [] { return "G1 X1" + std::string(100000000, '9') + "\nG1 Y1\n"; },
     Ending::EitherWay},
    {"a 100 MB comment", [] { return "G1 X1 (" + std::string(100000000, 'c') + ")\nG1 Y1\n"; },
     Ending::EitherWay, false,
     [](const std::vector<t9dline> &points) {
         ASSERT_EQ(points.size(), 2u);
         EXPECT_EQ(points[1].x, 1);
         EXPECT_EQ(points[1].y, 1);
     }},
    {"10^308*10",
     [] {
         const std::string e308 = big(308);
         return "G1 X[" + e308 + "*10]\n#1=[" + e308 + "*10]\nG1 Y#1\nG1 Z1\n";
     },
     Ending::ByItself, false,
     [](const std::vector<t9dline> &points) {
         // An overflowing expression has no effect; the run goes on.
         ASSERT_FALSE(points.empty());
         for (const t9dline &p : points)
             EXPECT_TRUE(p.x == 0 && p.y == 0) << p.x << " " << p.y;
         EXPECT_EQ(points.back().z, 1);
     }},
    {"-10^308*10, 10^308/10^-308 and 0/0",
     [] {
         return "G1 X[-" + big(308) + "*10] Y[" + big(308) + "/" + tiny(308) + "] Z[0/0]\nG1 Z1\n";
     },
     Ending::ByItself},
    {"#[10^300]",
     [] {
         const std::string e300 = big(300);
         return "#[" + e300 + "]=5\nG1 X#[" + e300 + "] Y#[-" + e300 + "] Z#[0/0]\n";
     },
     Ending::ByItself},
    {"numbers beyond double",
     [] { return "G1 X" + big(400) + " Y-" + big(400) + " Z" + tiny(400) + "\nG1 X1\n"; },
     Ending::ByItself, false,
     [](const std::vector<t9dline> &points) {
         ASSERT_FALSE(points.empty());
         EXPECT_EQ(points.back().x, 1);
     }},
    {"0 bytes in lines",
     [] {
         return "G1 X1\0Y2\n\0\0\nG1 X\0 5\n\0G1 Z3\nG\0"
                "1 X7\n"s;
     },
     Ending::ByItself},
    {"an arc of radius 10^-300",
     [] {
         const std::string r = tiny(300);
         return "G2 X0 Y0 I" + r + " J0\nG3 X" + r + " Y0 R" + r + "\nG2 X1 Y0 R" + r + "\n";
     },
     Ending::ByItself},
    {"an arc of radius 10^300",
     [] {
         const std::string r = big(300);
         return "G2 X1 Y0 R" + r + "\nG3 X0 Y0 I" + r + " J0\nG2 X" + r + " Y0 I-" + r + " J" + r +
                "\n";
     },
     Ending::ByItself},
    {"a helix of 10^9 turns", [] { return std::string("G2 X0 Y0 I1 J0 Z1 L1000000000\n"); },
     Ending::ByItself, false,
     [](const std::vector<t9dline> &points) { expectPointCount(points, 0); }},
    {"a helix of 4*10^7 turns", [] { return std::string("G2 X0 Y0 I1 J0 Z1 L40000000\n"); },
     Ending::ByStop},
    {"a bolt circle of 10^9 holes", [] { return std::string("G34 X0 Y0 I10 J0 K1000000000\n"); },
     Ending::ByItself, false,
     [](const std::vector<t9dline> &points) { expectPointCount(points, 0); }},
    {"a HAAS bolt circle of 10^9 holes",
     [] { return std::string("G70 X0 Y0 I10 J0 L1000000000\n"); }, Ending::ByItself, true,
     [](const std::vector<t9dline> &points) { expectPointCount(points, 1); }},
    {"a grid of 10^5 x 10^5 holes",
     [] { return std::string("G37.1 X0 Y0 I1 J1 K100000 P100000\n"); }, Ending::ByItself, false,
     [](const std::vector<t9dline> &points) { expectPointCount(points, 0); }},
    {"holes on a line, 10^300 apart", [] { return "G35 X0 Y0 I" + big(300) + " J45 K1000\n"; },
     Ending::ByItself},
};

class HostilePrograms : public HostileTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostilePrograms, EndAndLeaveOnlyNumbers) {
    const HostileCase &c = GetParam();
    InterpreterHarness h;
    h.options.Haas = c.haas;
    const std::string text = c.program();
    StopFromOutside stop(h.flags, 200ms);
    h.events = &stop;
    std::vector<t9dline> points;
    {
        Watchdog watchdog(c.name, 60s);
        points = h.Run(text);
    }
    EXPECT_FALSE(h.flags.inrender);
    switch (c.ending) {
    case Ending::ByStop:
        // An endless program either saw the stop command or filled the plot list to its limit.
        EXPECT_TRUE(stop.stopped || !allocationMessages.empty());
        break;
    case Ending::ByItself:
        EXPECT_FALSE(stop.stopped) << "the run ended only when stopped";
        break;
    case Ending::EitherWay:
        break;
    }
    if (c.ending != Ending::ByStop) {
        EXPECT_TRUE(allocationMessages.empty()) << allocationMessages[0];
    }
    size_t bad = 0;
    for (const t9dline &p : points)
        bad += !allFinite(p);
    EXPECT_EQ(bad, 0u) << "points that are not finite numbers reached the plot list";
    if (c.check)
        c.check(points);
}

INSTANTIATE_TEST_SUITE_P(Hostile, HostilePrograms, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<HostileCase> &info) {
                             std::string name;
                             for (const char ch : std::string(info.param.name))
                                 if (std::isalnum(static_cast<unsigned char>(ch)))
                                     name += ch;
                             return name + "_" + std::to_string(info.index);
                         });

// A plot list that would outgrow its limit ends the run, without any stop command, with the
// memory message, once; the list keeps what it holds, filled up to the limit.
TEST_F(HostileTest, APlotListBeyondItsLimitEndsTheRunWithTheMemoryMessage) {
    constexpr uint64_t limit = uint64_t(1) << 20;
    const struct {
        const char *name;
        const char *text;
        bool oneRun; // the points share their line and pen: the points fill the limit
    } programs[] = {
        {"endless WHILE", "WHILE[1]DO1\nG91 G1 X1\nEND1\nM30\n", true},
        {"endless GOTO", "N1\nG91 G1 X1\nGOTO1\n", true},
        {"a helix of many turns", "G2 X0 Y0 I1 J0 Z1 L40000000\nG1 X5\n", true},
        {"a bolt circle of 10^6 holes", "G34 X0 Y0 I10 J0 K1000000\nG1 X5\n", false},
    };
    for (const auto &program : programs) {
        SCOPED_TRACE(program.name);
        allocationMessages.clear();
        SetDynaArrayBlockLimit(limit);
        InterpreterHarness h; // no event loop: nobody could press stop
        {
            Watchdog watchdog(program.name, 60s);
            h.Run(program.text);
        }
        EXPECT_FALSE(h.flags.inrender);
        ASSERT_EQ(allocationMessages.size(), 1u);
        EXPECT_NE(allocationMessages[0].find("Not enough memory"), std::string::npos)
            << allocationMessages[0];
        // One of the list's blocks is full: the points' coding (but for the ends of its
        // chunks, each left when a block of points no longer fits), or the runs when every
        // point starts one (the largest record, an axes run, once a point); no block outgrew
        // the limit.
        if (program.oneRun) {
            EXPECT_GE(h.lines.CodedBytes(), limit - limit / 8);
        }
        EXPECT_GE(h.lines.Count(), limit / sizeof(TPlotAxesRun));
        EXPECT_LE(h.lines.MemSize(), 3 * limit);
        // The move after the pattern is not carried out: the run ended.
        EXPECT_NE(h.lines[h.lines.Count() - 1].x, 5);
    }
}

} // namespace
} // namespace morvilo::test
