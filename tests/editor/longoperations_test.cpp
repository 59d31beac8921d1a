// Searching, jumping to a line and saving tell the core's progress hook how far they got and
// stop when it says so: a stopped operation leaves caret, selection, text, undo list, changed
// mark and files as they were and says nothing. Without a hook, or with one that never stops
// them, they do what they always did.

#include "../common/testfiles.h"
#include "editor/editorcore.h"
#include "editor/editorsearch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <utility>

using namespace morvilo;
using morvilo::test::FileNamesIn;
namespace fs = std::filesystem;

namespace {

// About 12 MiB: a walk through the whole text reports at least twice.
constexpr int kLines = 700000;

struct RecordingView : EditorView {
    std::vector<std::string> messages;
    void ShowError(const std::string &message) override { messages.push_back(message); }
};

// Lines of a program, numbered so that every block differs; every markEvery-th line carries
// an M08.
std::string program(int lines, int markEvery = 0) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += "N" + std::to_string(i) + " G1 X" + std::to_string(i % 97) + " Y1";
        if (markEvery > 0 && i % markEvery == 0)
            text += " M08";
        text += "\r\n";
    }
    return text;
}

std::string wholeText(TEditorCore &core) {
    std::string t(size_t(core.size()), '\0');
    t.resize(size_t(core.mem().CopyOut(0, core.size(), reinterpret_cast<uint8_t *>(t.data()))));
    return t;
}

// Records every report; answers "stop" at call number stopAt (from 1), never with 0.
struct Reports {
    std::vector<std::pair<int64_t, int64_t>> calls;
    int stopAt = 0;

    TProgressHook hook() {
        return [this](int64_t done, int64_t total) {
            calls.emplace_back(done, total);
            return int(calls.size()) != stopAt;
        };
    }
    // Each report within total, none before the one before it.
    bool Orderly(int64_t total) const {
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i].second != total || calls[i].first < 0 || calls[i].first > total ||
                (i > 0 && calls[i].first < calls[i - 1].first))
                return false;
        return true;
    }
};

// What a stopped operation must leave as it found it.
struct EditorState {
    int64_t posy, posx, curx, cury, markx, marky, size;
    bool changed;
    size_t undoRecords;
    int64_t undone;
    std::string text;

    explicit EditorState(TEditorCore &core)
        : posy(core.posy), posx(core.posx), curx(core.curx), cury(core.cury), markx(core.markx),
          marky(core.marky), size(core.size()), changed(core.changed),
          undoRecords(core.undos.Count()), undone(core.undone), text(wholeText(core)) {}
    bool operator==(const EditorState &) const = default;
};

class LongOperationsTest : public ::testing::Test {
protected:
    test::ScratchFolder scratch;
    RecordingView view;
    TEditorCore core{&view};

    void open(const std::string &text) {
        test::WriteFile(scratch / "doc.nc", text);
        core.SetMetrics(8, 16);
        core.SetClientSize(800, 400);
        ASSERT_TRUE(core.OpenFileWithName((scratch / "doc.nc").string()));
        ASSERT_GT(core.size(), 2 * kProgressStep + kProgressStep / 2);
    }
    // Caret and selection in the first lines, the view a little further down.
    void selectNearStart() {
        core.posy = 42;
        core.markx = 60;
        core.curx = 75;
        core.UpdateCaretPos(true, true, false);
    }
    void typeAt(int64_t pos, const std::string &chars) {
        core.curx = core.markx = pos;
        core.UpdateCaretPos(true, false, false);
        for (const char c : chars)
            core.KeyPress(uint8_t(c));
    }
};

// ---- search and replace ---------------------------------------------------------------------

TEST_F(LongOperationsTest, ASearchReportsAndFindsWhatItFindsWithoutAHook) {
    const std::string text = program(kLines) + "X999.5\r\n";
    open(text);
    TSearchSettings settings;
    settings.text = "x999.5";
    ASSERT_TRUE(core.Weitersuchen(settings));
    const int64_t found = core.markx;
    EXPECT_EQ(found, int64_t(text.size()) - 8);
    core.curx = core.markx = 0;
    Reports reports;
    core.progress = reports.hook();
    ASSERT_TRUE(core.Weitersuchen(settings));
    EXPECT_EQ(core.markx, found);
    EXPECT_EQ(core.curx, found + 6);
    EXPECT_FALSE(core.cancelled);
    EXPECT_GE(reports.calls.size(), 2u);
    EXPECT_TRUE(reports.Orderly(core.size()));
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(LongOperationsTest, AStoppedSearchOrReplacementLeavesEverything) {
    struct Case {
        const char *name;
        bool replace, replaceAll, startAtBeginning;
        int stopAt;
    };
    const Case cases[] = {
        {"search, first report", false, false, false, 1},
        {"search, later report", false, false, false, 2},
        {"search from the beginning", false, false, true, 1},
        {"replace", true, false, false, 2},
        {"replace from the beginning", true, false, true, 1},
        {"replace all", true, true, false, 1},
        {"replace all from the beginning", true, true, true, 2},
    };
    // The only match is behind every report.
    open(program(kLines) + "X999.5\r\n");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        selectNearStart();
        const EditorState before(core);
        TReplaceSettings settings;
        settings.text = "X999.5";
        settings.replacement = "X1";
        settings.replaceAll = c.replaceAll;
        settings.startAtBeginning = c.startAtBeginning;
        Reports reports;
        reports.stopAt = c.stopAt;
        core.progress = reports.hook();
        const bool result =
            c.replace ? core.WeiterSuchenundErsetzen(settings) : core.Weitersuchen(settings);
        EXPECT_FALSE(result);
        EXPECT_TRUE(core.cancelled);
        EXPECT_EQ(int(reports.calls.size()), c.stopAt);
        EXPECT_TRUE(EditorState(core) == before);
        EXPECT_EQ(settings.startAtBeginning, c.startAtBeginning); // a next search starts there
        EXPECT_FALSE(core.inupdate);
        EXPECT_TRUE(view.messages.empty()) << view.messages.front();
        view.messages.clear();
    }
}

TEST_F(LongOperationsTest, AStoppedReplaceAllKeepsItsReplacementsAsOneUndoStep) {
    const std::string original = program(kLines, 1000);
    open(original);
    TReplaceSettings settings;
    settings.text = "M08";
    settings.replacement = "M8";
    settings.replaceAll = true;
    Reports reports;
    reports.stopAt = 2;
    core.progress = reports.hook();
    EXPECT_TRUE(core.WeiterSuchenundErsetzen(settings));
    EXPECT_TRUE(core.cancelled);
    EXPECT_TRUE(view.messages.empty());
    const std::string replaced = wholeText(core);
    const size_t firstLeft = replaced.find("M08");
    ASSERT_NE(firstLeft, std::string::npos) << "every match was replaced";
    EXPECT_NE(replaced.find("M8\r\n"), std::string::npos) << "nothing was replaced";
    EXPECT_EQ(replaced.rfind("M8\r\n", firstLeft), replaced.rfind("M8\r\n"))
        << "a replacement lies behind a match left alone";
    EXPECT_TRUE(core.changed);
    core.Undo();
    EXPECT_EQ(wholeText(core), original);
    EXPECT_FALSE(core.CanUndo());
}

// ---- jumps to a line ------------------------------------------------------------------------

TEST_F(LongOperationsTest, LineJumpsReportAndStop) {
    struct Case {
        const char *name;
        int64_t n;
        bool fromNBlocks;
        bool exists;
    };
    const Case cases[] = {
        {"line of the editor", kLines - 10, false, true},
        {"N block", kLines - 10, true, true},
        {"beyond the last line", kLines + 5, false, false},
        {"N block nowhere, line nowhere", kLines + 5, true, false},
    };
    open(program(kLines));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // Without a hook and with one that never stops: the same line selected.
        core.progress = nullptr;
        selectNearStart();
        EXPECT_EQ(ZeilennummerSpringen(core, c.n, c.fromNBlocks), c.exists);
        const std::pair<int64_t, int64_t> selected{core.markx, core.curx};
        Reports goingOn;
        core.progress = goingOn.hook();
        selectNearStart();
        EXPECT_EQ(ZeilennummerSpringen(core, c.n, c.fromNBlocks), c.exists);
        EXPECT_EQ(std::make_pair(core.markx, core.curx), selected);
        EXPECT_FALSE(core.cancelled);
        EXPECT_GE(goingOn.calls.size(), 2u);
        // Stopped at the first report and at the last one: nothing moves.
        for (const int stopAt : {1, int(goingOn.calls.size())}) {
            selectNearStart();
            const EditorState before(core);
            Reports stopping;
            stopping.stopAt = stopAt;
            core.progress = stopping.hook();
            EXPECT_FALSE(ZeilennummerSpringen(core, c.n, c.fromNBlocks));
            EXPECT_TRUE(core.cancelled);
            EXPECT_EQ(int(stopping.calls.size()), stopAt);
            EXPECT_TRUE(EditorState(core) == before);
        }
    }
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(LongOperationsTest, GetLinenrReadsTheSameLineWithAHookAndFailsWhenStopped) {
    open(program(kLines));
    for (const int64_t nr : {int64_t(kLines) - 3, int64_t(kLines) + 3}) {
        SCOPED_TRACE(nr);
        core.progress = nullptr;
        const bool exists = core.GetLinenr(nr);
        const auto read = std::make_tuple(core.line, core.olpos, core.lpos, core.alinenr);
        Reports goingOn;
        core.progress = goingOn.hook();
        EXPECT_EQ(core.GetLinenr(nr), exists);
        EXPECT_EQ(std::make_tuple(core.line, core.olpos, core.lpos, core.alinenr), read);
        EXPECT_FALSE(core.cancelled);
        EXPECT_GE(goingOn.calls.size(), 2u);
        Reports stopping;
        stopping.stopAt = int(goingOn.calls.size());
        core.progress = stopping.hook();
        EXPECT_FALSE(core.GetLinenr(nr));
        EXPECT_TRUE(core.cancelled);
    }
    core.progress = nullptr; // the reader still reads
    EXPECT_TRUE(core.GetLinenr(2));
    EXPECT_EQ(core.line, "N2 G1 X2 Y1");
}

// ---- saving ---------------------------------------------------------------------------------

TEST_F(LongOperationsTest, AStoppedSaveLeavesFileTextAndStateAndNothingBehind) {
    struct Case {
        const char *name;
        bool edited;      // changed blocks come from memory, the rest from the file
        bool ownName;     // saved over the document's file, else under a new name
        int stopAtReport; // 1: the first report; 0: the last one a whole save makes
    };
    const Case cases[] = {
        {"unchanged, own name, first report", false, true, 1},
        {"unchanged, own name, last report", false, true, 0},
        {"edited, own name, first report", true, true, 1},
        {"edited, own name, last report", true, true, 0},
        {"edited, new name, first report", true, false, 1},
        {"edited, new name, last report", true, false, 0},
    };
    const std::string original = program(kLines);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        open(original);
        if (c.edited) {
            typeAt(100, "G4 ");
            typeAt(core.size() - 100, "G4 ");
        }
        const fs::path target = c.ownName ? scratch / "doc.nc" : scratch / "new.nc";
        // How many reports a whole save makes (into a file of its own, then removed).
        Reports whole;
        core.progress = whole.hook();
        const fs::path measured = scratch / "measured.nc";
        ASSERT_TRUE(core.SaveAsFile(measured.string()));
        ASSERT_GE(whole.calls.size(), 2u);
        fs::remove(measured);
        ASSERT_TRUE(core.OpenFileWithName((scratch / "doc.nc").string()));
        if (c.edited) {
            typeAt(100, "G4 ");
            typeAt(core.size() - 100, "G4 ");
        }
        const EditorState before(core);
        const auto folder = FileNamesIn(scratch.path());
        Reports stopping;
        stopping.stopAt = c.stopAtReport > 0 ? c.stopAtReport : int(whole.calls.size());
        core.progress = stopping.hook();
        EXPECT_FALSE(core.SaveAsFile(target.string()));
        EXPECT_TRUE(core.cancelled);
        EXPECT_EQ(int(stopping.calls.size()), stopping.stopAt);
        EXPECT_TRUE(view.messages.empty()) << view.messages.front();
        EXPECT_EQ(test::ReadFile(scratch / "doc.nc"), original);
        EXPECT_EQ(FileNamesIn(scratch.path()), folder);
        EXPECT_TRUE(EditorState(core) == before);
        EXPECT_EQ(core.afilename, (scratch / "doc.nc").string());
        // Saved with a hook that lets it finish: the file holds the text.
        Reports goingOn;
        core.progress = goingOn.hook();
        ASSERT_TRUE(core.SaveAsFile(target.string()));
        EXPECT_FALSE(core.cancelled);
        EXPECT_FALSE(core.changed);
        EXPECT_TRUE(goingOn.Orderly(before.size));
        EXPECT_EQ(test::ReadFile(target), before.text);
        core.progress = nullptr;
        fs::remove(scratch / "new.nc");
    }
}

TEST_F(LongOperationsTest, WithoutAHookASaveWritesTheWholeText) {
    open(program(kLines));
    typeAt(5000, "G4 ");
    const std::string edited = wholeText(core);
    ASSERT_TRUE(core.SaveAsFile((scratch / "doc.nc").string()));
    EXPECT_FALSE(core.cancelled);
    EXPECT_EQ(test::ReadFile(scratch / "doc.nc"), edited);
    EXPECT_EQ(FileNamesIn(scratch.path()), std::vector<std::string>{"doc.nc"});
}

} // namespace
