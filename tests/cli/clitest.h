#pragma once
// The fixture of the CLI tests: a scratch folder with a small picture, and the command run in
// this process with its standard output and error caught.

#include "../common/testfiles.h"
#include "../relief/testpictures.h"
#include "cli/cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace morvilo::test {

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        picture = (folder / "pic.bmp").string();
        WriteBmp24(picture, MakePicture24({{kBlack, kWhite}, {Grey(200), kBlack}}));
    }

    int run(const std::vector<std::string> &arguments) {
        out.str({});
        err.str({});
        return cli::RunCli(arguments, out, err);
    }

    ScratchFolder scratch;
    const std::filesystem::path &folder = scratch.path();
    std::string picture;
    std::ostringstream out, err;
};

} // namespace morvilo::test
