// Saving the document. The text is written completely into a new file beside the target,
// flushed, and renamed over it, so the old file stays intact until the new one is whole. That
// matters twice over for the document's own file: it is still the source of every block not
// yet read, and an open descriptor keeps its old contents readable after the rename.

#include "editor/editorcore.h"
#include "vantrel/outputfile.h"

#include <algorithm>

namespace morvilo {

namespace {

constexpr int64_t kSaveChunk = 1 << 20;

} // namespace

bool TEditorCore::writeDocumentTo(const std::string &fname) {
    OutputFile out;
    if (!out.Open(fname, OutputFile::Mode::Replace, size_t(kSaveChunk))) {
        view->ShowError(messages.GetTranslation(kMsgCannotCreate) + "\n" + out.Error());
        return false;
    }
    const int64_t total = size();
    for (int64_t pos = 0; pos < total && !out.Failed(); pos += kSaveChunk) {
        const int64_t n = std::min(kSaveChunk, total - pos);
        char *dest = out.Reserve(size_t(n));
        if (store->CopyOut(pos, n, reinterpret_cast<uint8_t *>(dest)) != n) {
            out.Abandon();
            view->ShowError(messages.GetTranslation(kMsgCannotCreate) + "\n" + fname +
                            ": the document could not be read completely");
            return false;
        }
        out.Advance(size_t(n));
    }
    if (!out.Commit()) {
        view->ShowError(messages.GetTranslation(kMsgCannotCreate) + "\n" + out.Error());
        return false;
    }
    return true;
}

bool TEditorCore::SaveAsFile(const std::string &fname) {
    if (fname.empty() || !writeDocumentTo(fname))
        return false;
    // The saved file becomes the document; caret, view and undo list stay (the text is the
    // same).
    donotclearundo = true;
    const bool reopened = OpenFileWithName(fname);
    donotclearundo = false;
    return reopened;
}

} // namespace morvilo
