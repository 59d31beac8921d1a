#include "editor/editorcore.h"
#include "editor/editorsearch.h"
#include "editordocument.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <random>
#include <unistd.h>

using namespace morvilo;
using morvilo::test::ScratchFolder;
using namespace std::string_literals;

namespace {

TSearchText bytesOf(const std::string &s) {
    return SearchTextOf(s, false, nullptr);
}

struct Message {
    std::string text, caption;
    bool operator==(const Message &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Message &m) {
    return out << '"' << m.text << "\" [" << m.caption << "]";
}

struct MessageView : EditorView {
    std::vector<Message> shown;
    void ShowError(const std::string &message) override { shown.push_back({message, ""}); }
    void ShowCaptionedError(const std::string &message, const std::string &caption) override {
        shown.push_back({message, caption});
    }
};

const Message kNotFound{"Die Zeichenkette konnte nicht gefunden werden.", "Suchen"};

class SearchTest : public ::testing::Test {
protected:
    void open(const std::string &text) { test::OpenDocument(core, scratch, text); }
    std::string text() {
        std::string t(size_t(core.size()), '\0');
        core.mem().CopyOut(0, core.size(), reinterpret_cast<uint8_t *>(t.data()));
        return t;
    }
    void caret(int64_t pos) {
        core.curx = pos;
        core.UpdateCaretPos(true, false, false);
    }
    // The selection as (start, caret).
    std::pair<int64_t, int64_t> selection() const { return {core.markx, core.curx}; }
    bool search(const std::string &what, bool caseSensitive = false, bool hex = false) {
        settings.text = what;
        settings.caseSensitive = caseSensitive;
        settings.hex = hex;
        return core.Weitersuchen(settings);
    }
    bool replace(const std::string &what, const std::string &by, bool all, bool hex = false) {
        replaceSettings.text = what;
        replaceSettings.replacement = by;
        replaceSettings.replaceAll = all;
        replaceSettings.hex = hex;
        return core.WeiterSuchenundErsetzen(replaceSettings);
    }

    ScratchFolder scratch;
    MessageView view;
    TEditorCore core{&view};
    TSearchSettings settings;
    TReplaceSettings replaceSettings;
};

// ---- search text --------------------------------------------------------------------------

TEST(SearchTextTest, HexPairsMakeBytesAndZeroBecomes256) {
    struct Case {
        std::string typed;
        TSearchText expected;
        std::string badChars;
    };
    const Case cases[] = {
        {"0D0A", {13, 10}, ""},  {"00", {256}, ""}, {"ff7e", {255, 126}, ""},
        {"0D0", {13}, ""},       // a digit left over is dropped
        {"4", {}, ""},           // so is a lone one
        {"G1", {1}, "G"},        // a bad character counts as 0
        {"4x 1", {64, 1}, "x "}, // each bad character is named
    };
    for (const Case &c : cases) {
        std::string bad;
        const TSearchText text = SearchTextOf(c.typed, true, [&](uint8_t b) { bad += char(b); });
        EXPECT_EQ(text, c.expected) << c.typed;
        EXPECT_EQ(bad, c.badChars) << c.typed;
    }
    EXPECT_EQ(bytesOf("G\xE4"s + '\0'), (TSearchText{'G', 0xE4, 256}));
}

// ---- scanning -----------------------------------------------------------------------------

// Every start offset and search text over a text of several windows, against a plain search:
// matches at window borders, texts longer than a window, overlapping candidates.
TEST(SearchPatternTest, FindsWhatAPlainSearchFindsAcrossWindows) {
    std::mt19937 random(7);
    const std::string alphabet = "aAbB\r\n\0\xE1"s;
    std::string text(3 * size_t(TEditorCore::bufsiz) + 777, ' ');
    for (char &c : text)
        c = alphabet[random() % alphabet.size()];
    TMemory store(0, true);
    store.insertdata(0, int64_t(text.size()), reinterpret_cast<const uint8_t *>(text.data()));

    const auto fold = [](std::string s) {
        for (char &c : s)
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
        return s;
    };
    const std::string folded = fold(text);
    for (int round = 0; round < 300; ++round) {
        const size_t length = round < 290 ? 1 + random() % 9 : 10000 + random() % 600;
        const size_t from = random() % text.size();
        // Mostly pieces of the text itself, so that there is something to find.
        std::string what = text.substr(random() % (text.size() - length), length);
        if (round % 5 == 0)
            what[random() % length] = 'z';
        const bool caseSensitive = round % 2 == 0;
        const size_t expected =
            caseSensitive ? text.find(what, from) : folded.find(fold(what), from);
        const int64_t found =
            TSearchPattern(bytesOf(what), caseSensitive).FindForward(store, int64_t(from));
        EXPECT_EQ(found, expected == std::string::npos ? -1 : int64_t(expected))
            << "round " << round << ", length " << length << ", from " << from;
    }
}

TEST(SearchPatternTest, FoldsOnlyTheLettersAToZ) {
    struct Case {
        std::string text, what;
        bool found;
    };
    const Case cases[] = {
        {"x g1 y", "G1", true}, {"x G1 y", "g1", true},  {"@", "`", false},
        {"[", "{", false},      {"\xE4", "\xC4", false}, {"\xC4", "\xC4", true},
    };
    for (const Case &c : cases) {
        const auto *bytes = reinterpret_cast<const uint8_t *>(c.text.data());
        EXPECT_EQ(TSearchPattern(bytesOf(c.what), false).FindIn(bytes, c.text.size()) <
                      c.text.size(),
                  c.found)
            << c.text << " / " << c.what;
    }
}

// ---- search -------------------------------------------------------------------------------

TEST_F(SearchTest, CaseDistinctionDecidesWhetherG1FindsG1OrAlsoLowerCase) {
    open("N10 g1 X5\r\nN20 G1 X6\r\n");
    EXPECT_TRUE(search("G1"));
    EXPECT_EQ(selection(), std::make_pair(int64_t(4), int64_t(6)));
    EXPECT_EQ(core.posy, 0); // the view starts at the row that holds the caret

    caret(0);
    EXPECT_TRUE(search("G1", true));
    EXPECT_EQ(selection(), std::make_pair(int64_t(15), int64_t(17)));
    EXPECT_EQ(core.posy, 11);
    EXPECT_TRUE(view.shown.empty());
}

TEST_F(SearchTest, AMatchStraddlingTwoWindowsIsFound) {
    std::string doc(2 * size_t(TEditorCore::bufsiz), 'x');
    doc.replace(size_t(TEditorCore::bufsiz) + 100 - 3, 6, "G02X1Y");
    open(doc);
    caret(100); // the first window ends at 100 + 10240, inside the match
    EXPECT_TRUE(search("g02x1y"));
    EXPECT_EQ(core.markx, TEditorCore::bufsiz + 97);
    EXPECT_EQ(core.curx, TEditorCore::bufsiz + 103);
}

TEST_F(SearchTest, ASearchStartedOnTheFirstByteOfAMatchFindsIt) {
    open("G1 X1\r\nG1 X2\r\n");
    caret(7);
    EXPECT_TRUE(search("G1 X"));
    EXPECT_EQ(selection(), std::make_pair(int64_t(7), int64_t(11)));
    // The caret stands behind the match: the next search goes on after it.
    EXPECT_FALSE(search("G1 X"));
    EXPECT_EQ(selection(), std::make_pair(int64_t(7), int64_t(11)));
}

TEST_F(SearchTest, HexTextFindsEveryCrLfAndZeroBytes) {
    open("A\r\nB\nC\r\nD\0E"s);
    std::vector<int64_t> found;
    while (search("0D0A", false, true))
        found.push_back(core.markx);
    EXPECT_EQ(found, (std::vector<int64_t>{1, 6}));
    EXPECT_EQ(view.shown, std::vector<Message>{kNotFound});

    caret(0);
    EXPECT_TRUE(search("00", false, true));
    EXPECT_EQ(selection(), std::make_pair(int64_t(9), int64_t(10)));
    caret(0);
    EXPECT_TRUE(search("0D0A0", false, true)); // the odd digit is ignored
    EXPECT_EQ(selection(), std::make_pair(int64_t(1), int64_t(3)));
}

TEST_F(SearchTest, BadHexCharactersAreNamedOneByOne) {
    open("x\x01y");
    EXPECT_TRUE(search("G1", false, true)); // G counts as 0: the byte 01
    EXPECT_EQ(core.markx, 1);
    const Message bad{"Ungültiges Zeichen für den HEX-Modus: \"G\" (0-9; A-F sind erlaubt)", ""};
    EXPECT_EQ(view.shown, std::vector<Message>{bad});

    view.shown.clear();
    caret(0);
    EXPECT_FALSE(search("0\xE4", false, true)); // the byte 00, which the text lacks
    ASSERT_EQ(view.shown.size(), 2u);
    EXPECT_EQ(view.shown[1], kNotFound);
    EXPECT_EQ(view.shown[0].text, // named as the character it is
              "Ungültiges Zeichen für den HEX-Modus: \"ä\" (0-9; A-F sind erlaubt)");
}

TEST_F(SearchTest, NothingFoundLeavesCaretSelectionAndViewAndSaysSo) {
    open(std::string(30000, 'x') + "\r\n");
    core.posy = 5000;
    core.markx = 5100;
    core.curx = 5200;
    core.SilentLayout();
    EXPECT_FALSE(search("y"));
    EXPECT_EQ(selection(), std::make_pair(int64_t(5100), int64_t(5200)));
    EXPECT_EQ(core.posy, 5000);
    EXPECT_EQ(view.shown, std::vector<Message>{kNotFound});

    view.shown.clear();
    EXPECT_FALSE(search("")); // an empty text ends silently
    EXPECT_TRUE(view.shown.empty());
}

TEST_F(SearchTest, StartAtTheBeginningSwitchesItselfOff) {
    open("G1\r\nG1\r\nG1\r\n");
    caret(8);
    settings.startAtBeginning = true;
    EXPECT_TRUE(search("G1"));
    EXPECT_EQ(core.markx, 0);
    EXPECT_FALSE(settings.startAtBeginning);
    EXPECT_TRUE(search("G1"));
    EXPECT_EQ(core.markx, 4);
}

// ---- replace ------------------------------------------------------------------------------

TEST_F(SearchTest, OneReplacementIsSelectedAndUndoneInTwoSteps) {
    open("G1 X1\r\nG1 X2\r\n");
    caret(3);
    EXPECT_TRUE(replace("g1", "G01", false));
    EXPECT_EQ(text(), "G1 X1\r\nG01 X2\r\n");
    EXPECT_EQ(selection(), std::make_pair(int64_t(7), int64_t(10)));
    ASSERT_EQ(core.undos.Count(), 2u);
    EXPECT_NE(core.undos[0].undogroup, core.undos[1].undogroup);
    EXPECT_TRUE(core.changed);
    core.Undo();
    EXPECT_EQ(text(), "G1 X1\r\n X2\r\n");
    core.Undo();
    EXPECT_EQ(text(), "G1 X1\r\nG1 X2\r\n");
}

TEST_F(SearchTest, ReplaceAllReplacesEveryMatchAsOneUndoGroup) {
    std::string doc;
    for (int i = 0; i < 3000; ++i) // matches in several windows
        doc += "X1 Y2 x3\r\n";
    open(doc);
    caret(0);
    EXPECT_TRUE(replace("x", "AX", true)); // the replacement holds the search text
    std::string expected;
    for (int i = 0; i < 3000; ++i)
        expected += "AX1 Y2 AX3\r\n";
    EXPECT_EQ(text(), expected);
    EXPECT_TRUE(view.shown.empty());
    EXPECT_EQ(selection(), std::make_pair(int64_t(0), int64_t(0)));
    EXPECT_EQ(core.posy, 0);
    EXPECT_TRUE(core.changed);
    core.Undo();
    EXPECT_EQ(text(), doc);
    EXPECT_FALSE(core.CanUndo());
}

TEST_F(SearchTest, ReplaceAllWithoutMatchesSaysSoOnceAndChangesNothing) {
    open("G1 Y1\r\nG1 Y2\r\n");
    core.markx = 3;
    core.curx = 5;
    core.SilentLayout();
    EXPECT_FALSE(replace("X", "Y", true));
    EXPECT_EQ(text(), "G1 Y1\r\nG1 Y2\r\n");
    EXPECT_EQ(view.shown, std::vector<Message>{kNotFound});
    EXPECT_EQ(core.undos.Count(), 0u);
    EXPECT_FALSE(core.changed);
    EXPECT_FALSE(core.inupdate);
    EXPECT_EQ(selection(), std::make_pair(int64_t(3), int64_t(5)));
}

TEST_F(SearchTest, HexReplacementWritesZeroBytes) {
    open("A\r\nB\r\n");
    caret(0);
    EXPECT_TRUE(replace("0d0a", "000A", true, true));
    EXPECT_EQ(text(), "A\0\nB\0\n"s);
}

// ---- the view after a search, a replacement or a jump -----------------------------------------

// A document file: text at offset, the bytes before it filler (0: a hole of a sparse file).
struct Document {
    std::string text;
    int64_t offset = 0;
    char filler = 0;
};

std::string gcodeLines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "N" + std::to_string(i) + " G1 X" + std::to_string(i) + "\r\n";
    return text;
}

void writeDocument(const std::filesystem::path &path, const Document &doc) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    if (doc.filler == 0) {
        ASSERT_EQ(::ftruncate(fd, doc.offset), 0);
    } else {
        const std::string chunk(1 << 20, doc.filler);
        for (int64_t done = 0; done < doc.offset;) {
            const size_t n = size_t(std::min<int64_t>(int64_t(chunk.size()), doc.offset - done));
            ASSERT_EQ(::pwrite(fd, chunk.data(), n, done), ssize_t(n));
            done += int64_t(n);
        }
    }
    ASSERT_EQ(::pwrite(fd, doc.text.data(), doc.text.size(), doc.offset), ssize_t(doc.text.size()));
    ::close(fd);
}

// Whatever the lengths of the lines, the size of the text and the height of the editor, the
// view starts at the row that holds what was found (the jump's offset, the match, the
// replacement) as a layout from the start of its line places it, and the caret is in view.
// Rows are 1024 columns wide (98 with word wrap); 240 pixels hold 14 rows, 600 pixels 37.
TEST_F(SearchTest, TheViewStartsAtTheRowOfWhatWasFoundAndShowsTheCaret) {
    enum class Op { Search, Replace, Jump };
    struct Case {
        const char *name;
        Document doc;
        int height;
        bool wordWrap;
        Op op;
        std::string what;     // the search text; for a jump unused
        int64_t from;         // the caret before, or the jump's offset
        int64_t expectedPosy; // offsets count from doc.offset
    };
    const std::string ones = std::string(3000, '\n') + "G1 X5\n" + std::string(100, '\n');
    const std::string gcode = gcodeLines(200);
    const int64_t line50 = int64_t(gcode.find("N50 "));
    const int64_t line60 = int64_t(gcode.find("N60 "));
    const int64_t around1500 = int64_t(gcode.rfind('\n', 1500)) + 1;
    const std::string longLine =
        "N1\r\n" + std::string(4500, 'X') + "G1" + std::string(500, 'X') + "\r\nN3\r\n";
    const std::string tabs = "N1\r\n" + std::string(200, '\t') + "G1\r\nN3\r\n";
    const std::string wrapped =
        "N1\r\n" + std::string(250, 'X') + "G1" + std::string(48, 'X') + "\r\nN3\r\n";
    const std::string tall = std::string(100, '\n') + "A" + std::string(40, '\n') + "B\n\n";
    const int64_t hundredMB = 100'000'000;
    const int64_t beyond4GiB = (int64_t(9) << 29) - 2; // 4.5 GiB, just before the lines
    const std::string far = "\r\n" + gcode;
    const int64_t end = int64_t(gcode.size()), lastLine = int64_t(gcode.rfind("N200 "));
    const std::string tallMatch = "A" + std::string(40, '\n') + "B";
    const Document hugeLineEnd{"G1 X5\r\nN2\r\n", hundredMB, 'X'}, hugeLine{"\r\n", hundredMB, 'X'};
    const Document farLines{far, beyond4GiB};
    const Case cases[] = {
        {"1-byte lines", {ones}, 240, false, Op::Search, "G1", 0, 3000},
        {"line 50", {gcode}, 240, false, Op::Search, "N50 ", 0, line50},
        {"line 50, taller", {gcode}, 600, false, Op::Search, "N50 ", 0, line50},
        {"replacement in line 60", {gcode}, 240, false, Op::Replace, "X60\r", 0, line60},
        {"jump to 1500", {gcode}, 600, false, Op::Jump, "", 1500, around1500},
        {"jump to 1500, smaller", {gcode}, 240, false, Op::Jump, "", 1500, around1500},
        {"jump near the start", {gcode}, 240, false, Op::Jump, "", 3, 0},
        {"jump into the last line", {gcode}, 240, false, Op::Jump, "", end - 3, lastLine},
        {"jump to the end", {gcode}, 240, false, Op::Jump, "", end, lastLine},
        {"second row of a long line", {longLine}, 240, false, Op::Search, "G1", 0, 4 + 4096},
        {"tabs", {tabs}, 240, false, Op::Search, "G1", 0, 4 + 128},
        {"word wrap", {wrapped}, 240, true, Op::Search, "G1", 0, 4 + 2 * 98},
        {"a match taller than the view", {tall}, 240, false, Op::Search, tallMatch, 0, 141},
        {"end of a 100 MB line", hugeLineEnd, 240, false, Op::Search, "G1", -20, 0},
        {"middle of a 100 MB line", hugeLine, 600, false, Op::Jump, "", -50'000'000, -50'000'000},
        {"line 50 beyond 4 GiB", farLines, 240, false, Op::Search, "N50 ", 0, 2 + line50},
        {"jump beyond 4 GiB", farLines, 600, false, Op::Jump, "", 1502, 2 + around1500},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = scratch / "view.nc";
        std::filesystem::remove(path); // the open document keeps the old file
        writeDocument(path, c.doc);
        core.SetMetrics(8, 16);
        core.SetClientSize(800, c.height);
        core.SetWordWrap(c.wordWrap);
        ASSERT_TRUE(core.OpenFileWithName(path));
        const int64_t from = c.doc.offset + c.from;
        switch (c.op) {
        case Op::Search:
            caret(from);
            ASSERT_TRUE(search(c.what, true));
            break;
        case Op::Replace:
            caret(from);
            ASSERT_TRUE(replace(c.what, c.what, false));
            break;
        case Op::Jump:
            ASSERT_TRUE(core.AnPositionspringen(std::to_string(from), false));
            break;
        }
        EXPECT_EQ(core.posy, c.doc.offset + c.expectedPosy);
        EXPECT_TRUE(core.pxfound);
        EXPECT_LT(core.py, core.rph);
    }
    EXPECT_TRUE(view.shown.empty());
}

// ---- jumps --------------------------------------------------------------------------------

TEST_F(SearchTest, PositionJumpTakesDecimalOrHexAndClampsToTheText) {
    open(std::string(100, 'x'));
    struct Case {
        std::string text;
        bool hex;
        int64_t expected;
    };
    const Case cases[] = {
        {"1A", true, 26},
        {"1a", true, 26},
        {"26", false, 26},
        {" 7 ", false, 7},
        {"1000", false, 100},
        {"-5", false, 0},
        {"FFFFFFFFFFFFFFFFFF", true, 100},
    };
    for (const Case &c : cases) {
        core.markx = 1;
        EXPECT_TRUE(core.AnPositionspringen(c.text, c.hex)) << c.text;
        EXPECT_EQ(selection(), std::make_pair(c.expected, c.expected)) << c.text;
    }
    EXPECT_TRUE(view.shown.empty());
}

TEST_F(SearchTest, PositionJumpRejectsWhatIsNoNumber) {
    open(std::string(100, 'x'));
    caret(10);
    for (const std::string bad : {"", "abc", "1A", "2.5"})
        EXPECT_FALSE(core.AnPositionspringen(bad, false)) << bad;
    EXPECT_EQ(selection(), std::make_pair(int64_t(10), int64_t(10)));
    EXPECT_EQ(view.shown.size(), 4u);
    EXPECT_EQ(view.shown[0], (Message{"Die Position ist kein gültige Zahl.", ""}));

    view.shown.clear();
    EXPECT_TRUE(core.AnPositionspringen("1G", true)); // G counts as 0
    EXPECT_EQ(core.curx, 16);
    EXPECT_EQ(view.shown.size(), 1u);
}

TEST_F(SearchTest, LineNumberJumpFindsTheBlockNumberOrFallsBackToTheEditorLine) {
    struct Case {
        std::string doc;
        int64_t n;
        bool fromNBlocks;
        int64_t start, end; // the selection
    };
    const std::string noThree = "N30 X1\r\nN13 X2\r\nG0 X3\r\nN4 X4\r\n";
    const Case cases[] = {
        {"N30 X1\r\nN13 X2\r\nN0003 X3\r\nN3 X4\r\n", 3, true, 16, 25},
        {"N30 X1\r\n(N3) N13 X2\r\nn 3 X3\r\n", 3, true, 21, 28},
        {noThree, 3, true, 16, 22}, // no block N3: the third line
        {noThree, 4, true, 23, 29},
        {noThree, 4, false, 23, 29},
        {noThree, 1, false, 0, 7},
    };
    for (const Case &c : cases) {
        open(c.doc);
        EXPECT_TRUE(ZeilennummerSpringen(core, c.n, c.fromNBlocks)) << c.doc << " " << c.n;
        EXPECT_EQ(selection(), std::make_pair(c.start, c.end)) << c.doc << " " << c.n;
    }
    for (const int64_t missing : {0, 5, -1}) {
        caret(2);
        EXPECT_FALSE(ZeilennummerSpringen(core, missing, false));
        EXPECT_EQ(selection(), std::make_pair(int64_t(2), int64_t(2)));
    }
}

} // namespace
