// Saving when the file system or another program works against it: a full or read-only file
// system, the target replaced by a folder, the document's own file deleted or shortened while it
// is open. The old file and the editor's text survive, the user is told, and nothing
// half-written is left under the target's name.

#include "../common/childprocess.h"
#include "../common/ownfilesystem.h"
#include "../common/testfiles.h"
#include "editor/editorcore.h"
#include "editordocument.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace morvilo;
using morvilo::test::FileNamesIn;
namespace fs = std::filesystem;

namespace {

struct ErrorView : EditorView {
    std::vector<std::string> errors;
    void ShowError(const std::string &message) override { errors.push_back(message); }
    std::string all() const {
        std::string text;
        for (const std::string &e : errors)
            text += e + "|";
        return text;
    }
};

// Lines of a program, n of them, numbered so that every block differs.
std::string program(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += "N" + std::to_string(i) + " G1 X" + std::to_string(i % 97) + " Y1\r\n";
    return text;
}

// The whole text (a read may find the file shorter and shrink the text while it copies).
std::string wholeText(TEditorCore &core) {
    std::string t(size_t(core.size()), '\0');
    t.resize(size_t(core.mem().CopyOut(0, core.size(), reinterpret_cast<uint8_t *>(t.data()))));
    return t;
}

// Opens text as folder/doc.nc in core, as a window would show it.
void openIn(TEditorCore &core, const fs::path &folder, const std::string &text) {
    test::WriteFile(folder / "doc.nc", text);
    core.SetMetrics(8, 16);
    core.SetClientSize(800, 400);
    ASSERT_TRUE(core.OpenFileWithName((folder / "doc.nc").string()));
}

void typeAt(TEditorCore &core, int64_t pos, const std::string &chars) {
    core.curx = core.markx = pos;
    core.UpdateCaretPos(true, false, false);
    for (const char c : chars)
        core.KeyPress(uint8_t(c));
}

// ---- real full and read-only file systems -----------------------------------------------

// What one fault on a file system of our own must leave: the save fails and says why, the old
// file is unchanged, the editor holds the edited text and its undo list, the folder holds
// nothing new, and the text can still be saved elsewhere. Returns what went wrong.
std::string failedSaveLeavesEverything(const fs::path &mounted, const fs::path &elsewhere,
                                       bool readOnly, const std::string &reason) {
    std::string problems;
    auto check = [&](bool ok, const std::string &what) {
        if (!ok)
            problems += what + "; ";
    };
    const std::string original = program(2000); // about 34 KiB: two do not fit in 48 KiB
    ErrorView view;
    TEditorCore core(&view);
    test::WriteFile(mounted / "doc.nc", original);
    if (readOnly && !test::RemountReadOnly(mounted))
        return "cannot remount read-only";
    core.SetMetrics(8, 16);
    core.SetClientSize(800, 400);
    if (!core.OpenFileWithName((mounted / "doc.nc").string()))
        return "the document did not open";
    typeAt(core, 5000, "G4 ");
    const std::string edited = wholeText(core);
    check(!core.SaveAsFile((mounted / "doc.nc").string()), "saving under its own name succeeded");
    check(view.all().find(reason) != std::string::npos,
          "the message lacks the reason: " + view.all());
    check(view.all().rfind("Die Datei konnte nicht erzeugt werden!", 0) == 0,
          "not the creation message: " + view.all());
    check(test::ReadFile(mounted / "doc.nc") == original, "the old file changed");
    check(wholeText(core) == edited, "the editor's text changed");
    check(core.CanUndo() && core.changed, "the undo list or the changed mark went");
    check(core.afilename == (mounted / "doc.nc").string(), "the document's name changed");
    view.errors.clear();
    check(!core.SaveAsFile((mounted / "new.nc").string()), "saving a new file succeeded");
    check(!view.errors.empty(), "the failed new file was not reported");
    check(FileNamesIn(mounted) == std::vector<std::string>{"doc.nc"},
          "something was left behind in the folder");
    check(core.SaveAsFile((elsewhere / "rescued.nc").string()), "saving elsewhere failed");
    check(test::ReadFile(elsewhere / "rescued.nc") == edited, "the rescued file differs");
    return problems;
}

TEST(SaveFaults, AFullFileSystemLeavesFileAndTextIntact) {
    test::ScratchFolder scratch;
    fs::create_directory(scratch / "disk");
    const std::string problems = test::InOwnFileSystem(scratch / "disk", 48 * 1024, [&] {
        return failedSaveLeavesEverything(scratch / "disk", scratch.path(), false,
                                          "Kein Platz mehr auf dem Datenträger");
    });
    if (problems.rfind("skip: ", 0) == 0)
        GTEST_SKIP() << problems;
    EXPECT_EQ(problems, "");
}

TEST(SaveFaults, AReadOnlyFileSystemLeavesFileAndTextIntact) {
    test::ScratchFolder scratch;
    fs::create_directory(scratch / "disk");
    const std::string problems = test::InOwnFileSystem(scratch / "disk", 1 << 20, [&] {
        return failedSaveLeavesEverything(scratch / "disk", scratch.path(), true,
                                          "Das Dateisystem ist schreibgeschützt");
    });
    if (problems.rfind("skip: ", 0) == 0)
        GTEST_SKIP() << problems;
    EXPECT_EQ(problems, "");
}

// ---- the program killed while it saves ----------------------------------------------------

// A save ended half-way by a kill leaves the old file as it was and nothing beside it, whether
// it went to the document's own file or to a new one.
TEST(SaveFaults, AKilledSaveLeavesNothingBehind) {
    test::ScratchFolder scratch;
    const std::string original = program(300000); // about 6 MiB: the save reports before its end
    const fs::path document = scratch / "doc.nc";
    test::WriteFile(document, original);
    for (const fs::path &target : {document, scratch / "copy.nc"}) {
        const bool killed = test::KilledWhenReady([&](const auto &ready) {
            ErrorView view;
            TEditorCore core(&view);
            core.SetMetrics(8, 16);
            core.SetClientSize(800, 400);
            if (!core.OpenFileWithName(document.string()))
                return;
            typeAt(core, 10, "G4 ");
            core.progress = [&](int64_t, int64_t) {
                ready(); // the save is half-way: killed here
                return true;
            };
            core.SaveAsFile(target.string());
        });
        EXPECT_TRUE(killed) << target;
        EXPECT_EQ(FileNamesIn(scratch.path()), std::vector<std::string>{"doc.nc"}) << target;
        EXPECT_TRUE(test::ReadFile(document) == original) << target;
    }
}

// ---- another program changes the document's file ----------------------------------------

class DocumentChanged : public ::testing::Test {
protected:
    void SetUp() override {
        openIn(core, scratch.path(), original);
        typeAt(core, 10, "G4 "); // a changed block; the rest stays in the file, unread
        edited = wholeText(core);
        // The store reads lazily: all but the changed block are still only in the file. The
        // copy above read them once, so open again to start without anything read.
        ASSERT_TRUE(core.SaveAsFile(own));
        ASSERT_EQ(test::ReadFile(own), edited);
        ASSERT_TRUE(core.OpenFileWithName(own));
        typeAt(core, 10, "M1 ");
        edited.insert(10, "M1 ");
        view.errors.clear();
    }

    test::ScratchFolder scratch;
    const std::string original = program(1200);
    const std::string own = (scratch / "doc.nc").string();
    std::string edited;
    ErrorView view;
    TEditorCore core{&view};
};

TEST_F(DocumentChanged, TargetReplacedByAFolder) {
    fs::remove(own);
    fs::create_directory(own);
    EXPECT_FALSE(core.SaveAsFile(own));
    EXPECT_NE(view.all().find("Das ist ein Ordner"), std::string::npos) << view.all();
    EXPECT_TRUE(fs::is_directory(own));
    EXPECT_TRUE(fs::is_empty(own));
    EXPECT_EQ(wholeText(core), edited); // the unread blocks still come from the open file
    EXPECT_EQ(FileNamesIn(scratch.path()), std::vector<std::string>{"doc.nc"});
    const auto other = scratch / "other.nc";
    ASSERT_TRUE(core.SaveAsFile(other.string()));
    EXPECT_EQ(test::ReadFile(other), edited);
}

TEST_F(DocumentChanged, DocumentDeletedWhileOpen) {
    fs::remove(own);
    EXPECT_EQ(wholeText(core), edited);
    ASSERT_TRUE(core.SaveAsFile(own)) << view.all();
    EXPECT_EQ(test::ReadFile(own), edited);
    EXPECT_TRUE(view.errors.empty()) << view.all();
}

// The bytes another program cut off are gone. The editor keeps what it holds (its changes and
// what the file still has), says once that the text ends where the file ends now, and saving
// writes exactly that text instead of failing on every attempt.
TEST_F(DocumentChanged, DocumentShortenedWhileOpen) {
    for (const bool readFirst : {false, true}) {
        SCOPED_TRACE(readFirst);
        SetUp();                            // a fresh document for each order
        const int64_t cut = 3 * 4096 + 100; // within the unread blocks
        ASSERT_EQ(::truncate(own.c_str(), cut), 0);
        const std::string expected = edited.substr(0, size_t(cut) + 3); // 3 typed bytes
        if (readFirst) {
            EXPECT_EQ(wholeText(core), expected);
        }
        const auto other = scratch / "saved.nc";
        ASSERT_TRUE(core.SaveAsFile(other.string())) << view.all();
        EXPECT_EQ(test::ReadFile(other), expected);
        EXPECT_EQ(wholeText(core), expected);
        ASSERT_EQ(view.errors.size(), 1u) << view.all();
        EXPECT_NE(view.errors[0].find("shorter"), std::string::npos) << view.errors[0];
        // Saved under its own name, the document is whole again.
        view.errors.clear();
        ASSERT_TRUE(core.SaveAsFile(own));
        EXPECT_EQ(test::ReadFile(own), expected);
        EXPECT_TRUE(view.errors.empty()) << view.all();
    }
}

// Another program rewrites the document's file under its name (a new file renamed over it, as
// careful programs save): the editor goes on with the file it opened.
TEST_F(DocumentChanged, DocumentReplacedWhileOpen) {
    const auto replacement = scratch / "replacement.tmp";
    test::WriteFile(replacement, "G0 X0\r\n");
    fs::rename(replacement, own);
    EXPECT_EQ(wholeText(core), edited);
    ASSERT_TRUE(core.SaveAsFile(own));
    EXPECT_EQ(test::ReadFile(own), edited);
}

} // namespace
