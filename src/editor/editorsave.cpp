// Saving the document. The text is written completely into a new file beside the target,
// flushed, and renamed over it, so the old file stays intact until the new one is whole. That
// matters twice over for the document's own file: it is still the source of every block not
// yet read, and an open descriptor keeps its old contents readable after the rename. The
// progress hook hears of the bytes written; when it asks to stop, the new file is removed
// before it replaces anything.

#include "editor/editorcore.h"
#include "vantrel/outputfile.h"

#include <algorithm>
#include <sys/stat.h>

namespace morvilo {

namespace {

constexpr int64_t kSaveChunk = 1 << 20;

const char *const kSourceUnreadable =
    "Das Dokument konnte nicht vollständig aus seiner Datei gelesen werden.";

} // namespace

bool TEditorCore::writeDocumentTo(const std::string &fname) {
    try {
        noticeShorterFile();
    } catch (const TextStoreError &) {
        view->ShowError(
            messages.FileMessage(kMsgCannotCreate, fname, messages.Translate(kSourceUnreadable)));
        return false;
    }
    OutputFile out;
    if (!out.Open(fname, OutputFile::Mode::Replace, size_t(kSaveChunk))) {
        view->ShowError(
            messages.FileMessage(kMsgCannotCreate, fname, messages.SystemError(out.ErrorNumber())));
        return false;
    }
    // Unchanged blocks still lie in the document's file one after another: they are copied
    // from there as whole runs (in pieces, between which the progress is told); changed blocks
    // come from memory.
    TProgressTicker ticker(progress, size());
    const int64_t blocks = store->numbufs();
    int64_t pos = 0;
    for (int64_t b = 0; b < blocks && !out.Failed() && !ticker.Cancelled();) {
        const TMemory::BlockInfo first = store->block(b);
        int64_t run = first.realsize, next = b + 1;
        if (!first.alsetted && fd >= 0) {
            for (int64_t last = b; next < blocks; last = next++) {
                const TMemory::BlockInfo following = store->block(next);
                if (store->block(last).realsize != TMemory::dividesize || following.alsetted ||
                    following.realsize == 0)
                    break;
                run += following.realsize;
            }
            for (int64_t done = 0; done < run && ticker.Report(pos + done);) {
                const int64_t piece = std::min(kProgressStep, run - done);
                if (!out.CopyFromFile(fd, b * TMemory::dividesize + done, piece))
                    break;
                done += piece;
            }
        } else if (!copyToOutput(out, pos, run, ticker)) {
            out.Abandon();
            view->ShowError(messages.FileMessage(kMsgCannotCreate, fname,
                                                 messages.Translate(kSourceUnreadable)));
            return false;
        }
        pos += run;
        b = next;
    }
    if (ticker.Cancelled()) {
        out.Abandon(); // the user stopped it: nothing to tell
        cancelled = true;
        return false;
    }
    if (!out.Commit()) {
        view->ShowError(
            messages.FileMessage(kMsgCannotCreate, fname, messages.SystemError(out.ErrorNumber())));
        return false;
    }
    return true;
}

// Another program may have shortened the document's file while it was open. Reading the first
// unchanged block the file no longer holds in full lets the store find the new end (and say
// so), so that the file written is the text the editor holds now rather than a failed copy.
void TEditorCore::noticeShorterFile() {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return;
    int64_t pos = 0;
    for (int64_t b = 0; b < store->numbufs(); ++b) {
        const TMemory::BlockInfo info = store->block(b);
        if (!info.alsetted && info.realsize > 0 &&
            b * TMemory::dividesize + info.realsize > int64_t(st.st_size)) {
            uint8_t last = 0;
            store->CopyOut(pos + info.realsize - 1, 1, &last);
            return;
        }
        pos += info.realsize;
    }
}

// The bytes pos .. pos+len-1 of the text through the output's buffer; false when they could not
// all be read.
bool TEditorCore::copyToOutput(OutputFile &out, int64_t pos, int64_t len,
                               TProgressTicker &progress) {
    try {
        for (int64_t done = 0; done < len && !out.Failed() && progress.Report(pos + done);) {
            const int64_t n = std::min(kSaveChunk, len - done);
            char *dest = out.Reserve(size_t(n));
            if (store->CopyOut(pos + done, n, reinterpret_cast<uint8_t *>(dest)) != n)
                return false;
            out.Advance(size_t(n));
            done += n;
        }
    } catch (const TextStoreError &) {
        return false; // the document's file could not be read
    }
    return true;
}

bool TEditorCore::SaveAsFile(const std::string &fname) {
    cancelled = false;
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
