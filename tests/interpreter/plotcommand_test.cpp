// morvilo-cli plot: the plot list as CSV.

#include "../common/testfiles.h"
#include "cli/cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace morvilo::test {
namespace {

int plot(const std::vector<std::string> &arguments, std::string &out, std::string &err) {
    std::ostringstream o, e;
    std::vector<std::string> all{"plot"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const int status = cli::RunCli(all, o, e);
    out = o.str();
    err = e.str();
    return status;
}

TEST(PlotCommand, PrintsThePlotListAsCsv) {
    ScratchFolder scratch;
    WriteFile(scratch / "p.nc", "G0X1.5\r\nG1Y-2\r\n");
    std::string out, err;
    ASSERT_EQ(plot({(scratch / "p.nc").string()}, out, err), 0) << err;
    std::istringstream lines(out);
    std::vector<std::string> rows;
    for (std::string row; std::getline(lines, row);)
        rows.push_back(row);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0], "typ,zeilevon,zeilebis,x,y,z,a,b,c,u,v,w,col,style");
    EXPECT_EQ(rows[1], "0,-1,-1,1000,0,0,0,0,0,0,0,0,16777215,4");
    EXPECT_EQ(rows[8], "1,0,7,1.5,0,0,0,0,0,0,0,0,16755712,2");
    EXPECT_EQ(rows[9], "1,8,14,1.5,-2,0,0,0,0,0,0,0,16777215,0");
}

TEST(PlotCommand, DialectOptionsChangeTheReading) {
    ScratchFolder scratch;
    WriteFile(scratch / "p.nc", "G91G1X5\nX5\n/G1Y1\nG1X(2*2)[c]\n");
    std::string out, err;
    ASSERT_EQ(plot({"--machine", "lathe-a", "--diameter", "--block-delete",
                    "--square-bracket-comments", (scratch / "p.nc").string()},
                   out, err),
              0)
        << err;
    EXPECT_NE(out.find("\n1,17,28,2,0,0,"), std::string::npos) << out;
}

// Subprogram files come from --subprogram-folder; macro output is logged on the error stream.
TEST(PlotCommand, LoadsSubprogramFilesAndLogsMacroOutput) {
    ScratchFolder scratch;
    std::filesystem::create_directory(scratch / "subs");
    WriteFile(scratch / "subs" / "O7.NC", "G1X3\nM99\n");
    WriteFile(scratch / "p.nc", "M98P7\n#3000=5\n");
    std::string out, err;
    ASSERT_EQ(
        plot({"--subprogram-folder", (scratch / "subs").string(), (scratch / "p.nc").string()}, out,
             err),
        0)
        << err;
    EXPECT_NE(out.find("\n1,0,6,3,0,0,"), std::string::npos) << out;
    EXPECT_EQ(err, "Makro Ausgabe 5: #3000=5\n");
}

TEST(PlotCommand, ReportsBadUse) {
    std::string out, err;
    EXPECT_EQ(plot({"--machine", "drill", "x.nc"}, out, err), cli::kUsage);
    EXPECT_NE(err.find("--machine"), std::string::npos);
    EXPECT_EQ(plot({}, out, err), cli::kUsage);
    EXPECT_EQ(plot({"/nonexistent/program.nc"}, out, err), cli::kFailure);
    EXPECT_NE(err.find("cannot open"), std::string::npos);
}

} // namespace
} // namespace morvilo::test
