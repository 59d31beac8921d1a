#pragma once
// Opening a test document in an editor core, as a window of a fixed size would show it.

#include "../common/testfiles.h"
#include "editor/editorcore.h"

#include <gtest/gtest.h>

namespace morvilo::test {

// Writes text into a file of the scratch folder and opens it in core, shown in an 800 x 400
// client with 8 x 16 cells: 24 rows of 98 visible columns, laid out 1024 columns wide. A
// file-backed document, so that every first edit is the first change of a fresh file.
inline void OpenDocument(TEditorCore &core, const ScratchFolder &scratch, const std::string &text) {
    const auto path = scratch / "doc.nc";
    WriteFile(path, text);
    core.SetMetrics(8, 16);
    core.SetClientSize(800, 400);
    ASSERT_TRUE(core.OpenFileWithName(path));
    core.UpdateCaretPos(true, false, false);
}

} // namespace morvilo::test
