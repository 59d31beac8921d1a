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

} // namespace
