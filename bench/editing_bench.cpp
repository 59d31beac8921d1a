// Editing through the editor core: a keystroke in the middle of a 4 GiB program (the typing
// path with its layout passes), Undo and Redo of a run of 1000 typed characters, and a
// formatting command that replaces every line of a 100 MB program inside one update, with the
// Undo of that command.
//
// The 4 GiB program is sparse apart from a stretch of G-code around its middle, so that it
// costs no disk space; MORVILO_BENCH_BIG_PROGRAM names another file. The 100 MB program is
// MORVILO_BENCH_LINES_PROGRAM when set, else made in the temporary folder. Made files are
// removed at exit.

#include "editor/editorcore.h"
#include "vantrel/outputfile.h"
#include "vantrel/tempfile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

using namespace morvilo;

namespace {

std::string gcodeLines(int64_t bytes, int64_t firstLine) {
    std::string text;
    text.reserve(size_t(bytes) + 64);
    for (int64_t n = firstLine; int64_t(text.size()) < bytes; ++n) {
        char row[96];
        const int len = std::snprintf(row, sizeof row, "N%lld G01 X%lld.%03d Y%lld.%03d F1200\r\n",
                                      (long long)n, (long long)(n % 500), int(n * 37 % 1000),
                                      (long long)(n % 300), int(n * 53 % 1000));
        text.append(row, size_t(len));
    }
    return text;
}

class BenchFile {
public:
    BenchFile(const char *envName, const char *stem) {
        if (const char *given = std::getenv(envName)) {
            path = given;
            return;
        }
        path = MYGetTempFileName(stem, ".nc");
        owned = true;
    }
    ~BenchFile() {
        if (owned)
            ::unlink(path.c_str());
    }
    std::string path;
    bool owned = false;
};

const std::string &bigProgram() {
    static BenchFile file("MORVILO_BENCH_BIG_PROGRAM", "morvilo-editing-4g");
    static bool made = false;
    if (file.owned && !made) {
        made = true;
        const int64_t total = int64_t(4) << 30;
        const std::string middle = gcodeLines(1 << 20, 1000000);
        const int fd = ::open(file.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0 || ::ftruncate(fd, total) != 0 ||
            ::pwrite(fd, middle.data(), middle.size(), total / 2 - int64_t(middle.size()) / 2) !=
                ssize_t(middle.size())) {
            std::fprintf(stderr, "cannot make %s\n", file.path.c_str());
            std::exit(1);
        }
        ::close(fd);
    }
    return file.path;
}

const std::string &linesProgram() {
    static BenchFile file("MORVILO_BENCH_LINES_PROGRAM", "morvilo-editing-100m");
    static bool made = false;
    if (file.owned && !made) {
        made = true;
        OutputFile out;
        out.Open(file.path, OutputFile::Mode::OwnTemporary);
        const int64_t chunk = 1 << 20;
        for (int64_t done = 0, line = 0; done < 100 * chunk;) {
            const std::string part = gcodeLines(chunk, line);
            out.Write(part);
            done += int64_t(part.size());
            line += 30000; // numbers need not be unique
        }
        out.Commit();
    }
    return file.path;
}

const std::string &gigabyteProgram() {
    static BenchFile file("MORVILO_BENCH_SAVE_PROGRAM", "morvilo-editing-1g");
    static bool made = false;
    if (file.owned && !made) {
        made = true;
        OutputFile out;
        out.Open(file.path, OutputFile::Mode::OwnTemporary);
        const std::string part = gcodeLines(1 << 20, 0);
        for (int64_t done = 0; done < (int64_t(1) << 30); done += int64_t(part.size()))
            out.Write(part);
        out.Commit();
    }
    return file.path;
}

// A core with a 1600 x 1200 window of 8 x 16 cells, the caret on a line start in the middle.
void openInTheMiddle(TEditorCore &core, const std::string &path) {
    core.SetMetrics(8, 16);
    core.SetClientSize(1600, 1200);
    core.OpenFileWithName(path);
    core.GetLinenr(0);
    core.posy = core.size() / 2;
    core.SilentLayout();
    core.posy = core.curx = core.Cell(1, 0) - 1; // the start of the second row shown
    core.UpdateCaretPos(true, false, false);
}

void BM_KeystrokeInTheMiddleOf4GiB(benchmark::State &state) {
    TEditorCore core;
    openInTheMiddle(core, bigProgram());
    for (auto _ : state)
        core.KeyPress('X');
    state.counters["size_GiB"] = double(core.size()) / double(int64_t(1) << 30);
}
BENCHMARK(BM_KeystrokeInTheMiddleOf4GiB)->Unit(benchmark::kMicrosecond);

void BM_BackspaceInTheMiddleOf4GiB(benchmark::State &state) {
    TEditorCore core;
    openInTheMiddle(core, bigProgram());
    core.curx += 64 * 1024; // room to delete backwards
    core.UpdateCaretPos(true, false, false);
    for (auto _ : state)
        core.KeyPress(8);
}
BENCHMARK(BM_BackspaceInTheMiddleOf4GiB)->Unit(benchmark::kMicrosecond)->Iterations(20000);

void BM_UndoRedoOf1000TypedCharacters(benchmark::State &state) {
    TEditorCore core;
    openInTheMiddle(core, bigProgram());
    for (int i = 0; i < 1000; ++i)
        core.KeyPress(uint8_t('A' + i % 26));
    for (auto _ : state) {
        core.Undo();
        core.ReDo();
    }
    state.counters["records"] = double(core.undos.Count());
}
BENCHMARK(BM_UndoRedoOf1000TypedCharacters)->Unit(benchmark::kMicrosecond);

// A formatting command: every line replaced by its upper-cased text, in one update.
int64_t replaceEveryLine(TEditorCore &core) {
    int64_t lines = 0;
    core.BeginUpdate();
    core.FirstLine();
    std::string upper;
    while (core.NextLine()) {
        upper = core.line;
        for (char &c : upper)
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
        core.ReplaceLine(upper);
        ++lines;
    }
    core.EndUpdate();
    return lines;
}

void BM_ReplaceLineOver100MB(benchmark::State &state) {
    TEditorCore core;
    core.SetMetrics(8, 16);
    core.SetClientSize(1600, 1200);
    int64_t lines = 0;
    for (auto _ : state) {
        state.PauseTiming();
        core.OpenFileWithName(linesProgram()); // constant time; empties the undo list
        state.ResumeTiming();
        lines = replaceEveryLine(core);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * core.size());
    state.counters["lines"] = double(lines);
    state.counters["records"] = double(core.undos.Count());
}
BENCHMARK(BM_ReplaceLineOver100MB)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_UndoRedoOfTheCommandOver100MB(benchmark::State &state) {
    TEditorCore core;
    core.SetMetrics(8, 16);
    core.SetClientSize(1600, 1200);
    core.OpenFileWithName(linesProgram());
    replaceEveryLine(core);
    for (auto _ : state) {
        core.Undo();
        core.ReDo();
    }
    state.counters["records"] = double(core.undos.Count());
}
BENCHMARK(BM_UndoRedoOfTheCommandOver100MB)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

// Saving a 1 GiB program edited in three places (start, middle, end) under a new name: the
// whole text streams through the write buffer into a new file that is flushed to the disk.
void BM_Save1GiBEditedInThreePlaces(benchmark::State &state) {
    BenchFile target("MORVILO_BENCH_SAVE_TARGET", "morvilo-editing-saved");
    for (auto _ : state) {
        state.PauseTiming();
        TEditorCore core;
        if (!core.OpenFileWithName(gigabyteProgram())) {
            state.SkipWithError("the program cannot be opened");
            break;
        }
        for (int64_t at : {int64_t(0), core.size() / 2, core.size() - 1}) {
            core.curx = core.markx = at;
            core.insertText("G4 P1\r\n");
        }
        state.ResumeTiming();
        if (!core.SaveAsFile(target.path))
            state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(state.iterations() * (int64_t(1) << 30));
}
BENCHMARK(BM_Save1GiBEditedInThreePlaces)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
