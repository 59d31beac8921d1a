#include "editor/editorcore.h"
#include "editordocument.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <random>
#include <unistd.h>

using namespace morvilo;
using morvilo::test::ScratchFolder;

namespace {

struct Line {
    std::string text;
    int64_t olpos, lpos;
    bool operator==(const Line &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Line &l) {
    return out << '"' << l.text << "\" (" << l.olpos << ", " << l.lpos << ")";
}

// What the line reader must give: a line ends at LF, at a CR not followed by LF, or at
// CR LF; its text leaves out 0 bytes; a break at the very end starts no further line.
std::vector<Line> referenceLines(const std::string &text) {
    std::vector<Line> lines;
    size_t start = 0;
    std::string current;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' || c == '\r') {
            size_t next = i + 1;
            if (c == '\r' && next < text.size() && text[next] == '\n')
                ++next;
            lines.push_back({current, int64_t(start), int64_t(next)});
            current.clear();
            start = next;
            i = next - 1;
        } else if (c != 0) {
            current += c;
        }
    }
    if (start < text.size())
        lines.push_back({current, int64_t(start), int64_t(text.size())});
    return lines;
}

// A view that records what the core asks of the window.
struct RecordingView : EditorView {
    std::vector<std::string> errors;
    int lineChanges = 0;
    int changes = 0;
    void ShowError(const std::string &message) override { errors.push_back(message); }
    void LineChanged() override { ++lineChanges; }
    void Changed() override { ++changes; }
};

class EditorCoreTest : public ::testing::Test {
protected:
    void open(const std::string &text) { test::OpenDocument(core, scratch, text); }
    std::vector<Line> readAll() {
        std::vector<Line> lines;
        core.FirstLine();
        while (core.NextLine()) {
            EXPECT_EQ(core.alinenr, int64_t(lines.size()));
            lines.push_back({core.line, core.olpos, core.lpos});
        }
        return lines;
    }
    void key(EditorKey k, bool shift = false, bool ctrl = false) { core.KeyDown(k, shift, ctrl); }

    ScratchFolder scratch;
    RecordingView view;
    TEditorCore core{&view};
};

TEST_F(EditorCoreTest, LineReaderFollowsTheOneBreakRule) {
    open(std::string("A\rB\r\nC\nD"));
    const std::vector<Line> expected = {{"A", 0, 2}, {"B", 2, 5}, {"C", 5, 7}, {"D", 7, 8}};
    EXPECT_EQ(readAll(), expected);
    EXPECT_FALSE(core.NextLine());

    ASSERT_TRUE(core.GetLinenr(2));
    EXPECT_EQ((Line{core.line, core.olpos, core.lpos}), expected[2]);
    ASSERT_TRUE(core.PrevLine());
    EXPECT_EQ((Line{core.line, core.olpos, core.lpos}), expected[1]);
    EXPECT_EQ(core.alinenr, 1);
    ASSERT_TRUE(core.NextLine()); // reads the line after the one PrevLine gave
    EXPECT_EQ((Line{core.line, core.olpos, core.lpos}), expected[2]);

    // A CR LF split between two of the reader's 1 MiB windows is still one break.
    open(std::string((1 << 20) - 1, 'A') + "\r\nB\r\nC");
    ASSERT_TRUE(core.GetLinenr(2));
    EXPECT_EQ((Line{core.line, core.olpos, core.lpos}), (Line{"C", (1 << 20) + 4, (1 << 20) + 5}));
    ASSERT_TRUE(core.GetLinenr(1));
    EXPECT_EQ((Line{core.line, core.olpos, core.lpos}), (Line{"B", (1 << 20) + 1, (1 << 20) + 4}));

    open("A\nB\nC");
    ASSERT_TRUE(core.GetLinenr(2));
    ASSERT_TRUE(core.PrevLine());
    EXPECT_EQ((Line{core.line, core.olpos, core.lpos}), (Line{"B", 2, 4}));
    ASSERT_TRUE(core.PrevLine());
    EXPECT_FALSE(core.PrevLine()); // at the first line

    EXPECT_FALSE(core.GetLinenr(3)); // fewer lines: the reader ends past the end
    EXPECT_EQ(core.lpos, core.size());
    EXPECT_EQ(core.alinenr, 2);

    // An overwrite that keeps the size is seen by the next read.
    core.mem().setdata(2, 1, reinterpret_cast<const uint8_t *>("b"));
    ASSERT_TRUE(core.GetLinenr(1));
    EXPECT_EQ(core.line, "b");

    open("");
    EXPECT_FALSE(core.GetLinenr(0));
    core.FirstLine();
    EXPECT_FALSE(core.NextLine());
}

TEST_F(EditorCoreTest, LineReaderMatchesTheReferenceOnRandomTexts) {
    std::mt19937 random(7);
    const char alphabet[] = {'G', '1', ' ', '\r', '\n', '\0', 'X', '\t'};
    for (int round = 0; round < 60; ++round) {
        std::string text;
        // Some texts span several of the reader's 1 MiB windows.
        const size_t length = random() % (round < 56 ? 200 : 3000000);
        for (size_t i = 0; i < length; ++i)
            text += alphabet[random() % (round % 3 == 0 ? 8 : 3 + random() % 6)];
        open(text);
        const std::vector<Line> expected = referenceLines(text);
        ASSERT_EQ(readAll(), expected) << "round " << round;
        // Walking back gives the same lines again.
        for (size_t i = expected.size(); i-- > 1;) {
            ASSERT_TRUE(core.PrevLine()) << "round " << round << " line " << i;
            ASSERT_EQ((Line{core.line, core.olpos, core.lpos}), expected[i - 1])
                << "round " << round;
        }
        if (!expected.empty()) {
            const size_t nr = random() % expected.size();
            ASSERT_TRUE(core.GetLinenr(int64_t(nr)));
            ASSERT_EQ((Line{core.line, core.olpos, core.lpos}), expected[nr]) << "round " << round;
        }
    }
}

TEST_F(EditorCoreTest, OpeningFailsWithMessageTwelveAndKeepsTheDocument) {
    open("G1 X5");
    const std::string document = core.afilename;
    const int changesBefore = view.changes;
    EXPECT_FALSE(core.OpenFileWithName(""));
    EXPECT_TRUE(view.errors.empty());
    EXPECT_FALSE(core.OpenFileWithName((scratch / "missing.nc").string()));
    EXPECT_FALSE(core.OpenFileWithName(scratch.path().string())); // a folder is no document
    ASSERT_EQ(view.errors.size(), 2u);
    EXPECT_EQ(view.errors[0], "Die Datei konnte nicht geöffnet werden!\n" +
                                  (scratch / "missing.nc").string() +
                                  "\nDatei oder Ordner nicht vorhanden");
    EXPECT_EQ(view.errors[1], "Die Datei konnte nicht geöffnet werden!\n" +
                                  scratch.path().string() + "\nDas ist ein Ordner");
    EXPECT_EQ(core.afilename, document);
    EXPECT_EQ(core.size(), 5);
    EXPECT_EQ(core.ByteAt(3), 'X');
    EXPECT_EQ(view.changes, changesBefore);
}

TEST_F(EditorCoreTest, LayoutPlacesBreaksTabsAndLongLines) {
    open("A\r\nB");
    EXPECT_EQ(core.Cell(0, 0), 1); // A
    EXPECT_EQ(core.Cell(0, 1), 2); // CR
    EXPECT_EQ(core.Cell(1, 0), 4); // B took the LF's cell
    core.curx = 1;
    core.UpdateCaretPos(true, false, false);
    core.KeyDown(EditorKey::Right, false, false);
    EXPECT_EQ(core.curx, 3); // over the LF

    open("G01 X\t10");
    for (int column = 5; column < 8; ++column)
        EXPECT_EQ(core.Cell(0, column), 6) << column;
    core.curx = 5;
    core.UpdateCaretPos(true, false, false);
    key(EditorKey::Right);
    EXPECT_EQ(core.curx, 6);
    EXPECT_EQ(core.px, 8);

    open(std::string(1500, 'x') + "\n");
    EXPECT_NE(core.Cell(0, 1023), 0);
    EXPECT_EQ(core.Cell(1, 0), 1025);
    EXPECT_EQ(core.Cell(1, 475), 1500);
    EXPECT_EQ(core.Cell(1, 476), 1501); // the LF
    EXPECT_EQ(core.Cell(1, 477), 0);
}

TEST_F(EditorCoreTest, EmptyDocumentShowsTheCaretAtTheFirstCell) {
    open("");
    EXPECT_TRUE(core.pxfound);
    EXPECT_EQ(core.px, 0);
    EXPECT_EQ(core.py, 0);
    EXPECT_EQ(core.StatusText(),
              "Spalte: 0; Zeile (ab Anzeigestart): 0; Zeile in Datei: 1; Offset: 0; HEX: 0000");
}

TEST_F(EditorCoreTest, StatusLineTellsColumnRowAndOffset) {
    std::string text;
    for (int i = 0; i < 3; ++i)
        text += std::string(400, 'a') + "\r\n";
    text += std::string(100, 'b');
    open(text);
    core.curx = 3 * 402 + 12;
    core.UpdateCaretPos(true, false, false);
    EXPECT_EQ(core.StatusText(), "Spalte: 12; Zeile (ab Anzeigestart): 3; Zeile in Datei: 4; "
                                 "Offset: 1218; HEX: 04C2");
    EXPECT_FALSE(core.FileLinePending());
    // Lines of the display and of the file part where a line wraps and where the view starts.
    open(std::string(3000, 'x') + "\nG1\nG2\n");
    core.curx = 3004;
    core.UpdateCaretPos(true, false, false);
    EXPECT_NE(core.StatusText().find("Zeile (ab Anzeigestart): 4; Zeile in Datei: 3;"),
              std::string::npos)
        << core.StatusText();
}

TEST_F(EditorCoreTest, WordMovesStopAtWordEdges) {
    open("G01 X10\r\nG00");
    core.curx = 1;
    core.UpdateCaretPos(true, false, false);
    key(EditorKey::Right, false, true);
    EXPECT_EQ(core.curx, 3); // before the space
    core.curx = 7;           // after X10
    core.UpdateCaretPos(true, false, false);
    key(EditorKey::Left, false, true);
    EXPECT_EQ(core.curx, 4); // before the X
}

TEST_F(EditorCoreTest, ShiftExtendsTheSelectionAndAPlainMoveCollapsesIt) {
    open("G1 X1\nG1 X2\nG1 X3\n");
    key(EditorKey::Down, true);
    EXPECT_EQ(core.markx, 0);
    EXPECT_EQ(core.curx, 6);
    key(EditorKey::Down, true);
    EXPECT_EQ(core.curx, 12);
    EXPECT_TRUE(core.IsSomethingSelected());
    key(EditorKey::Down); // no row below with text: onto the last line's break
    EXPECT_EQ(core.curx, 17);
    EXPECT_FALSE(core.IsSomethingSelected());

    key(EditorKey::A, false, true); // select all: anchor at 0, caret at the end
    EXPECT_EQ(core.markx, 0);
    EXPECT_EQ(core.curx, core.size());
}

TEST_F(EditorCoreTest, UpOnTheTopRowScrollsOneLine) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "N" + std::to_string(i) + " G1 X" + std::to_string(i) + "\r\n";
    open(text);
    core.posy = core.curx = text.find("N50 ");
    core.UpdateCaretPos(true, false, false);
    key(EditorKey::Right);
    key(EditorKey::Up);
    EXPECT_EQ(core.posy, int64_t(text.find("N49 ")));
    EXPECT_EQ(core.curx, core.posy); // the caret goes to the start of the new top row
    EXPECT_GT(view.lineChanges, 0);
}

TEST_F(EditorCoreTest, DownScrollsBeforeTheCaretReachesTheLastRow) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "N" + std::to_string(i) + "\n";
    open(text);
    for (int i = 0; i < 40; ++i)
        key(EditorKey::Down);
    EXPECT_EQ(core.curx, int64_t(text.find("N40\n")));
    EXPECT_TRUE(core.pxfound);
    EXPECT_LE(core.py, core.rph - 1); // scrolled before it would leave the last full row
    EXPECT_EQ(core.posy, int64_t(text.find("N" + std::to_string(40 - core.py) + "\n")));

    key(EditorKey::Home, false, true);
    EXPECT_EQ(core.posy, 0);
    EXPECT_EQ(core.curx, 0);
    key(EditorKey::End, false, true);
    EXPECT_EQ(core.curx, core.size());
    EXPECT_TRUE(core.pxfound);
    key(EditorKey::PageUp);
    EXPECT_LT(core.curx, core.size());
    key(EditorKey::End);
    EXPECT_EQ(core.ByteAt(core.curx), '\n'); // End stops on the row's break character
}

TEST_F(EditorCoreTest, SparseFiveGigabyteFileOpensAndReadsAtItsEnd) {
    // A few real lines at the start and the end, a 5 GiB hole of 0 bytes between them: the
    // hole belongs to the third line, whose text leaves the 0 bytes out.
    const int64_t fileSize = int64_t(5) << 30;
    const std::string head = "N1 G0 X1\r\nN2 G1 X2\r\n", tail = "N3 G1 X3\r\nN4 G1 X4\r\n";
    const auto path = scratch / "sparse.nc";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, fileSize), 0);
    ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), ssize_t(head.size()));
    ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), fileSize - int64_t(tail.size())),
              ssize_t(tail.size()));
    ::close(fd);

    ASSERT_TRUE(core.OpenFileWithName(path));
    EXPECT_EQ(core.size(), fileSize);

    // An edit near the end, read back through the store and the line reader (one pass over
    // the whole file: the hole reads at the speed the system hands out zero pages).
    const std::string inserted = "N5 G0 Z5\r\n";
    core.mem().insertdata(fileSize - 10, int64_t(inserted.size()),
                          reinterpret_cast<const uint8_t *>(inserted.data()));
    const uint8_t *bytes = core.mem().getdata(core.size() - 30, 30);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(bytes), 30),
              "N3 G1 X3\r\n" + inserted + "N4 G1 X4\r\n");
    core.mem().FreeLastGettedData();

    ASSERT_TRUE(core.GetLinenr(4)); // the last line
    EXPECT_EQ((Line{core.line, core.olpos, core.lpos}),
              (Line{"N4 G1 X4", fileSize, fileSize + 10}));
    ASSERT_TRUE(core.PrevLine());
    EXPECT_EQ((Line{core.line, core.olpos, core.lpos}),
              (Line{"N5 G0 Z5", fileSize - 10, fileSize}));
    EXPECT_EQ(core.alinenr, 3);
    EXPECT_FALSE(core.NextLine() && core.NextLine()); // N4 again, then the end
}

} // namespace
