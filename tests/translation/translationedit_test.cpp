// Editing the translation table: cells, appended and deleted records reach the file at once,
// other readers and the next start see them, the lookup follows, the search folds only a to z,
// and a read-only table refuses every change.

#include "dbffiles.h"
#include "translation/translatetable.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <shapefil.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace morvilo {
namespace {

class TranslationEditTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath("translate.dbf"); }

    // Source text and English cell per record, in Windows-1252, written through shapelib.
    void writeTable(const std::vector<test::TranslationRow> &rows) {
        ASSERT_TRUE(test::WriteTranslationTable(path(), rows));
    }

    void open(TranslationTable &t) {
        ASSERT_EQ(t.Open(dir.path()), QString());
        t.inittrans();
    }

    // The file as another program reads it while the table is still open: per record its
    // deletion mark and its first two cells.
    struct Read {
        bool deleted;
        std::string german;
        std::string english;
        bool operator==(const Read &) const = default;
    };
    std::vector<Read> readBack() const {
        std::vector<Read> result;
        DBFHandle dbf = DBFOpen(QFile::encodeName(path()).constData(), "rb");
        if (!dbf)
            return result;
        for (int r = 0; r < DBFGetRecordCount(dbf); ++r)
            result.push_back({DBFIsRecordDeleted(dbf, r) != 0, DBFReadStringAttribute(dbf, r, 0),
                              DBFReadStringAttribute(dbf, r, 1)});
        DBFClose(dbf);
        return result;
    }

    QByteArray fileBytes() const { return test::FileBytes(path()); }

    QTemporaryDir dir;
    TranslationTable table;
};

TEST_F(TranslationEditTest, EditsReachTheFileAtOnceAndSurviveARestart) {
    writeTable({{"Speichern", "Save"}, {"Laden", "Load"}, {"Neu", ""}});
    open(table);
    EXPECT_TRUE(table.SetCell(0, 1, "Store ü€"));
    ASSERT_EQ(readBack().size(), 3u);
    EXPECT_EQ(readBack()[0].english, "Store \xFC\x80"); // on disk at once
    EXPECT_TRUE(table.SetCell(2, 1, QString(300, u'x')));
    EXPECT_TRUE(table.SetCell(2, 18, "last column"));
    EXPECT_EQ(table.AppendRecord(), 3);
    EXPECT_TRUE(table.SetCell(3, 0, "Öffnen"));
    EXPECT_TRUE(table.SetCell(3, 1, "Open"));
    EXPECT_TRUE(table.DeleteRecord(1));
    EXPECT_TRUE(table.IsDeleted(1));

    const std::vector<Read> expected = {{false, "Speichern", "Store \xFC\x80"},
                                        {true, "Laden", "Load"},
                                        {false, "Neu", std::string(255, 'x')},
                                        {false,
                                         "\xD6"
                                         "ffnen",
                                         "Open"}};
    EXPECT_EQ(readBack(), expected); // the table is still open
    EXPECT_EQ(table.Cell(2, 18), "last column");

    // Debian's own reader of the format agrees.
    const QString dbfdump = QStandardPaths::findExecutable("dbfdump");
    if (!dbfdump.isEmpty()) {
        QProcess dump;
        dump.start(dbfdump, {"-m", path()});
        ASSERT_TRUE(dump.waitForFinished(10000));
        // One block per record: "Record: n", its cells, "(DELETED)" when marked.
        const QStringList blocks =
            QString::fromLatin1(dump.readAllStandardOutput()).split("Record: ").mid(1);
        ASSERT_EQ(blocks.size(), 4);
        EXPECT_TRUE(blocks[0].contains(QString::fromLatin1("Store \xFC\x80")))
            << blocks[0].toStdString();
        EXPECT_TRUE(blocks[1].contains("(DELETED)"));
        EXPECT_TRUE(blocks[2].contains("last column"));
        EXPECT_TRUE(blocks[3].contains(QString::fromLatin1("\xD6"
                                                           "ffnen")));
        for (int r : {0, 2, 3})
            EXPECT_FALSE(blocks[r].contains("(DELETED)")) << r;
    }

    TranslationTable fresh;
    open(fresh);
    EXPECT_EQ(fresh.RecordCount(), 4);
    EXPECT_EQ(fresh.TranslateString("Speichern", 1), "Store ü€");
    EXPECT_EQ(fresh.TranslateString(" Öffnen", 1), " Open");
    EXPECT_EQ(fresh.TranslateString("Laden", 1), "Laden"); // deleted: learned anew
    EXPECT_EQ(fresh.RecordCount(), 5);
    if (dbfdump.isEmpty())
        GTEST_SKIP() << "dbfdump (Debian package shapelib) is not installed";
}

TEST_F(TranslationEditTest, LookupFollowsTranslationsAtOnceAndGermanTextsAfterARestart) {
    writeTable({{"Speichern", "Save"}, {"Laden", "Load"}});
    open(table);
    table.SetCell(0, 1, "Keep");
    EXPECT_EQ(table.TranslateString("Speichern", 1), "Keep");
    table.SetCell(0, 0, "Sichern");
    EXPECT_EQ(table.TranslateString("Speichern", 1), "Keep"); // the index keeps its texts
    EXPECT_EQ(table.TranslateString("Sichern", 1), "Sichern");
    EXPECT_EQ(table.RecordCount(), 3); // recorded as unknown
    table.DeleteRecord(1);
    EXPECT_EQ(table.TranslateString("Laden", 1), "Laden");
    EXPECT_EQ(table.RecordCount(), 4);

    table.Close();
    open(table);
    EXPECT_EQ(table.TranslateString("Sichern", 1), "Keep"); // the first record wins now
    EXPECT_EQ(table.TranslateString("Speichern", 1), "Speichern");
}

TEST_F(TranslationEditTest, ChangesOutsideTheTableAreRefused) {
    TranslationTable closed;
    EXPECT_FALSE(closed.SetCell(0, 0, "x"));
    EXPECT_EQ(closed.AppendRecord(), -1);
    EXPECT_FALSE(closed.DeleteRecord(0));
    EXPECT_FALSE(closed.translateFilterRecord(0, ""));

    writeTable({{"Speichern", "Save"}, {"Laden", "Load"}});
    open(table);
    ASSERT_TRUE(table.DeleteRecord(1));
    const QByteArray before = fileBytes();
    const std::pair<int, int> cells[] = {{-1, 0}, {2, 0}, {0, -1}, {0, 19}, {1, 0}};
    for (const auto &[record, column] : cells)
        EXPECT_FALSE(table.SetCell(record, column, "x")) << record << ' ' << column;
    for (int record : {-1, 1, 2})
        EXPECT_FALSE(table.DeleteRecord(record)) << record;
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(TranslationEditTest, SearchFoldsOnlyTheLettersAToZ) {
    writeTable({{"\xDC"
                 "bersetzen",
                 "Translate"},
                {"SPEICHERN", "Save"},
                {"Speichern unter", ""},
                {"Stra\xDF"
                 "e",
                 ""},
                {"Was?", ""},
                {"Weg", ""}});
    open(table);
    ASSERT_TRUE(table.DeleteRecord(5));
    struct Case {
        QString search;
        std::vector<int> found;
    };
    const Case cases[] = {
        {"speich", {1, 2}}, // lower case finds upper and mixed case
        {"SpEiCh", {1, 2}},
        {"save", {1}}, // every column is searched
        {"ü", {}},     // umlauts do not fold
        {"Ü", {0}},
        {"übersetzen", {}},
        {"STRAßE", {3}},       // ß stays itself, the rest folds
        {"", {0, 1, 2, 3, 4}}, // empty: every record but the deleted one
        {"weg", {}},           // deleted
        {"?", {4}},
        {"中", {}}, // no cell can hold it; not taken for the "?" it is written as
        {"speichern unter x", {}},
    };
    for (const Case &c : cases) {
        std::vector<int> found;
        for (int r = 0; r < table.RecordCount(); ++r)
            if (table.translateFilterRecord(r, c.search))
                found.push_back(r);
        EXPECT_EQ(found, c.found) << c.search.toStdString();
    }
}

TEST_F(TranslationEditTest, ReadOnlyTableRefusesEveryChange) {
    writeTable({{"Speichern", "Save"}});
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0444), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QByteArray before = fileBytes();
    // Root writes to any file, so the table is opened by an unprivileged child process.
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && ::setuid(65534) != 0)
                std::exit(2);
            TranslationTable readOnly;
            if (!readOnly.Open(dir.path()).isEmpty() || !readOnly.workreadonly())
                std::exit(3);
            readOnly.inittrans();
            const bool refused = !readOnly.SetCell(0, 1, "Store") &&
                                 readOnly.AppendRecord() == -1 && !readOnly.DeleteRecord(0);
            const bool reads = readOnly.translateFilterRecord(0, "save") &&
                               readOnly.TranslateString("Speichern", 1) == "Save";
            std::exit(refused && reads && readOnly.RecordCount() == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(fileBytes(), before);
}

} // namespace
} // namespace morvilo
