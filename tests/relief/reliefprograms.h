#pragma once
// What the generator's tests share: the groups of a bare program, programs written from a
// picture in memory or from a picture file, and the worked example.

#include "../common/testfiles.h"
#include "relief/reliefgenerator.h"
#include "testpictures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace morvilo::test {

// The four lines of a group of the bare paths.
struct Group {
    std::string approach, plunge, cut, retract;
};

inline std::string join(const std::vector<Group> &groups) {
    std::string text;
    for (const Group &g : groups)
        text += g.approach + "\r" + g.plunge + "\r" + g.cut + "\r" + g.retract + "\r\n";
    return text;
}

// The 4 x 2 picture of the worked example: rows listed bottom first.
inline dib workedExamplePicture() {
    return MakePicture24({{kBlack, kWhite, kWhite, Grey(128)}, {kWhite, kWhite, kBlack, kBlack}});
}

inline ReliefParameters workedExampleParameters() {
    ReliefParameters p;
    p.width = 4;
    p.abstandfr = 1;
    p.levels = 3;
    p.tiefe = 2;
    p.sicher = -1;
    p.nach = 2;
    return p;
}

// The worked example's program: levels 0 2 2 1 / 2 2 0 0, each level row by row.
inline std::vector<Group> workedExampleGroups() {
    return {
        {"G0 X0.00 Y0.00", "G1 Z0.00", "G1 X3.00 Y0.00", "G0 Z-1.00"},
        {"G0 X0.00 Y1.00", "G1 Z0.00", "G1 X3.00 Y1.00", "G0 Z-1.00"},
        {"G0 X1.00 Y0.00", "G1 Z1.00", "G1 X3.00 Y0.00", "G0 Z-1.00"},
        {"G0 X0.00 Y1.00", "G1 Z1.00", "G1 X1.00 Y1.00", "G0 Z-1.00"},
        {"G0 X1.00 Y0.00", "G1 Z2.00", "G1 X2.00 Y0.00", "G0 Z-1.00"},
        {"G0 X0.00 Y1.00", "G1 Z2.00", "G1 X1.00 Y1.00", "G0 Z-1.00"},
    };
}

class ReliefProgramTest : public ::testing::Test {
protected:
    // The program of a picture in memory.
    std::string relief(const ReliefParameters &p, const dib &picture) {
        OutputFile out;
        const std::filesystem::path path = folder / "relief.nc";
        EXPECT_TRUE(out.Open(path, OutputFile::Mode::Replace, 4096));
        WriteRelief(p, picture, out);
        EXPECT_TRUE(out.Commit()) << out.Error();
        return ReadFile(path);
    }
    // The program of a picture file, written as the window and the CLI write it.
    ReliefResult generate(const ReliefParameters &p, const std::string &picturePath,
                          std::string &program) {
        const std::filesystem::path output = folder / "out.nc";
        std::filesystem::remove(output);
        const ReliefResult result = GenerateReliefFile(p, picturePath, output.string());
        program = std::filesystem::exists(output) ? ReadFile(output) : std::string();
        return result;
    }
    std::string pictureFile(const dib &picture) {
        const std::string path = (folder / "picture.bmp").string();
        WriteBmp24(path, picture);
        return path;
    }

    ScratchFolder scratch;
    const std::filesystem::path &folder = scratch.path();
};

} // namespace morvilo::test
