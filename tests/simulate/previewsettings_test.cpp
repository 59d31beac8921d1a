#include "../common/testfiles.h"

#include "simulate/previewsettings.h"

#include <gtest/gtest.h>

using namespace morvilo;

namespace {

TEST(PreviewSettings, RoundTripDefaultsAndDamagedLines) {
    test::ScratchFolder folder;
    const std::string path = (folder.path() / kPreviewDatName).string();
    bool damaged = true;
    EXPECT_EQ(ReadPreviewDat(path, &damaged), PreviewSettings{});
    EXPECT_FALSE(damaged);

    PreviewSettings settings;
    settings.tool = {ToolShape::VBit, 3.175, 60};
    settings.stock = Stock{-1.5, 0, 100.25, 50, 0.5};
    settings.resolution = 0.05;
    ASSERT_TRUE(WritePreviewDat(path, settings));
    EXPECT_EQ(ReadPreviewDat(path, &damaged), settings);
    EXPECT_FALSE(damaged);

    // each bad line keeps its default; the good ones are read
    test::WriteFile(path, "tool=cone\ndiameter=-2\nangle=180\nstock=1,2,0,4,5\nresolution=0\n"
                          "colour=red\n");
    EXPECT_EQ(ReadPreviewDat(path, &damaged), PreviewSettings{});
    EXPECT_TRUE(damaged);
    test::WriteFile(path, "tool=flat\r\ndiameter=6\r\nstock=auto\r\nresolution=auto\r\n");
    const PreviewSettings read = ReadPreviewDat(path, &damaged);
    EXPECT_FALSE(damaged);
    EXPECT_EQ(read.tool.shape, ToolShape::Flat);
    EXPECT_EQ(read.tool.diameter, 6);
    EXPECT_FALSE(read.stock);
    EXPECT_FALSE(read.resolution);
}

// The tool table: "T1=flat:6 T2=ball:3" in the dialog and on the command line, a line a tool
// in preview.dat; a table that cannot be read names its bad entry.
// preview.dat keeps its bytes: the fields in their order, then the tool table, CR LF.
TEST(PreviewSettings, TheFileKeepsItsBytes) {
    test::ScratchFolder folder;
    const std::string path = (folder.path() / kPreviewDatName).string();
    ASSERT_TRUE(WritePreviewDat(path, PreviewSettings{}));
    EXPECT_EQ(test::ReadFile(path),
              "tool=ball\r\ndiameter=1\r\nangle=90\r\nstock=auto\r\nresolution=auto\r\n");
    PreviewSettings settings;
    settings.tool = {ToolShape::Flat, 3.175, 90};
    settings.stock = Stock{-1.5, 0, 100.25, 50, 0.5};
    settings.resolution = 0.05;
    settings.tools = {{12, {ToolShape::VBit, 6, 60}}, {1, {ToolShape::Flat, 6, 90}}};
    ASSERT_TRUE(WritePreviewDat(path, settings));
    EXPECT_EQ(test::ReadFile(path), "tool=flat\r\ndiameter=3.175\r\nangle=90\r\n"
                                    "stock=-1.5,0,100.25,50,0.5\r\nresolution=0.05\r\n"
                                    "T1=flat:6\r\nT12=vbit:6:60\r\n");
}

TEST(PreviewSettings, ToolTableTextAndFile) {
    const auto table = ParseToolTable(" T1=flat:6, t2=ball:3\tT30=vbit:6:90 ");
    ASSERT_TRUE(table);
    const std::map<int, MillingTool> expected = {{1, {ToolShape::Flat, 6, 90}},
                                                 {2, {ToolShape::Ball, 3, 90}},
                                                 {30, {ToolShape::VBit, 6, 90}}};
    EXPECT_EQ(*table, expected);
    EXPECT_EQ(ToolTableText(*table), "T1=flat:6 T2=ball:3 T30=vbit:6:90");
    EXPECT_EQ(ParseToolTable("")->size(), 0u);
    const struct {
        const char *text, *bad;
    } refused[] = {{"T1=flat:6 T1=ball:2", "T1=ball:2"}, // a number twice
                   {"T1=cone:6", "T1=cone:6"},
                   {"T1=flat:0", "T1=flat:0"},
                   {"T1=vbit:6", "T1=vbit:6"}, // the angle is missing
                   {"T1=vbit:6:180", "T1=vbit:6:180"},
                   {"T1=flat:6:90", "T1=flat:6:90"},
                   {"T=flat:6", "T=flat:6"},
                   {"T-1=flat:6", "T-1=flat:6"},
                   {"T123456789=flat:6", "T123456789=flat:6"},
                   {"X1=flat:6", "X1=flat:6"},
                   {"T1=flat:nan", "T1=flat:nan"},
                   {"T1=flat:1e999", "T1=flat:1e999"},
                   {"T1", "T1"}};
    for (const auto &c : refused) {
        std::string bad;
        EXPECT_FALSE(ParseToolTable(c.text, &bad)) << c.text;
        EXPECT_EQ(bad, c.bad);
    }

    test::ScratchFolder folder;
    const std::string path = (folder.path() / kPreviewDatName).string();
    PreviewSettings settings;
    settings.tools = expected;
    ASSERT_TRUE(WritePreviewDat(path, settings));
    EXPECT_NE(test::ReadFile(path).find("T30=vbit:6:90"), std::string::npos);
    bool damaged = true;
    EXPECT_EQ(ReadPreviewDat(path, &damaged), settings);
    EXPECT_FALSE(damaged);
    test::WriteFile(path, "T1=flat:6\nT1=ball:3\nT2=drill:3\n");
    const PreviewSettings read = ReadPreviewDat(path, &damaged);
    EXPECT_TRUE(damaged);
    EXPECT_EQ(read.tools, (std::map<int, MillingTool>{{1, {ToolShape::Flat, 6, 90}}}));
    // the default stock grows by the widest tool
    EXPECT_EQ(WidestTool(settings), (MillingTool{ToolShape::Flat, 6, 90}));
}

} // namespace
