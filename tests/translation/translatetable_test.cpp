// The learning translation table: lookups with their space handling, recording of new texts,
// read-only and damaged tables.

#include "dbffiles.h"
#include "translation/translatetable.h"
#include "translation/translateunit.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <shapefil.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

namespace morvilo {
namespace {

using Row = test::TranslationRow;

class TranslationTableTest : public ::testing::Test {
protected:
    void TearDown() override {
        table.Close();
        language = 0;
    }

    QString path() const { return dir.filePath("translate.dbf"); }

    // Writes a table with the given rows through shapelib, independent of the code under test.
    void writeTable(const std::vector<Row> &rows) {
        ASSERT_TRUE(test::WriteTranslationTable(path(), rows));
    }

    void open() {
        ASSERT_EQ(table.Open(dir.path()), QString());
        table.inittrans();
    }

    // Every record as read back by shapelib: all nineteen cells.
    std::vector<std::vector<std::string>> records() const {
        std::vector<std::vector<std::string>> result;
        DBFHandle dbf = DBFOpen(QFile::encodeName(path()).constData(), "rb");
        if (!dbf)
            return result;
        for (int r = 0; r < DBFGetRecordCount(dbf); ++r) {
            result.emplace_back();
            for (int f = 0; f < DBFGetFieldCount(dbf); ++f)
                result.back().push_back(DBFReadStringAttribute(dbf, r, f));
        }
        DBFClose(dbf);
        return result;
    }

    QByteArray fileBytes() const { return test::FileBytes(path()); }

    QTemporaryDir dir;
    TranslationTable table;
};

TEST_F(TranslationTableTest, CreatesTheNineteenColumnsWhenMissing) {
    open();
    EXPECT_FALSE(table.workreadonly());
    DBFHandle dbf = DBFOpen(QFile::encodeName(path()).constData(), "rb");
    ASSERT_NE(dbf, nullptr);
    ASSERT_EQ(DBFGetFieldCount(dbf), 19);
    for (int f = 0; f < 19; ++f) {
        char name[XBASE_FLDNAME_LEN_READ + 1];
        int width = 0;
        EXPECT_EQ(DBFGetFieldInfo(dbf, f, name, &width, nullptr), FTString);
        EXPECT_EQ(std::string(name), "language" + std::to_string(f + 1));
        EXPECT_EQ(width, 255);
    }
    EXPECT_EQ(DBFGetRecordCount(dbf), 0);
    DBFClose(dbf);
}

TEST_F(TranslationTableTest, LookupKeepsTheSpacesAroundTheText) {
    writeTable({{"Speichern", "Save"},
                {"\xD6"
                 "ffnen",
                 "  Open \t "},
                {"Leer", ""},
                {"Speichern", "Store"},
                {"\xC4nderung", "Change \x80"}});
    open();
    struct Case {
        QString in;
        QString out;
    };
    const Case cases[] = {
        {"  Speichern ", "  Save "}, // spaces of the looked-up text put back
        {"Speichern", "Save"},       // the first of two equal source texts wins
        {"Öffnen", "Open"},          // cell trimmed of blanks and control characters
        {" Öffnen", " Open"},
        {" Leer  ", " Leer  "},   // empty cell: the German text, spaces included
        {"Änderung", "Change €"}, // Windows-1252 bytes shown as characters
        {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(table.TranslateString(c.in, 1), c.out) << c.in.toStdString();
    for (int column : {-1, 19, 1000})
        EXPECT_EQ(table.TranslateString(" Speichern", column), " Speichern");
    EXPECT_EQ(table.TranslateString("Speichern", 0), "Speichern");
    EXPECT_EQ(table.RecordCount(), 5); // nothing was learned
}

TEST_F(TranslationTableTest, UnknownTextsAreRecordedOnceWithOnlyTheGermanCell) {
    writeTable({{"Speichern", "Save"}});
    open();
    for (int column : {0, 1}) { // learning happens in German as in any other language
        const QString text = column == 0 ? " Übersetzen " : "speichern";
        EXPECT_EQ(table.TranslateString(text, column), text);
        EXPECT_EQ(table.TranslateString(text, column), text);
    }
    EXPECT_EQ(table.TranslateString("   ", 1), "   "); // spaces only: not recorded

    const auto rows = records();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][0], "\xDC"
                          "bersetzen"); // stored stripped, in Windows-1252
    EXPECT_EQ(rows[2][0], "speichern"); // letter case makes a different key
    for (size_t r = 1; r < rows.size(); ++r)
        for (size_t f = 1; f < rows[r].size(); ++f)
            EXPECT_EQ(rows[r][f], "") << r << ' ' << f;

    // After a restart the learned texts are found, not appended again.
    table.Close();
    open();
    table.TranslateString("Übersetzen", 1);
    EXPECT_EQ(table.RecordCount(), 3);
}

// Texts outside the Western code page are stored whole: no two texts share a record, each
// keeps its own translation, also after a restart, and the table stays Windows-1252.
TEST_F(TranslationTableTest, EveryTextKeepsARecordOfItsOwn) {
    open();
    const QString texts[] = {"Plot ▶",  "Plot ◀",       "?",      "▶",       "??",
                             "❚❚",      "▶|",           "|◀",     "?|",      "|?",
                             "&#9654;", "Plot &#9664;", "A & B",  "A &&# B", "Grüße €",
                             "😀",       "&#38;#",       "&#x41;", "&#;",     "x&"};
    for (const QString &text : texts)
        table.TranslateString(text, 1);
    const int count = int(std::size(texts));
    ASSERT_EQ(table.RecordCount(), count);
    for (int record = 0; record < count; ++record) {
        EXPECT_EQ(table.Cell(record, 0), texts[record]);
        ASSERT_TRUE(table.SetCell(record, 1, "T" + QString::number(record) + " ◆"));
    }
    for (const bool restarted : {false, true}) {
        if (restarted) {
            table.Close();
            open();
        }
        for (int record = 0; record < count; ++record)
            EXPECT_EQ(table.TranslateString(texts[record], 1), "T" + QString::number(record) + " ◆")
                << texts[record].toStdString() << (restarted ? " after a restart" : "");
        EXPECT_EQ(table.RecordCount(), count);
    }
    const auto rows = records();
    EXPECT_EQ(rows[0][0], "Plot &#9654;");
    EXPECT_EQ(rows[1][0], "Plot &#9664;");
    EXPECT_EQ(rows[14][0], "Gr\xFC\xDF"
                           "e \x80"); // the code page's own characters stay bytes
    // A cell that cannot hold a reference whole ends before it.
    EXPECT_TRUE(table.SetCell(0, 2, QString(250, u'x') + "▶▶"));
    EXPECT_EQ(table.Cell(0, 2), QString(250, u'x'));
}

TEST_F(TranslationTableTest, LongTextsAreStoredCutAndFoundWithinTheRun) {
    open();
    const QString longText = QString(300, u'x');
    table.TranslateString(longText, 1);
    table.TranslateString(longText, 1);
    ASSERT_EQ(table.RecordCount(), 1);
    EXPECT_EQ(table.Cell(0, 0), QString(255, u'x'));
    table.Close();
    open();
    table.TranslateString(longText, 1); // the cut text no longer matches
    EXPECT_EQ(table.RecordCount(), 2);
}

TEST_F(TranslationTableTest, InstalledTableAnswersTheMessagesInTheActiveLanguage) {
    writeTable({{"Speichern", "Save"}});
    open();
    table.Install();
    EXPECT_EQ(GetTString(kMsgSave), "Speichern");
    language = 1;
    EXPECT_EQ(GetTString(kMsgSave), "Save");
    EXPECT_EQ(GetTString(0), "");
    EXPECT_EQ(GetTString(22), "");
    RegisterStrings();
    RegisterStrings();
    EXPECT_EQ(table.RecordCount(), 15); // the fifteen non-empty messages, Speichern already there
    table.Close();                      // takes the lookup back
    EXPECT_EQ(TranslateString("Speichern"), "Speichern");
}

TEST_F(TranslationTableTest, ReadOnlyTableTranslatesButRecordsNothing) {
    writeTable({{"Speichern", "Save"}});
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0444), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    // Root writes to any file, so the table is opened by an unprivileged child process.
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && ::setuid(65534) != 0)
                std::exit(2);
            TranslationTable readOnly;
            const bool ok = readOnly.Open(dir.path()).isEmpty() && readOnly.workreadonly();
            readOnly.inittrans();
            const bool translated = readOnly.TranslateString(" Speichern", 1) == " Save";
            const bool unchanged = readOnly.TranslateString("Neu", 1) == "Neu";
            std::exit(ok && translated && unchanged && readOnly.RecordCount() == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(records().size(), 1u);
}

TEST_F(TranslationTableTest, DamagedTablesAreReportedAndLeftAlone) {
    writeTable({{"Speichern", "Save"}, {"Laden", "Load"}});
    const QByteArray good = fileBytes();
    QByteArray wrongRecordLength = good;
    wrongRecordLength[10] = char(0x10);
    QByteArray hugeHeader = good;
    hugeHeader[8] = char(0xFF);
    hugeHeader[9] = char(0xFF);
    QByteArray manyRecords = good;
    manyRecords[7] = char(0x7F);
    QByteArray numberFirst = good;
    numberFirst[32 + 11] = 'N';
    const std::vector<QByteArray> images = {
        {},
        QByteArray("not a table at all, just some text"),
        good.left(20),
        good.left(good.size() - 300), // cut inside the second record
        wrongRecordLength,
        hugeHeader,
        manyRecords,
        numberFirst,
        QByteArray(4096, '\x03'),
    };
    for (const QByteArray &image : images) {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(image);
        file.close();
        EXPECT_FALSE(table.Open(dir.path()).isEmpty()) << image.size();
        EXPECT_FALSE(table.IsOpen());
        table.inittrans();
        table.Install();
        EXPECT_EQ(TranslateString(" Speichern"), " Speichern");
        EXPECT_EQ(table.TranslateString("Neu", 1), "Neu");
        EXPECT_EQ(fileBytes(), image); // the damaged file is not touched
        table.Close();
    }
}

TEST_F(TranslationTableTest, MergeFillsOnlyEmptyCellsAndAppendsNewTexts) {
    writeTable({{"Speichern", "Store"}, {"Laden", ""}});
    QFile csv(dir.filePath("en.csv"));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("\"German\",\"English\"\r\n"
              "\"Speichern\",\"Save\"\r\n"
              "\"Laden\",\"Load\"\n"
              "\"Größe, \"\"neu\"\"\",\"Size, \"\"new\"\"\"\n"
              "\"Leer\",\"\"\n"
              "broken line\n");
    csv.close();
    open();
    EXPECT_EQ(table.MergeTranslations(csv.fileName(), 1), 2);
    const QDateTime merged = QFileInfo(path()).lastModified();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(table.MergeTranslations(csv.fileName(), 1), 0);  // nothing left to fill
    EXPECT_EQ(QFileInfo(path()).lastModified(), merged);       // and nothing written
    EXPECT_EQ(table.TranslateString("Speichern", 1), "Store"); // the translator's own cell stays
    EXPECT_EQ(table.TranslateString("Laden", 1), "Load");
    EXPECT_EQ(table.TranslateString("Größe, \"neu\"", 1), "Size, \"new\"");
    EXPECT_EQ(table.RecordCount(), 3);
    EXPECT_EQ(table.MergeTranslations(dir.filePath("missing.csv"), 1), -1);
}

TEST_F(TranslationTableTest, ShippedEnglishTranslatesTheMessages) {
    open();
    const QString shipped = MORVILO_TEST_DATA "/../../data/translate-en.csv";
    EXPECT_GT(table.MergeTranslations(shipped, 1), 80);
    table.Install();
    language = 1;
    EXPECT_EQ(GetTString(kMsgSave), "Save");
    EXPECT_EQ(GetTString(kMsgPortOpenFailed), "Opening the port failed. Error number: ");
    EXPECT_EQ(TranslateString("G91 relative Koordinaten "), "G91 relative coordinates ");
    for (int n = 1; n <= kMessageCount; ++n) { // every message but the help file name
        if (n != kMsgHelpFile && !MessageText(n).isEmpty()) {
            EXPECT_NE(GetTString(n), MessageText(n)) << n;
        }
    }
}

TEST(DbfImageCheck, AcceptsTheTablesItWrites) {
    QTemporaryDir dir;
    {
        TranslationTable table;
        ASSERT_EQ(table.Open(dir.path()), QString());
        table.inittrans();
        table.TranslateString("Speichern", 0);
    }
    QFile file(dir.filePath("translate.dbf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray image = file.readAll();
    EXPECT_EQ(CheckDbfImage(image, image.size()), QString());
    EXPECT_EQ(image[0], '\x03'); // dBASE III
    EXPECT_EQ(image.size(), 32 * 20 + 1 + 19 * 255 + 1 + 1);
}

} // namespace
} // namespace morvilo
