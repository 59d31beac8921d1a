#include "editor/tmemory.h"

#include "../common/testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using morvilo::TextStoreError;
using morvilo::TMemory;

namespace {

constexpr int64_t B = TMemory::dividesize;

const uint8_t *bytes(const std::string &s) {
    return reinterpret_cast<const uint8_t *>(s.data());
}

// G-code-like text in which every stretch of a few bytes is different, so that bytes taken
// from the wrong place show.
std::string programText(int64_t length) {
    std::string text;
    for (int64_t n = 0; int64_t(text.size()) < length; ++n)
        text += "N" + std::to_string(n) + " G1 X" + std::to_string(n * 37 % 1000) + "." +
                std::to_string(n % 7) + (n % 4 == 3 ? "\r\n" : "\r");
    text.resize(size_t(length));
    return text;
}

// The whole text. (A read may find the file shorter and shrink the text while it copies.)
std::string textOf(TMemory &mem) {
    std::string text(size_t(mem.size()), '\0');
    text.resize(size_t(mem.CopyOut(0, mem.size(), reinterpret_cast<uint8_t *>(text.data()))));
    EXPECT_EQ(int64_t(text.size()), mem.size());
    return text;
}

// Compares texts of many kilobytes, reporting where they part instead of printing them whole.
testing::AssertionResult sameText(const std::string &got, const std::string &want) {
    if (got == want)
        return testing::AssertionSuccess();
    const size_t at = size_t(
        std::mismatch(got.begin(), got.begin() + std::min(got.size(), want.size()), want.begin())
            .first -
        got.begin());
    const auto around = [at](const std::string &s) {
        const size_t from = at > 8 ? at - 8 : 0;
        return testing::PrintToString(s.substr(from, 24));
    };
    return testing::AssertionFailure()
           << "texts of " << got.size() << " and " << want.size() << " bytes part at offset " << at
           << ": " << around(got) << " vs " << around(want);
}

std::string copyOut(TMemory &mem, int64_t pos, int64_t len) {
    std::string text(size_t(len), '\0');
    text.resize(size_t(mem.CopyOut(pos, len, reinterpret_cast<uint8_t *>(text.data()))));
    return text;
}

std::vector<int64_t> sizesOf(const TMemory &mem) {
    std::vector<int64_t> sizes;
    for (int64_t i = 0; i < mem.numbufs(); ++i)
        sizes.push_back(mem.block(i).realsize);
    return sizes;
}

std::vector<int64_t> residentOf(const TMemory &mem) {
    std::vector<int64_t> resident;
    for (int64_t i = 0; i < mem.numbufs(); ++i)
        if (mem.block(i).alsetted)
            resident.push_back(i);
    return resident;
}

// A document file opened read-only as the editor opens it. The store reads through fd().
class DocumentFile {
public:
    explicit DocumentFile(const std::string &text) : path_(folder_ / "program.nc") {
        morvilo::test::WriteFile(path_, text);
        fd_ = ::open(path_.c_str(), O_RDONLY);
        if (fd_ < 0)
            throw std::runtime_error("cannot open the test file");
    }
    ~DocumentFile() { ::close(fd_); }

    int fd() const { return fd_; }
    const std::filesystem::path &path() const { return path_; }
    const std::filesystem::path &folder() const { return folder_.path(); }

    // Changes the file behind the store's back, as another program would.
    void overwrite(int64_t offset, const std::string &text) const {
        const int w = ::open(path_.c_str(), O_WRONLY);
        ASSERT_GE(w, 0);
        ASSERT_EQ(::pwrite(w, text.data(), text.size(), offset), ssize_t(text.size()));
        ::close(w);
    }
    void truncate(int64_t length) const { ASSERT_EQ(::truncate(path_.c_str(), length), 0); }

private:
    morvilo::test::ScratchFolder folder_;
    std::filesystem::path path_;
    int fd_ = -1;
};

// Points the descriptor fd at a folder while it lives, so that every read through fd fails:
// an operation that succeeds meanwhile has read nothing from the file.
class ReadsFail {
public:
    ReadsFail(int fd, const std::filesystem::path &folder) : fd_(fd), saved_(::dup(fd)) {
        const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        ::dup2(dir, fd_);
        ::close(dir);
    }
    ~ReadsFail() {
        ::dup2(saved_, fd_);
        ::close(saved_);
    }

private:
    int fd_;
    int saved_;
};

// ---------------------------------------------------------------------------------------------
// Opening

TEST(TMemoryOpen, FileIsCutIntoBlocksOfFourKilobytesAndNothingIsResident) {
    const struct {
        int64_t size;
        std::vector<int64_t> blocks;
    } cases[] = {
        {0, {0}},       {1, {1}},          {4095, {4095}},
        {4096, {4096}}, {4097, {4096, 1}}, {3 * B + 5, {B, B, B, 5}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.size);
        const std::string text = programText(c.size);
        DocumentFile file(text);
        TMemory mem(c.size, false, file.fd());
        EXPECT_EQ(mem.size(), c.size);
        EXPECT_EQ(sizesOf(mem), c.blocks);
        EXPECT_TRUE(residentOf(mem).empty());
        EXPECT_TRUE(sameText(textOf(mem), text));
        EXPECT_TRUE(residentOf(mem).empty()) << "reading made a block resident";
    }
}

TEST(TMemoryOpen, OpeningReadsNothingWhateverTheSize) {
    // No file at all behind 64 GiB: creating the store must not touch it, reading must fail.
    const int64_t size = int64_t(64) << 30;
    TMemory mem(size, false, -1);
    EXPECT_EQ(mem.size(), size);
    EXPECT_EQ(mem.numbufs(), size / B);
    EXPECT_EQ(mem.block(mem.numbufs() - 1).realsize, B);
    uint8_t byte;
    EXPECT_THROW(mem.CopyOut(size - 1, 1, &byte), TextStoreError);
}

TEST(TMemoryOpen, NewDocumentIsOneEmptyResidentBlock) {
    TMemory mem(0, true);
    EXPECT_EQ(mem.numbufs(), 1);
    EXPECT_EQ(mem.size(), 0);
    EXPECT_EQ(mem.block(0).realsize, 0);
    EXPECT_TRUE(mem.block(0).alsetted);
    mem.insertdata(0, 3, bytes("G0\n"));
    mem.insertdata(0, 3, bytes("N1 "));
    EXPECT_EQ(textOf(mem), "N1 G0\n");
}

// ---------------------------------------------------------------------------------------------
// Reading

TEST(TMemoryRead, ReadingAcrossTwoBlocksReadsBothFromTheFileAndKeepsNeither) {
    const std::string text = programText(3 * B);
    DocumentFile file(text);
    TMemory mem(3 * B, false, file.fd());

    EXPECT_EQ(copyOut(mem, 4090, 16), text.substr(4090, 16));
    const uint8_t *got = mem.getdata(4090, 16);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(got), 16), text.substr(4090, 16));
    EXPECT_TRUE(residentOf(mem).empty());

    // Nothing was kept: the next read sees what the file holds now.
    file.overwrite(4090, "abcdefghijklmnop");
    EXPECT_EQ(copyOut(mem, 4088, 20),
              text.substr(4088, 2) + "abcdefghijklmnop" + text.substr(4106, 2));
    EXPECT_TRUE(residentOf(mem).empty());
}

TEST(TMemoryRead, CopyOutWritesExactlyTheBytesAskedFor) {
    // Unchanged neighbours are read together; the read must still stop at the window's end.
    std::string text = programText(6 * B);
    DocumentFile file(text);
    TMemory mem(6 * B, false, file.fd());
    mem.setdata(4 * B + 1, 1, bytes("#"));
    text[size_t(4 * B + 1)] = '#';
    const struct {
        int64_t pos, len;
    } windows[] = {{0, B + 10}, {5, 2 * B}, {B - 1, 2}, {3 * B + 7, B + 3}, {2 * B, 10240}};
    for (const auto &w : windows) {
        SCOPED_TRACE(testing::Message() << w.pos << ", " << w.len);
        std::string window(size_t(w.len + 64), '~');
        EXPECT_EQ(mem.CopyOut(w.pos, w.len, reinterpret_cast<uint8_t *>(window.data())), w.len);
        EXPECT_TRUE(
            sameText(window, text.substr(size_t(w.pos), size_t(w.len)) + std::string(64, '~')));
    }
}

TEST(TMemoryRead, AnyByteValueComesBackUnchanged) {
    std::string text;
    for (int i = 0; i < 3 * 256 + 7; ++i)
        text += char(i * 7);
    TMemory mem(0, true);
    mem.insertdata(0, int64_t(text.size()), bytes(text));
    EXPECT_TRUE(sameText(textOf(mem), text));

    DocumentFile file(text + text + text + text + text + text);
    TMemory opened(int64_t(text.size()) * 6, false, file.fd());
    EXPECT_TRUE(sameText(textOf(opened), morvilo::test::ReadFile(file.path())));
}

TEST(TMemoryRead, GetdataKeepsOneCopyUntilFreed) {
    const std::string text = programText(2 * B);
    DocumentFile file(text);
    TMemory mem(2 * B, false, file.fd());
    EXPECT_EQ(mem.getdata(10, 0), nullptr);
    const uint8_t *first = mem.getdata(B - 2, 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(first), 4), text.substr(B - 2, 4));
    mem.FreeLastGettedData();
    const uint8_t *second = mem.getdata(0, 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(second), 5), text.substr(0, 5));
}

// ---------------------------------------------------------------------------------------------
// Changing

TEST(TMemoryEdit, TypingIntoBlockThreeMakesOnlyBlockThreeResident) {
    std::string text = programText(6 * B + 100);
    DocumentFile file(text);
    TMemory mem(int64_t(text.size()), false, file.fd());
    mem.insertdata(3 * B + 17, 1, bytes("Z"));
    text.insert(size_t(3 * B + 17), "Z");
    EXPECT_EQ(residentOf(mem), std::vector<int64_t>{3});
    EXPECT_EQ(sizesOf(mem), (std::vector<int64_t>{B, B, B, B + 1, B, B, 100}));
    EXPECT_TRUE(sameText(textOf(mem), text));
}

TEST(TMemoryEdit, InsertionGrowsTheBlockHoldingThePosition) {
    const struct {
        const char *name;
        int64_t pos; // -1: at size()
        int64_t grows;
    } cases[] = {
        {"first byte of block 1", B, 1},
        {"last byte of block 0", B - 1, 0},
        {"start of the text", 0, 0},
        {"at size() appends to the last block", -1, 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = programText(3 * B + 9);
        DocumentFile file(text);
        TMemory mem(int64_t(text.size()), false, file.fd());
        const int64_t pos = c.pos < 0 ? mem.size() : c.pos;
        mem.insertdata(pos, 4, bytes("G90 "));
        text.insert(size_t(pos), "G90 ");
        EXPECT_EQ(residentOf(mem), std::vector<int64_t>{c.grows});
        EXPECT_EQ(mem.block(c.grows).realsize, (c.grows == 3 ? 9 : B) + 4);
        EXPECT_TRUE(sameText(textOf(mem), text));
    }
}

TEST(TMemoryEdit, AppendingGoesToTheLastBlockEvenWhenItIsEmpty) {
    std::string text = programText(2 * B + 10);
    DocumentFile file(text);
    TMemory mem(int64_t(text.size()), false, file.fd());
    mem.deletedata(2 * B, 10); // the last block's whole content
    mem.insertdata(mem.size(), 3, bytes("M30"));
    EXPECT_EQ(sizesOf(mem), (std::vector<int64_t>{B, B, 3}));
    EXPECT_TRUE(sameText(textOf(mem), text.substr(0, 2 * B) + "M30"));

    // Every block empty: the text starts again in the last block.
    mem.deletedata(0, mem.size());
    EXPECT_EQ(mem.size(), 0);
    mem.insertdata(0, 2, bytes("G0"));
    EXPECT_EQ(sizesOf(mem), (std::vector<int64_t>{0, 0, 2}));
    EXPECT_EQ(textOf(mem), "G0");
}

TEST(TMemoryEdit, DeletingAWholeUnchangedBlockNeverReadsIt) {
    const std::string text = programText(4 * B);
    DocumentFile file(text);
    TMemory mem(4 * B, false, file.fd());
    {
        ReadsFail noReading(file.fd(), file.folder());
        mem.deletedata(2 * B, B);
        mem.deletedata(0, B);
    }
    EXPECT_EQ(sizesOf(mem), (std::vector<int64_t>{0, B, 0, B}));
    EXPECT_TRUE(residentOf(mem).empty());
    EXPECT_TRUE(sameText(textOf(mem), text.substr(B, B) + text.substr(3 * B, B)));
}

TEST(TMemoryEdit, DeletionMakesResidentOnlyTheBlocksItCutsInto) {
    const struct {
        const char *name;
        int64_t pos, len;
        std::vector<int64_t> sizes;
        std::vector<int64_t> resident;
    } cases[] = {
        {"tail of block 1, blocks 2 and 3, head of block 4",
         B + 100,
         3 * B,
         {B, 100, 0, 0, B - 100},
         {1, 4}},
        {"block 1 exactly", B, B, {B, 0, B, B, B}, {}},
        {"blocks 1 and 2 exactly", B, 2 * B, {B, 0, 0, B, B}, {}},
        {"middle of block 2", 2 * B + 5, 10, {B, B, B - 10, B, B}, {2}},
        {"from inside block 0 to its end", 10, B - 10, {10, B, B, B, B}, {0}},
        {"everything", 0, 5 * B, {0, 0, 0, 0, 0}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = programText(5 * B);
        DocumentFile file(text);
        TMemory mem(5 * B, false, file.fd());
        mem.deletedata(c.pos, c.len);
        text.erase(size_t(c.pos), size_t(c.len));
        EXPECT_EQ(sizesOf(mem), c.sizes);
        EXPECT_EQ(residentOf(mem), c.resident);
        EXPECT_TRUE(sameText(textOf(mem), text));
    }
}

TEST(TMemoryEdit, OverwritingKeepsSizesAndMakesTheTouchedBlocksResident) {
    std::string text = programText(4 * B);
    DocumentFile file(text);
    TMemory mem(4 * B, false, file.fd());
    const std::string patch(B + 20, '#');
    mem.setdata(B - 10, int64_t(patch.size()), bytes(patch));
    text.replace(size_t(B - 10), patch.size(), patch);
    EXPECT_EQ(sizesOf(mem), (std::vector<int64_t>{B, B, B, B}));
    EXPECT_EQ(residentOf(mem), (std::vector<int64_t>{0, 1, 2}));
    EXPECT_TRUE(sameText(textOf(mem), text));
}

TEST(TMemoryEdit, ReadErrorThrowsWithTheSystemsReasonAndChangesNothing) {
    const std::string text = programText(3 * B);
    DocumentFile file(text);
    TMemory mem(3 * B, false, file.fd());
    {
        ReadsFail noReading(file.fd(), file.folder());
        try {
            mem.deletedata(B + 1, 10); // part of a block: it must be read
            FAIL() << "no error";
        } catch (const TextStoreError &e) {
            EXPECT_NE(std::string(e.what()).find(std::strerror(EISDIR)), std::string::npos)
                << e.what();
        }
        EXPECT_THROW(mem.insertdata(5, 1, bytes("x")), TextStoreError);
        uint8_t window[100];
        EXPECT_THROW(mem.CopyOut(0, 100, window), TextStoreError);
    }
    EXPECT_EQ(mem.size(), 3 * B);
    EXPECT_TRUE(residentOf(mem).empty());
    EXPECT_TRUE(sameText(textOf(mem), text));
}

// ---------------------------------------------------------------------------------------------
// Requests beyond the text: only the bytes that exist are touched.

TEST(TMemoryRange, RequestsOutsideTheTextTouchOnlyWhatExists) {
    using Op = std::function<void(TMemory &)>;
    const int64_t size = 2 * B + 50;
    const std::string x = "XXXXXXXX";
    const struct {
        const char *name;
        Op op;
        std::function<void(std::string &)> expected;
        bool anyResident;
    } cases[] = {
        {"setdata at size", [&](TMemory &m) { m.setdata(size, 3, bytes(x)); }, [](std::string &) {},
         false},
        {"setdata far beyond", [&](TMemory &m) { m.setdata(size + 9000, 3, bytes(x)); },
         [](std::string &) {}, false},
        {"setdata over the end is clamped", [&](TMemory &m) { m.setdata(size - 2, 5, bytes(x)); },
         [&](std::string &t) { t.replace(size_t(size - 2), 2, "XX"); }, true},
        {"setdata at a negative position", [&](TMemory &m) { m.setdata(-2, 5, bytes(x)); },
         [](std::string &) {}, false},
        {"setdata with a negative length", [&](TMemory &m) { m.setdata(3, -5, bytes(x)); },
         [](std::string &) {}, false},
        {"deletedata at size", [](TMemory &m) { m.deletedata(size, 4); }, [](std::string &) {},
         false},
        {"deletedata far beyond", [](TMemory &m) { m.deletedata(size + 100, 4); },
         [](std::string &) {}, false},
        {"deletedata over the end is clamped", [](TMemory &m) { m.deletedata(size - 3, 100); },
         [&](std::string &t) { t.erase(size_t(size - 3)); }, true},
        {"deletedata of a huge length", [](TMemory &m) { m.deletedata(B, INT64_MAX); },
         [&](std::string &t) { t.erase(size_t(B)); }, false},
        {"deletedata at a negative position", [](TMemory &m) { m.deletedata(-1, 10); },
         [](std::string &) {}, false},
        {"deletedata with a negative length", [](TMemory &m) { m.deletedata(10, -1); },
         [](std::string &) {}, false},
        {"insertdata beyond size appends",
         [&](TMemory &m) { m.insertdata(size + 70, 2, bytes(x)); },
         [](std::string &t) { t += "XX"; }, true},
        {"insertdata at a negative position", [&](TMemory &m) { m.insertdata(-1, 2, bytes(x)); },
         [](std::string &) {}, false},
        {"insertdata with a negative length", [&](TMemory &m) { m.insertdata(4, -2, bytes(x)); },
         [](std::string &) {}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = programText(size);
        DocumentFile file(text);
        TMemory mem(size, false, file.fd());
        c.op(mem);
        c.expected(text);
        EXPECT_EQ(mem.size(), int64_t(text.size()));
        EXPECT_TRUE(sameText(textOf(mem), text));
        EXPECT_EQ(!residentOf(mem).empty(), c.anyResident);
    }
}

TEST(TMemoryRange, ReadsOutsideTheTextCopyNothingThere) {
    const int64_t size = B + 10;
    const std::string text = programText(size);
    DocumentFile file(text);
    TMemory mem(size, false, file.fd());
    uint8_t window[64];
    std::memset(window, '?', sizeof window);
    EXPECT_EQ(mem.CopyOut(size, 64, window), 0);
    EXPECT_EQ(mem.CopyOut(size + 5000, 64, window), 0);
    EXPECT_EQ(mem.CopyOut(-1, 64, window), 0);
    EXPECT_EQ(mem.CopyOut(3, -64, window), 0);
    EXPECT_EQ(window[0], '?');
    EXPECT_EQ(mem.CopyOut(size - 4, 64, window), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(window), 5),
              text.substr(size_t(size - 4)) + "?");

    const uint8_t *got = mem.getdata(size - 4, 10);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(got), 10),
              text.substr(size_t(size - 4)) + std::string(6, '\0'));
    got = mem.getdata(-3, 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(got), 4), std::string(4, '\0'));
    EXPECT_TRUE(residentOf(mem).empty());
}

// ---------------------------------------------------------------------------------------------
// The file became shorter while open (another program truncated or rewrote it).

struct ShrinkReports {
    std::vector<std::string> messages;
    void attach(TMemory &mem) {
        mem.SetShrinkHandler([this](const std::string &m) { messages.push_back(m); });
    }
};

TEST(TMemoryShrink, ReadingFindsTheNewEndAndChangedBlocksKeepTheirBytes) {
    std::string text = programText(5 * B);
    DocumentFile file(text);
    TMemory mem(5 * B, false, file.fd());
    ShrinkReports reports;
    reports.attach(mem);
    mem.setdata(B + 3, 4, bytes("EDIT"));
    text.replace(size_t(B + 3), 4, "EDIT");

    file.truncate(2 * B + 100);
    EXPECT_TRUE(sameText(textOf(mem), text.substr(0, 2 * B + 100)));
    EXPECT_EQ(sizesOf(mem), (std::vector<int64_t>{B, B, 100, 0, 0}));
    EXPECT_EQ(mem.size(), 2 * B + 100);
    ASSERT_EQ(reports.messages.size(), 1u);
    EXPECT_NE(reports.messages[0].find("shorter"), std::string::npos);

    // Shrinking again is handled the same way but reported only once.
    file.truncate(B + 1);
    EXPECT_TRUE(sameText(textOf(mem), text.substr(0, 2 * B))); // block 1 is in memory
    EXPECT_EQ(sizesOf(mem), (std::vector<int64_t>{B, B, 0, 0, 0}));
    EXPECT_EQ(reports.messages.size(), 1u);
}

TEST(TMemoryShrink, ChangedBlocksBeyondTheNewEndMoveUp) {
    std::string text = programText(5 * B);
    DocumentFile file(text);
    TMemory mem(5 * B, false, file.fd());
    mem.setdata(3 * B, 3, bytes("AAA"));
    mem.setdata(4 * B, 3, bytes("BBB"));
    text.replace(size_t(3 * B), 3, "AAA");
    text.replace(size_t(4 * B), 3, "BBB");
    file.truncate(B + 50);

    // The read that finds the new end lands in the first changed block once the text moved.
    const std::string expected = text.substr(0, B + 50) + text.substr(3 * B);
    EXPECT_EQ(copyOut(mem, 2 * B + 10, 20), expected.substr(2 * B + 10, 20));
    EXPECT_EQ(sizesOf(mem), (std::vector<int64_t>{B, 50, 0, B, B}));
    EXPECT_TRUE(sameText(textOf(mem), expected));
}

TEST(TMemoryShrink, EveryOperationCopesWithTheMissingBytes) {
    const int64_t size = 5 * B;
    const int64_t cut = B + 50;
    const struct {
        const char *name;
        std::function<void(TMemory &)> op;
        std::string tail; // what follows the file's remaining bytes afterwards
    } cases[] = {
        {"a read beyond the new end",
         [](TMemory &m) {
             uint8_t window[10];
             EXPECT_EQ(m.CopyOut(4 * B, 10, window), 0);
         },
         ""},
        {"a read across the new end",
         [&](TMemory &m) { EXPECT_EQ(copyOut(m, cut - 2, 100).size(), 2u); }, ""},
        {"getdata across the new end",
         [&](TMemory &m) {
             const uint8_t *got = m.getdata(cut - 2, 6);
             EXPECT_EQ(std::string(reinterpret_cast<const char *>(got + 2), 4),
                       std::string(4, '\0'));
         },
         ""},
        {"an insertion beyond the new end appends",
         [](TMemory &m) { m.insertdata(3 * B, 2, bytes("M2")); }, "M2"},
        {"an overwrite beyond the new end", [](TMemory &m) { m.setdata(3 * B, 2, bytes("M2")); },
         ""},
        {"a deletion beyond the new end", [](TMemory &m) { m.deletedata(3 * B + 1, 2); }, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = programText(size);
        DocumentFile file(text);
        TMemory mem(size, false, file.fd());
        ShrinkReports reports;
        reports.attach(mem);
        file.truncate(cut);
        c.op(mem);
        EXPECT_EQ(reports.messages.size(), 1u);
        EXPECT_TRUE(sameText(textOf(mem), text.substr(0, size_t(cut)) + c.tail));
        int64_t sum = 0;
        for (int64_t s : sizesOf(mem))
            sum += s;
        EXPECT_EQ(sum, mem.size());
    }
}

TEST(TMemoryShrink, WorksWithoutAHandler) {
    const std::string text = programText(3 * B);
    DocumentFile file(text);
    TMemory mem(3 * B, false, file.fd());
    file.truncate(0);
    EXPECT_EQ(textOf(mem), "");
    EXPECT_EQ(mem.size(), 0);
    mem.insertdata(0, 1, bytes("%"));
    EXPECT_EQ(textOf(mem), "%");
}

// ---------------------------------------------------------------------------------------------
// Random edits replayed on a plain string. The store must hold the same text after every step,
// its size must be the sum of its blocks, and every unchanged block must still be the file's
// bytes at index * 4096.

class ShadowModel {
public:
    // scale stretches the long insertions and deletions: a new document keeps everything in
    // one block, which must then grow to many times the 64 KiB pieces it is kept in.
    ShadowModel(TMemory &mem, std::string text, std::string file, int64_t scale = 1)
        : mem_(mem), text_(std::move(text)), file_(std::move(file)), scale_(scale) {}

    // One random step; returns a description for the failure message.
    std::string step(std::mt19937_64 &random) {
        const int64_t size = int64_t(text_.size());
        const int64_t pos = randomPosition(random, size);
        const int kind = int(random() % 10);
        if (kind < 3) {
            const std::string data = randomBytes(random, randomLength(random));
            const int64_t len = int64_t(data.size());
            mem_.insertdata(pos, len, bytes(data));
            if (pos >= 0)
                text_.insert(size_t(std::min(pos, size)), data);
            return "insertdata(" + std::to_string(pos) + ", " + std::to_string(len) + ")";
        }
        if (kind < 6) {
            const int64_t len = randomLength(random);
            mem_.deletedata(pos, len);
            if (pos >= 0 && pos < size && len > 0)
                text_.erase(size_t(pos), size_t(std::min(len, size - pos)));
            return "deletedata(" + std::to_string(pos) + ", " + std::to_string(len) + ")";
        }
        if (kind < 8) {
            const std::string data = randomBytes(random, randomLength(random));
            const int64_t len = int64_t(data.size());
            mem_.setdata(pos, len, bytes(data));
            if (pos >= 0 && pos < size)
                text_.replace(size_t(pos), size_t(std::min(len, size - pos)),
                              data.substr(0, size_t(std::min(len, size - pos))));
            return "setdata(" + std::to_string(pos) + ", " + std::to_string(len) + ")";
        }
        const int64_t len = randomLength(random);
        const std::string what = "(" + std::to_string(pos) + ", " + std::to_string(len) + ")";
        if (len <= 0) {
            EXPECT_EQ(copyOut(mem_, pos, std::max<int64_t>(len, 0)), "") << "CopyOut" << what;
            EXPECT_EQ(mem_.getdata(pos, len), nullptr) << "getdata" << what;
            return "read" + what;
        }
        const std::string expected =
            pos >= 0 && pos < size ? text_.substr(size_t(pos), size_t(len)) : std::string();
        EXPECT_EQ(copyOut(mem_, pos, len), expected) << "CopyOut" << what;
        const uint8_t *got = mem_.getdata(pos, len);
        const std::string padded = expected + std::string(size_t(len) - expected.size(), '\0');
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(got), size_t(len)), padded)
            << "getdata" << what;
        return "read(" + std::to_string(pos) + ", " + std::to_string(len) + ")";
    }

    // Reads the whole text in display-sized windows from a random place on, wrapping around at
    // the end: starting in the middle goes through what the last change left in the store's
    // cursors.
    void check(std::mt19937_64 &random) const {
        const int64_t size = int64_t(text_.size());
        ASSERT_EQ(mem_.size(), size);
        std::string got(size_t(size), '\0');
        const int64_t from = size > 0 ? int64_t(random() % uint64_t(size)) : 0;
        const auto read = [&](int64_t begin, int64_t end) {
            for (int64_t pos = begin; pos < end; pos += 10240) {
                const int64_t n = std::min<int64_t>(10240, end - pos);
                ASSERT_EQ(mem_.CopyOut(pos, n, reinterpret_cast<uint8_t *>(got.data() + pos)), n);
            }
        };
        read(from, size);
        read(0, from);
        ASSERT_TRUE(sameText(got, text_));
        int64_t start = 0;
        for (int64_t i = 0; i < mem_.numbufs(); ++i) {
            const TMemory::BlockInfo b = mem_.block(i);
            if (!b.alsetted) {
                ASSERT_LE(b.realsize, TMemory::dividesize) << "block " << i;
                ASSERT_EQ(text_.substr(size_t(start), size_t(b.realsize)),
                          file_.substr(size_t(i * TMemory::dividesize), size_t(b.realsize)))
                    << "unchanged block " << i << " is not the file's";
            }
            start += b.realsize;
        }
        ASSERT_EQ(start, mem_.size()) << "size is not the sum of the blocks";
    }

private:
    static int64_t randomPosition(std::mt19937_64 &random, int64_t size) {
        const int r = int(random() % 100);
        if (r < 2)
            return -int64_t(random() % 10) - 1;
        if (r < 6)
            return size + int64_t(random() % 50);
        if (r < 12) // block edges
            return std::min(size, int64_t(random() % 16) * TMemory::dividesize);
        if (r < 16) // near the edges of pieces of a large block
            return std::clamp<int64_t>(int64_t(random() % 16) * 32768 + int64_t(random() % 5) - 2,
                                       0, size);
        return int64_t(random() % uint64_t(size + 1));
    }
    int64_t randomLength(std::mt19937_64 &random) const {
        const int r = int(random() % 100);
        if (r < 60)
            return 1 + int64_t(random() % 8);
        if (r < 90)
            return 1 + int64_t(random() % uint64_t(3000 * scale_));
        if (r < 98)
            return (3000 + int64_t(random() % 14000)) * scale_;
        return r < 99 ? 0 : -1;
    }
    static std::string randomBytes(std::mt19937_64 &random, int64_t len) {
        static const char alphabet[] = "G01 XYZ.-\r\n\0\xff";
        std::string s;
        for (int64_t i = 0; i < len; ++i)
            s += alphabet[random() % (sizeof alphabet - 1)];
        return s;
    }

    TMemory &mem_;
    std::string text_;
    const std::string file_;
    const int64_t scale_;
};

void replay(ShadowModel &model, uint64_t seed, int steps) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 random(seed);
    for (int i = 0; i < steps; ++i) {
        const std::string what = model.step(random);
        SCOPED_TRACE("step " + std::to_string(i) + ": " + what);
        model.check(random);
        if (testing::Test::HasFailure())
            return;
    }
}

TEST(TMemoryShadowModel, RandomEditsOnAnOpenedFile) {
    for (uint64_t seed = 1; seed <= 8 && !HasFailure(); ++seed) {
        const std::string text = programText(40000 + int64_t(seed % 7) * 1111);
        DocumentFile file(text);
        TMemory mem(int64_t(text.size()), false, file.fd());
        ShadowModel model(mem, text, text);
        replay(model, seed, 2500);
    }
}

TEST(TMemoryShadowModel, RandomEditsOnANewDocument) {
    for (uint64_t seed = 101; seed <= 104 && !HasFailure(); ++seed) {
        TMemory mem(0, true);
        ShadowModel model(mem, "", "", 10);
        replay(model, seed, 2500);
    }
}

// ---------------------------------------------------------------------------------------------
// Beyond 32 bits: a sparse 5 GiB file.

// The line of a position is the line feeds before it, whatever was edited in between and in
// whatever order positions are asked for; a budget too small for the blocks still uncounted
// gives none, and later calls go on where the last stopped.
TEST(TMemoryLines, LinesBeforeFollowsEditsAndCountsAPieceAtATime) {
    const std::string text = programText(20 * B + 123) + "\n\n";
    DocumentFile file(text);
    TMemory mem(int64_t(text.size()), false, file.fd());
    std::string shadow = text;
    const auto expected = [&](int64_t pos) {
        return int64_t(std::count(shadow.begin(), shadow.begin() + pos, '\n'));
    };
    // a budget for four blocks: the end is reached in steps, nothing is counted twice
    int steps = 0;
    std::optional<int64_t> counted;
    while (!(counted = mem.LinesBefore(int64_t(shadow.size()), 4 * B)) && steps < 100)
        ++steps;
    EXPECT_EQ(steps, 4); // 20 blocks before the last, four a call
    EXPECT_EQ(counted, expected(int64_t(shadow.size())));
    EXPECT_TRUE(residentOf(mem).empty()); // counting reads, it keeps nothing

    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const int64_t pos = int64_t(random() % (shadow.size() + 1));
        switch (random() % 4) {
        case 0: {
            const std::string added = round % 2 ? "G1 X1\nG1 Y2\n" : std::string(5000, '\n');
            mem.insertdata(pos, int64_t(added.size()), bytes(added));
            shadow.insert(size_t(pos), added);
            break;
        }
        case 1: {
            const int64_t len = int64_t(random() % 9000);
            mem.deletedata(pos, len);
            shadow.erase(size_t(pos), size_t(len));
            break;
        }
        case 2:
            if (pos + 3 <= int64_t(shadow.size())) {
                mem.setdata(pos, 3, bytes("\nX\n"));
                shadow.replace(size_t(pos), 3, "\nX\n");
            }
            break;
        default:
            break;
        }
        const int64_t at = int64_t(random() % (shadow.size() + 1));
        ASSERT_EQ(mem.LinesBefore(at), expected(at)) << "round " << round << " at " << at;
    }
    EXPECT_EQ(mem.LinesBefore(-5), 0);
    EXPECT_EQ(mem.LinesBefore(int64_t(shadow.size()) + 100), expected(int64_t(shadow.size())));
    TMemory empty(0, true);
    EXPECT_EQ(empty.LinesBefore(0), 0);
}

TEST(TMemoryLarge, SparseFiveGigabyteFileOpensReadsAndEditsNearItsEnd) {
    const int64_t size = int64_t(5) << 30;
    const int64_t fourGiB = int64_t(4) << 30;
    const std::string head = "%\r\nG21 G90\r\n";
    const std::string across = "G1 X4294967296.000 Y1\r\n"; // straddles 4 GiB
    const std::string tail = "G0 Z5.000\r\nM30\r\n";

    morvilo::test::ScratchFolder folder;
    const std::string path = folder / "huge.nc";
    {
        const int w = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(w, 0);
        ASSERT_EQ(::ftruncate(w, size), 0);
        ASSERT_EQ(::pwrite(w, head.data(), head.size(), 0), ssize_t(head.size()));
        ASSERT_EQ(::pwrite(w, across.data(), across.size(), fourGiB - 7), ssize_t(across.size()));
        ASSERT_EQ(::pwrite(w, tail.data(), tail.size(), size - int64_t(tail.size())),
                  ssize_t(tail.size()));
        ::close(w);
    }
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    {
        TMemory mem(size, false, fd);
        EXPECT_EQ(mem.numbufs(), size / B);
        EXPECT_EQ(copyOut(mem, 0, int64_t(head.size())), head);
        EXPECT_EQ(copyOut(mem, size - int64_t(tail.size()), 100), tail);
        EXPECT_EQ(copyOut(mem, fourGiB - 7, int64_t(across.size())), across);
        EXPECT_EQ(copyOut(mem, fourGiB - 9, 2), std::string(2, '\0'));

        // An edit near the end, and one on the far side of 4 GiB.
        const std::string line = "G0 X0\r\n";
        mem.insertdata(size - 5, int64_t(line.size()), bytes(line)); // before M30
        mem.setdata(fourGiB + 3, 3, bytes("999"));
        mem.deletedata(size - 100, 20);
        const std::string expectedTail = std::string(1, '\0') + "G0 Z5.000\r\nG0 X0\r\nM30\r\n";
        const int64_t tailLength = int64_t(expectedTail.size());
        EXPECT_EQ(mem.size(), size + int64_t(line.size()) - 20);
        EXPECT_EQ(copyOut(mem, mem.size() - tailLength, 100), expectedTail);
        const uint8_t *got = mem.getdata(mem.size() - tailLength, tailLength);
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(got), size_t(tailLength)),
                  expectedTail);
        std::string edited = across;
        edited.replace(10, 3, "999");
        EXPECT_EQ(copyOut(mem, fourGiB - 7, int64_t(across.size())), edited);
        EXPECT_EQ(residentOf(mem), (std::vector<int64_t>{fourGiB / B, size / B - 1}));
        EXPECT_EQ(mem.block(size / B - 1).realsize, B + int64_t(line.size()) - 20);
    }
    ::close(fd);
}

} // namespace
