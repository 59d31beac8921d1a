#pragma once
// Tests on a serial line made of a pseudo-terminal pair (socat): skipped where socat is missing,
// with a scratch folder and an editor for the programs sent.

#include "editor/editorcore.h"

#include "../common/testfiles.h"
#include "ptypair.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace morvilo::test {

class LineTest : public testing::Test {
protected:
    void SetUp() override {
        if (!PtyPair::SocatAvailable())
            GTEST_SKIP() << "socat is not installed (scripts/setup installs it): the serial line "
                            "tests need it";
        pair = std::make_unique<PtyPair>(folder.path());
        ASSERT_TRUE(pair->ready()) << "socat made no pseudo-terminal pair";
    }
    // A fixture's own SetUp goes on only when the line is there.
    bool LineReady() const { return !IsSkipped() && !HasFatalFailure(); }

    // The editor holding text, opened from a program file as a transfer reads it.
    TEditorCore &document(const std::string &text) {
        WriteFile(folder / "program.nc", text);
        EXPECT_TRUE(core.OpenFileWithName((folder / "program.nc").string()));
        return core;
    }

    ScratchFolder folder;
    std::unique_ptr<PtyPair> pair;
    TEditorCore core;
};

} // namespace morvilo::test
