// Variables of a block, macro calls and subprograms: the plot list and the variables they leave.

#include "interpreterharness.h"

#include "interpreter/subprogrameditors.h"

#include <filesystem>
#include <functional>

namespace morvilo::test {
namespace {

// Events that act at the first event (firstEvent) and stop the run at the fifth.
class StoppingEvents : public RunEvents {
public:
    explicit StoppingEvents(RunFlags &flags, std::function<void()> firstEvent = {})
        : flags(flags), firstEvent(std::move(firstEvent)) {}
    void ProcessEvents() override {
        if (++processed == 1 && firstEvent)
            firstEvent();
        if (processed == 5)
            flags.breakprogram = true;
    }
    void Sleep(int32_t) override {}
    RunFlags &flags;
    std::function<void()> firstEvent;
    int processed = 0;
};

struct CallCase {
    const char *text;
    std::vector<Xyz> path;
};

// A subprogram folder holding the given files, and the editors they are loaded into.
struct SubprogramFolder {
    SubprogramFolder(InterpreterHarness &h,
                     std::initializer_list<std::pair<const char *, const char *>> files) {
        const auto folder = h.scratch.path() / "subs";
        std::filesystem::create_directory(folder);
        for (const auto &[name, text] : files)
            WriteFile(folder / name, text);
        h.options.subprogramFolder = folder.string();
        h.subeditors = &editors;
    }
    HeadlessSubprogramEditors editors;
};

TEST(InterpreterSubprograms, CallsAndReturns) {
    const CallCase cases[] = {
        // the block's assignments read the values from before it; brackets come first
        {"#1=1\n#1=#1+1#2=#1\nG1X#1Y#2", {{2, 1, 0}}},
        {"#1=SIN[30]\nG1X#1", {{30, 0, 0}}},
        {"#1=[SIN[30]]\nG1X#1", {{0.5, 0, 0}}},
        // G65: arguments in #24 and #1 inside, the caller's #0 ... #99 back after M99; the
        // call block does not move
        {"#1=7\n#24=9\nG65P100X5A2\nG1X#24Y#1\nM30\nO100\nG1X#24Y#1\nM99", {{5, 2, 0}, {9, 7, 0}}},
        {"G91G1X1\nG65P100X5\nM30\nO100\nG90G1Y#24\nM99", {{1, 0, 0}, {1, 6, 0}}},
        // passes of M98 and M97; #100 and above keep what the subprogram left
        {"M98P21000\nG1X#100\nM30\nO1000\n#100=#100+1\nM99", {{2, 0, 0}}},
        {"M98P1000L3\nG1X#100\nM30\nO1000\n#100=#100+1\nM99", {{3, 0, 0}}},
        // (K counts passes here, but as a coordinate word it also makes the block move)
        {"M97P1000K2\nG1X#100\nM30\nO1000\n#100=#100+1\nM99", {{0, 0, 0}, {2, 0, 0}}},
        {"M98O1000\nG1X#100\nM30\nO1000\n#100=#100+1\nM99", {{1, 0, 0}}},
        {"M98P01000\nG1X#100\nM30\nO1000\n#100=#100+1\nM99", {{1, 0, 0}}},
        // no passes: nothing on the stack, so the M99 below ends the run
        {"M98P1000L0\nM99\nG1X5\nO1000\nM99", {}},
        // M99 in the main program ends the run like M30
        {"G1X1\nM99\nG1X5", {{1, 0, 0}}},
        // reading goes on right after the calling line, also when the same text stands twice
        {"G1X1\nM98P5\nG1X1\nM98P5\nG1X2\nM30\nO5\nG91G1Y1\nG90\nM99",
         {{1, 0, 0}, {1, 1, 0}, {1, 1, 0}, {1, 2, 0}, {2, 2, 0}}},
        // a program found nowhere ends the run after the calling line
        {"G1X1\nM98P77G1Y1\nG1X5", {{1, 0, 0}, {1, 1, 0}}},
        // nested calls return level by level
        {"M98P1\nG1X#100\nM30\nO1\nM98P2\n#100=#100+10\nM99\nO2\n#100=#100+1\nM99", {{11, 0, 0}}},
        // G66: the macro runs after each positioning block with #18 = 2, not after G67
        {"G66P9010R2\nG1X10\nX20\nG67\nX30\nG1Y#100Z#101\nM30\nO9010\n#100=#100+1\n#101=#18\nM99",
         {{10, 0, 0}, {20, 0, 0}, {30, 0, 0}, {30, 2, 2}}},
        // a positioning block that calls a subprogram itself makes no modal call
        {"G66P5\nG1X1M98P6\nG1Y#100Z#101\nM30\nO5\n#101=1\nM99\nO6\n#100=#100+1\nM99",
         {{1, 0, 0}, {1, 1, 0}}},
    };
    for (const CallCase &c : cases) {
        SCOPED_TRACE(c.text);
        InterpreterHarness h;
        ExpectPath(h.Run(c.text), c.path);
        EXPECT_FALSE(h.flags.inrender);
    }
}

// #3000 reaches the message hook; animated runs add every assignment to the variable list.
TEST(InterpreterSubprograms, MacroOutputAndVariableListLines) {
    for (const int32_t animatesleep : {0, 1}) {
        InterpreterHarness h;
        std::vector<std::string> shown, listed;
        h.message = [&](const std::string &caption, const std::string &text) {
            shown.push_back(caption + "|" + text);
        };
        h.variableline = [&](const std::string &line) { listed.push_back(line); };
        h.flags.animatesleep = animatesleep;
        h.Run("#3000=12\n#5=7##5=0.5");
        EXPECT_EQ(shown, std::vector<std::string>{"Makro Ausgabe 12|#3000=12"});
        const std::vector<std::string> expected{"3000: 12", "5: 7", "0: 0.5"};
        EXPECT_EQ(listed, animatesleep ? expected : std::vector<std::string>{});
    }
}

// A file of the subprogram folder beats the same program number in the text; the points it
// draws belong to the calling line of the main text.
TEST(InterpreterSubprograms, FileBeatsText) {
    const std::string text = "G1X1\nM98P200\nG1Y#100\nM30\nO200\n#100=1\nM99\n";
    {
        InterpreterHarness h;
        SubprogramFolder folder(h, {{"notes.txt", "G1X99\nM99"},
                                    {"O2000.NC", "G1X99\nM99"},
                                    {"O200.NC", "#100=2\nG1X7\nM99"}});
        const auto points = h.Run(text);
        ExpectPath(points, {{1, 0, 0}, {7, 0, 0}, {7, 2, 0}});
        EXPECT_EQ(points[1].zeilevon, 5);  // the M98 line ...
        EXPECT_EQ(points[1].zeilebis, 13); // ... up to the offset after its line end
        EXPECT_EQ(folder.editors.created, 1u);
        EXPECT_EQ(folder.editors.Open(), 0u);
    }
    { // without the folder, the text's O200
        InterpreterHarness h;
        ExpectPath(h.Run(text), {{1, 0, 0}, {1, 1, 0}});
    }
}

// Files are found by O and the number anywhere in their names, letter case aside; passes and
// nesting load them again; a run that ends inside a file gives every editor back.
TEST(InterpreterSubprograms, FilesNestAndUnwind) {
    InterpreterHarness h;
    SubprogramFolder folder(h, {{"part_o0031.cnc", "#100=#100+1\nM98P32\nM99"},
                                {"o32.txt", "#101=#101+1\nM99"},
                                {"O33.NC", "G1Y1"}});
    ExpectPath(h.Run("M98P31L2\nG1X#100Y#101"), {{2, 2, 0}});
    EXPECT_EQ(folder.editors.created, 4u);
    EXPECT_EQ(folder.editors.Open(), 0u);

    // no M99: reading ends in the file, and so does the run
    ExpectPath(h.Run("G1X1\nM98P33\nG1X5"), {{1, 0, 0}, {1, 1, 0}});
    EXPECT_EQ(folder.editors.Open(), 0u);
}

// A subprogram file that cannot be opened ends the run; its editor is given back.
TEST(InterpreterSubprograms, UnopenableFileEndsTheRun) {
    InterpreterHarness h;
    SubprogramFolder folder(h, {{"O300.NC", "G1X9\nM99"}});
    const auto file = std::filesystem::path(h.options.subprogramFolder) / "O300.NC";
    StoppingEvents events(h.flags, [&] { std::filesystem::remove(file); });
    h.events = &events;
    h.flags.animatesleep = 1; // every line ends with events
    // the folder is listed at the first call, the file goes after it
    ExpectPath(h.Run("M98P5\nG1X1\nM98P300\nG1X2\nM30\nO5\nM99"), {{1, 0, 0}});
    EXPECT_EQ(folder.editors.created, 1u);
    EXPECT_EQ(folder.editors.Open(), 0u);
    EXPECT_FALSE(h.flags.inrender);
}

// A program that calls itself without end is ended at a bounded depth and says why.
TEST(InterpreterSubprograms, EndlessSelfCallsAreBounded) {
    for (const bool files : {false, true}) {
        SCOPED_TRACE(files);
        InterpreterHarness h;
        SubprogramFolder folder(h, {});
        if (files)
            WriteFile(std::filesystem::path(h.options.subprogramFolder) / "O1.NC", "M98P1");
        std::vector<std::string> notices;
        h.notice = [&](const UserMessage &message) { notices.push_back(message.Filled()); };
        h.Run("M98P1\nM30\nO1\nG91G1X1\nM98P1");
        EXPECT_FALSE(h.flags.inrender);
        EXPECT_EQ(folder.editors.Open(), 0u);
        if (!files) {
            ASSERT_EQ(notices.size(), 1u);
            EXPECT_NE(notices[0].find("10000"), std::string::npos);
            EXPECT_EQ(h.lines.Count(), kFixedPoints + 10000);
        }
    }
}

// Calls inside an endless loop stay stoppable.
TEST(InterpreterSubprograms, EndlessCallingLoopsAreStoppable) {
    InterpreterHarness h;
    StoppingEvents events(h.flags);
    h.events = &events;
    h.flags.animatesleep = 1;
    h.Run("WHILE[1]DO1\nM98P5\nEND1\nM30\nO5\nM99");
    EXPECT_GE(events.processed, 5);
    EXPECT_FALSE(h.flags.inrender);
}

} // namespace
} // namespace morvilo::test
