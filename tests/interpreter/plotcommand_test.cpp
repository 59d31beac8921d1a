// morvilo-cli plot: the plot list as CSV.

#include "../common/testfiles.h"
#include "cli/cli.h"
#include "vantrel/dynaarray.h"

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
    // drilling cycles to scale: the hole bottom at Z-5
    WriteFile(scratch / "d.nc", "G0X0Y0Z10\nG81X5Y0Z-5R2\n");
    ASSERT_EQ(plot({"--cycles-to-scale", (scratch / "d.nc").string()}, out, err), 0) << err;
    EXPECT_NE(out.find(",5,0,-5,"), std::string::npos) << out;
    ASSERT_EQ(plot({(scratch / "d.nc").string()}, out, err), 0) << err;
    EXPECT_EQ(out.find(",5,0,-5,"), std::string::npos) << out;
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
    EXPECT_EQ(err, "Macro output 5: #3000=5\n");
}

TEST(PlotCommand, ReportsBadUse) {
    std::string out, err;
    EXPECT_EQ(plot({"--machine", "drill", "x.nc"}, out, err), cli::kUsage);
    EXPECT_NE(err.find("--machine"), std::string::npos);
    EXPECT_EQ(plot({}, out, err), cli::kUsage);
    EXPECT_EQ(plot({"/nonexistent/program.nc"}, out, err), cli::kFailure);
    EXPECT_NE(err.find("cannot open"), std::string::npos);
}

// plot and dxf run the program alike: a run that did not reach the program's end prints no plot
// list and writes no drawing, and exits with 1 and the reason on stderr.
struct RunCase {
    const char *program;
    std::vector<std::string> options;
    int status;
    std::vector<const char *> says;
};

void expectBothCommands(const std::vector<RunCase> &cases) {
    ScratchFolder scratch;
    const std::string program = (scratch / "p.nc").string();
    const std::string drawing = (scratch / "p.dxf").string();
    for (const std::string command : {"plot", "dxf"}) {
        for (const RunCase &c : cases) {
            WriteFile(program, c.program);
            std::vector<std::string> arguments = {command};
            arguments.insert(arguments.end(), c.options.begin(), c.options.end());
            arguments.push_back(program);
            if (command == "dxf")
                arguments.push_back(drawing);
            std::ostringstream out, err;
            EXPECT_EQ(cli::RunCli(arguments, out, err), c.status) << command << ": " << c.program;
            for (const char *text : c.says)
                EXPECT_NE(err.str().find(text), std::string::npos) << command << ": " << text;
            if (command == "plot") {
                EXPECT_EQ(out.str().empty(), c.status != 0) << c.program;
            }
            EXPECT_EQ(std::filesystem::exists(drawing), command == "dxf" && c.status == 0);
            std::filesystem::remove(drawing);
        }
    }
}

TEST(PlotCommand, EndlessProgramsEndAtABoundTheMessageNames) {
    const char *points = "--max-points N raises the bound";
    const char *blocks = "--max-blocks N raises the bound";
    expectBothCommands({
        // The condition holds for ever.
        {"#1=0\nN10 #1=#1+1\nG1X#1\nIF[#1GT0]GOTO10\n",
         {"--max-points", "1000"},
         cli::kFailure,
         {"more than 1000 points", points}},
        // (The loops read the clock: they do not come back in the same state.)
        {"N10\nIF[#3001GE0]GOTO10\n",
         {"--max-blocks=5000"},
         cli::kFailure,
         {"more than 5000 blocks", blocks}},
        {"WHILE[#3001GE0]DO1\nEND1\n",
         {"--max-blocks", "500"},
         cli::kFailure,
         {"more than 500 blocks"}},
        // A loop that comes back in the same state, a helix of too many steps: at once.
        {"N10\nGOTO10\n",
         {},
         cli::kFailure,
         {"Endless loop: the jump back in line 2 repeats with the same values, run ended",
          "the run did not reach the end of the program"}},
        {"G2 X0 Y0 I1 J0 Z-10 L100000000\n",
         {},
         cli::kFailure,
         {"Helix with L100000000: more than 4294967295 steps (line 1), run ended"}},
        {"M98 P3000 L999999999\nM30\nO3000\nG91G1X1\nM99\n",
         {"--max-points", "1000"},
         cli::kFailure,
         {"more than 1000 points"}},
        // The bounds hold for the whole run, however soon it ends: the axis cross, the start
        // point and one move make 8 points; three lines are three blocks.
        {"G1X1\n", {"--max-points", "8"}, cli::kSuccess, {}},
        {"G1X1\n", {"--max-points", "7"}, cli::kFailure, {"more than 7 points"}},
        {"G1X1\nG1X2\nG1X3\n", {"--max-blocks", "3"}, cli::kSuccess, {}},
        {"G1X1\nG1X2\nG1X3\n", {"--max-blocks", "2"}, cli::kFailure, {"more than 2 blocks"}},
        {"G1X1\n", {"--max-points", "0"}, cli::kUsage, {"--max-points: not a whole number of 1"}},
        {"G1X1\n", {"--max-blocks=x"}, cli::kUsage, {"--max-blocks: not a whole number of 1"}},
    });
}

TEST(PlotCommand, RunsCutShortFail) {
    expectBothCommands(
        {{"M98P1\nM30\nO1\nM98P1\nM99\n",
          {},
          cli::kFailure,
          {"Subprogram calls nested too deeply (more than 10000), run ended",
           "the run did not reach the end of the program"}},
         // a jump or call target that does not exist
         {"G1X1\nGOTO20\nG1X2\n",
          {},
          cli::kFailure,
          {"Jump target N20 not found (line 2), run ended"}},
         {"G0X1\nM98P100\n", {}, cli::kFailure, {"Subprogram O100 not found (line 2), run ended"}},
         {"M97P5\nM30\nN5G1X1\nM99\n", {"--haas"}, cli::kSuccess, {}},
         {"M97P5\nM30\n", {"--haas"}, cli::kFailure, {"Subprogram N5 not found"}}});
    SetDynaArrayBlockLimit(uint64_t(96) * 5000); // a plot list of at most 5000 points
    expectBothCommands({
        // 1,980,000 points: a helix this long is stored point by point
        {"G2X0Y0I1J0L20000\n",
         {},
         cli::kFailure,
         {"Error while trying to allocate", "bytes of RAM. Not enough memory.",
          "the run did not reach the end of the program"}},
        {"G2X0Y0I1J0L10\nM30\n", {}, cli::kSuccess, {}},
    });
    SetDynaArrayBlockLimit(0);
}

} // namespace
} // namespace morvilo::test
