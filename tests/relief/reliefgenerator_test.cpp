#include "../common/testfiles.h"
#include "relief/reliefgenerator.h"
#include "reliefprograms.h"
#include "testpictures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace morvilo;
using namespace morvilo::test;

namespace {

class ReliefTest : public ReliefProgramTest {};

TEST_F(ReliefTest, WorkedExample) {
    EXPECT_EQ(relief(workedExampleParameters(), workedExamplePicture()),
              join(workedExampleGroups()));
}

TEST_F(ReliefTest, WorkedExampleInverted) {
    ReliefParameters p = workedExampleParameters();
    p.invert = true; // levels: row 0: 2 0 0 0, row 1: 0 0 2 2
    const std::string expected = join({
        {"G0 X0.00 Y0.00", "G1 Z0.00", "G1 X3.00 Y0.00", "G0 Z-1.00"},
        {"G0 X0.00 Y1.00", "G1 Z0.00", "G1 X3.00 Y1.00", "G0 Z-1.00"},
        {"G0 X0.00 Y0.00", "G1 Z1.00", "G1 X0.00 Y0.00", "G0 Z-1.00"},
        {"G0 X2.00 Y1.00", "G1 Z1.00", "G1 X3.00 Y1.00", "G0 Z-1.00"},
        {"G0 X0.00 Y0.00", "G1 Z2.00", "G1 X0.00 Y0.00", "G0 Z-1.00"},
        {"G0 X2.00 Y1.00", "G1 Z2.00", "G1 X3.00 Y1.00", "G0 Z-1.00"},
    });
    EXPECT_EQ(relief(p, workedExamplePicture()), expected);
}

TEST(ReliefGrid, ColumnsRowsAndPitch) {
    EXPECT_EQ(GridColumns(10, 0.05), 199); // the double nearest 0.05 is a little larger
    EXPECT_EQ(GridColumns(4, 1), 4);
    EXPECT_EQ(GridColumns(400, 0.1), 3999);
    EXPECT_EQ(GridColumns(0.5, 1), 0);
    // The width keeps the precision of its text: 2.2 / 0.1 is just below 22 in extended
    // precision, while the double nearest 2.2 would give 22.
    EXPECT_EQ(GridColumns(2.2L, 0.1), 21);
    EXPECT_EQ(GridColumns(0.8L, 0.1), 7);
    EXPECT_EQ(GridColumns((long double)2.2, 0.1), 22);

    const ReliefGrid grid = ComputeReliefGrid(ReliefParameters{}, 640, 480);
    EXPECT_EQ(grid.aufl, 199);
    EXPECT_EQ(grid.aufly, 149);
    EXPECT_EQ(grid.scale, double(10.0L / 199)); // formed in extended, held as a double
    EXPECT_EQ(grid.abstuf, 15);
}

TEST_F(ReliefTest, StartupValuesCutEveryLevelZeroRowToTheLastColumn) {
    ReliefParameters p;
    p.brightnessRange = false; // a white picture then cuts every row at every level
    const std::string text = relief(p, MakeUniformPicture24(640, 480, kWhite));
    const std::string firstGroup =
        "G0 X0.0000 Y0.0000\rG1 Z0.0000\rG1 X9.9497 Y0.0000\rG0 Z-1.0000\r\n";
    EXPECT_EQ(text.substr(0, firstGroup.size()), firstGroup);
    size_t groups = 0;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2)
        ++groups;
    EXPECT_EQ(groups, 16u * 149u);
    EXPECT_NE(text.find("G1 Z1.0000\rG1 X9.9497 Y7.4372\rG0 Z-1.0000\r\n"), std::string::npos);
}

TEST_F(ReliefTest, TwoLevelsCutOnlyFullBrightnessAtTheDeepestLevel) {
    ReliefParameters p = workedExampleParameters();
    p.levels = 2;
    p.zstart = 0.5;
    p.brightnessRange = false;
    const std::string text = relief(p, MakePicture24({{Grey(254), kWhite, kWhite, kBlack}}));
    // Level 1 only for brightness 255, cut at zstart + tiefe.
    EXPECT_EQ(text, join({{"G0 X0.00 Y0.00", "G1 Z0.50", "G1 X3.00 Y0.00", "G0 Z-1.00"},
                          {"G0 X1.00 Y0.00", "G1 Z2.50", "G1 X2.00 Y0.00", "G0 Z-1.00"}}));
}

TEST_F(ReliefTest, DecimalsAndStartOffsets) {
    ReliefParameters p = workedExampleParameters();
    p.levels = 2;
    p.nach = 0;
    const dib picture = MakePicture24({{kBlack, kBlack, kBlack, kWhite}});
    EXPECT_EQ(relief(p, picture), join({{"G0 X0 Y0", "G1 Z0", "G1 X3 Y0", "G0 Z-1"},
                                        {"G0 X3 Y0", "G1 Z2", "G1 X3 Y0", "G0 Z-1"}}));

    p.nach = 1;
    p.xstart = -1.5;
    EXPECT_EQ(relief(p, picture).substr(0, 12), "G0 X-1.5 Y0.");

    p.nach = 20; // behaves as 18
    p.xstart = 0;
    EXPECT_EQ(relief(p, picture).substr(0, 28), "G0 X0.000000000000000000 Y0.");
}

// With the range on, the darkest sample is brightness 0 and the brightest 255: a picture of
// grey 50 .. 200 reaches the deepest level, in the program and in the level map; a picture of
// one grey stays at level 0. Without the range the grey itself counts, as always.
TEST_F(ReliefTest, BrightnessRangeStretchesFromDarkestToBrightest) {
    ReliefParameters p;
    p.width = 3;
    p.abstandfr = 1;
    p.nach = 0;
    p.tiefe = 15;
    const dib picture = MakePicture24({{Grey(50), Grey(125), Grey(200)}});
    const std::string text = relief(p, picture);
    EXPECT_NE(text.find("G0 X2 Y0\rG1 Z15\rG1 X2 Y0\r"), std::string::npos) << text;
    // Grey 125 lies halfway: 75 * 255 / 150 = 127, level 7.
    EXPECT_NE(text.find("G0 X1 Y0\rG1 Z7\rG1 X2 Y0\r"), std::string::npos) << text;
    EXPECT_EQ(text.find("G0 X1 Y0\rG1 Z8\r"), std::string::npos) << text;
    EXPECT_EQ(text.find("G0 X0 Y0\rG1 Z1\r"), std::string::npos) << text;
    EXPECT_EQ(ComputeLevelMap(p, picture, 100).cells, (std::vector<uint8_t>{0, 7, 15}));

    p.invert = true; // the brightest is the stock's untouched surface
    EXPECT_EQ(ComputeLevelMap(p, picture, 100).cells, (std::vector<uint8_t>{15, 7, 0}));

    p.invert = false;
    EXPECT_EQ(relief(p, MakeUniformPicture24(3, 1, Grey(90))),
              join({{"G0 X0 Y0", "G1 Z0", "G1 X2 Y0", "G0 Z-1"}}));

    p.brightnessRange = false; // 50, 125 and 200 at 15 levels: 2, 7, 11
    EXPECT_EQ(ComputeLevelMap(p, picture, 100).cells, (std::vector<uint8_t>{2, 7, 11}));
    p.invert = true; // grey 50 inverts to 205: level 12
    p.width = 2;
    const std::string inverted = relief(p, MakePicture24({{Grey(50), Grey(200)}}));
    EXPECT_NE(inverted.find("G0 X0 Y0\rG1 Z12\rG1 X0 Y0\r"), std::string::npos);
    EXPECT_EQ(inverted.find("G1 Z13\r"), std::string::npos);
}

TEST_F(ReliefTest, InversionSendsBlackDeepestAndWhiteToLevelZeroOnly) {
    ReliefParameters p = workedExampleParameters();
    p.invert = true;
    const std::string text = relief(p, MakePicture24({{kWhite, kBlack, kWhite, kWhite}}));
    EXPECT_EQ(text, join({{"G0 X0.00 Y0.00", "G1 Z0.00", "G1 X3.00 Y0.00", "G0 Z-1.00"},
                          {"G0 X1.00 Y0.00", "G1 Z1.00", "G1 X1.00 Y0.00", "G0 Z-1.00"},
                          {"G0 X1.00 Y0.00", "G1 Z2.00", "G1 X1.00 Y0.00", "G0 Z-1.00"}}));
}

TEST_F(ReliefTest, DegenerateGrids) {
    ReliefParameters p = workedExampleParameters();
    // Far wider than high: height * columns / width is 0 rows.
    EXPECT_EQ(relief(p, MakeUniformPicture24(400, 1, kWhite)), "");
    // Motif narrower than one path: no column.
    p.width = 0.5;
    EXPECT_EQ(relief(p, MakeUniformPicture24(4, 4, kWhite)), "");
    // One column: no cut would have a length.
    p.width = 1;
    EXPECT_EQ(relief(p, MakePicture24({{kWhite, kBlack}, {kBlack, kBlack}})), "");

    // All black under the range option: brightness 0 everywhere, only level 0 is cut.
    p.width = 4;
    EXPECT_EQ(relief(p, MakeUniformPicture24(4, 1, kBlack)),
              join({{"G0 X0.00 Y0.00", "G1 Z0.00", "G1 X3.00 Y0.00", "G0 Z-1.00"}}));
}

// A grid without two columns and a row has no cut with a length. Such a run is refused with a
// message that gives the grid; an existing output stays as it was, and where there was none,
// none is made.
TEST_F(ReliefTest, GridsWithoutTwoColumnsAndARowAreRefused) {
    const fs::path square = folder / "square.bmp", wide = folder / "wide.bmp";
    WriteBmp24(square, MakeUniformPicture24(4, 4, kWhite));
    WriteBmp24(wide, MakeUniformPicture24(400, 1, kWhite));
    struct Case {
        long double width;
        double distance;
        fs::path picture;
        const char *grid;
    } cases[] = {
        {0.01L, 1, square, "(Spalten: 0, Zeilen: 0)"},
        {1.5L, 1, square, "(Spalten: 1, Zeilen: 1)"},
        {4, 1, wide, "(Spalten: 4, Zeilen: 0)"},
    };
    for (const Case &c : cases) {
        ReliefParameters p = workedExampleParameters();
        p.width = c.width;
        p.abstandfr = c.distance;
        for (const bool existing : {true, false}) {
            const fs::path output = folder / "out.nc";
            fs::remove(output);
            if (existing)
                WriteFile(output, "old program\r\n");
            for (const OutputFile::Mode mode :
                 {OutputFile::Mode::Replace, OutputFile::Mode::OwnTemporary}) {
                const ReliefResult result = GenerateReliefFile(p, c.picture, output, mode);
                EXPECT_EQ(result.status, ReliefStatus::InvalidParameters) << c.grid;
                EXPECT_NE(result.message.find(c.grid), std::string::npos) << result.message;
                EXPECT_EQ(result.detail, result.message);
                EXPECT_EQ(result.messageParts.text, kMessageGridTooSmall);
                EXPECT_EQ(fs::exists(output), existing) << c.grid;
                if (existing) {
                    EXPECT_EQ(ReadFile(output), "old program\r\n") << c.grid;
                }
            }
            EXPECT_EQ(FileNamesIn(folder).size(), existing ? 3u : 2u) << c.grid;
        }
    }
    EXPECT_EQ(GenerateReliefFile(workedExampleParameters(), square, folder / "out.nc").message, "");
}

TEST_F(ReliefTest, GridFinerThanThePictureSamplesEveryPixelInOrder) {
    // 8 columns over a 2-pixel-wide picture: columns 0..6 sample pixel 0, column 7 pixel 1.
    ReliefParameters p;
    p.width = 8;
    p.abstandfr = 1;
    p.levels = 2;
    p.nach = 0;
    const std::string text = relief(p, MakePicture24({{kBlack, kWhite}, {kBlack, kWhite}}));
    EXPECT_NE(text.find("G0 X7 Y0\rG1 Z1\rG1 X7 Y0\r"), std::string::npos);
    EXPECT_NE(text.find("G0 X7 Y7\rG1 Z1\rG1 X7 Y7\r"), std::string::npos);
    EXPECT_EQ(text.find("G0 X6 Y0\rG1 Z1"), std::string::npos);
}

TEST_F(ReliefTest, WholeRunOnFiles) {
    const fs::path picture = folder / "example.bmp";
    WriteBmp24(picture, workedExamplePicture());
    const fs::path output = folder / "example.nc";
    ReliefResult result = GenerateReliefFile(workedExampleParameters(), picture, output);
    ASSERT_EQ(result.status, ReliefStatus::Ok) << result.message;
    EXPECT_EQ(result.groups, 6u);
    EXPECT_EQ(ReadFile(output), relief(workedExampleParameters(), workedExamplePicture()));
    EXPECT_EQ(result.bytes, fs::file_size(output));

    // An unreadable picture: message 21, nothing written.
    const fs::path notAPicture = folder / "notes.txt";
    std::ofstream(notAPicture) << "not a picture";
    const fs::path untouched = folder / "untouched.nc";
    result = GenerateReliefFile(workedExampleParameters(), notAPicture, untouched);
    EXPECT_EQ(result.status, ReliefStatus::PictureUnreadable);
    EXPECT_EQ(result.message, "Das Bild konnte nicht geladen werden.");
    EXPECT_FALSE(fs::exists(untouched));

    // An output that cannot be created.
    result = GenerateReliefFile(workedExampleParameters(), picture, folder / "no" / "out.nc");
    EXPECT_EQ(result.status, ReliefStatus::OutputNotCreated);
    EXPECT_EQ(result.message, "Die Datei konnte nicht erzeugt werden!");
    result = GenerateReliefFile(workedExampleParameters(), picture, folder / "no" / "cnctemp0.dat",
                                OutputFile::Mode::OwnTemporary);
    EXPECT_EQ(result.message, "Konnte temporäre Datei nicht anlegen.");

    // A write error is reported, not taken for success.
    if (fs::exists("/dev/full")) {
        ReliefParameters big;
        big.abstandfr = 0.001; // megabytes of program: more than one buffer
        result = GenerateReliefFile(big, picture, "/dev/full");
        EXPECT_EQ(result.status, ReliefStatus::WriteFailed);
        EXPECT_NE(result.message.find("No space"), std::string::npos) << result.message;
    }

    // A cancelled run leaves the existing file as it was; progress counts rows of all levels.
    ReliefProgress progress;
    result = GenerateReliefFile(workedExampleParameters(), picture, output,
                                OutputFile::Mode::Replace, &progress);
    EXPECT_EQ(progress.rowsTotal, 3u * 2u);
    EXPECT_EQ(progress.rowsDone, progress.rowsTotal.load());
    const std::string before = ReadFile(output);
    progress.cancel = true;
    ReliefParameters fine = workedExampleParameters();
    fine.abstandfr = 0.01;
    result = GenerateReliefFile(fine, picture, output, OutputFile::Mode::Replace, &progress);
    EXPECT_EQ(result.status, ReliefStatus::Cancelled);
    EXPECT_EQ(ReadFile(output), before);

    ReliefParameters bad;
    bad.abstandfr = 0;
    EXPECT_EQ(GenerateReliefFile(bad, picture, output).status, ReliefStatus::InvalidParameters);
}

} // namespace
