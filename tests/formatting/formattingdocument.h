#pragma once
// A G-code text in an editor core for the formatting tests, and the text read back.

#include "../common/testfiles.h"
#include "editor/editorcore.h"
#include "linetext/linetext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvilo::test {

// The whole text of the core.
inline std::string TextOf(TEditorCore &core) {
    std::string text(size_t(core.size()), '\0');
    text.resize(
        size_t(core.mem().CopyOut(0, core.size(), reinterpret_cast<uint8_t *>(text.data()))));
    return text;
}

// Lines joined with CR LF after each.
inline std::string CrLfLines(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &line : lines)
        text += line + "\r\n";
    return text;
}

// Sets the bracket option for the test's lifetime.
class SquareBracketComments {
public:
    explicit SquareBracketComments(bool on = true) { SetSquareBracketComments(on); }
    ~SquareBracketComments() { SetSquareBracketComments(false); }
    SquareBracketComments(const SquareBracketComments &) = delete;
    SquareBracketComments &operator=(const SquareBracketComments &) = delete;
};

// A fixture with one editor core; each text opened is a fresh file of the scratch folder.
class FormattingTest : public ::testing::Test {
protected:
    void open(const std::string &text) {
        const auto path = scratch / ("doc" + std::to_string(++opened) + ".nc");
        WriteFile(path, text);
        ASSERT_TRUE(core.OpenFileWithName(path));
    }
    std::string text() { return TextOf(core); }

    ScratchFolder scratch;
    TEditorCore core;
    int opened = 0;
};

} // namespace morvilo::test
