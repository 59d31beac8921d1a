// morvilo_bigfile: one editor operation on a large program, timed inside the process, for
// bench/compare/run (which wraps each call in /usr/bin/time -v for its peak resident size).
//
//   morvilo_bigfile open PROGRAM        opening the file
//   morvilo_bigfile middle PROGRAM      after opening, the layout of a 1600 x 1200 window of
//                                       8 x 16 cells scrolled to the middle of the text
//   morvilo_bigfile save PROGRAM OUTPUT after opening, saving the text under a new name
//
// Prints "seconds T" for the timed step and "bytes N" for the size of the text; a failure goes
// to stderr with exit status 1.

#include "editor/editorcore.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

using namespace morvilo;

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool open(TEditorCore &core, const char *path) {
    if (core.OpenFileWithName(path))
        return true;
    std::fprintf(stderr, "morvilo_bigfile: cannot open %s\n", path);
    return false;
}

int report(double seconds, const TEditorCore &core) {
    std::printf("seconds %.9f\nbytes %lld\n", seconds, static_cast<long long>(core.size()));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    const std::string mode = argc >= 3 ? argv[1] : "";
    TEditorCore core;
    core.SetMetrics(8, 16);
    core.SetClientSize(1600, 1200);
    if (mode == "open" && argc == 3) {
        const auto start = Clock::now();
        if (!open(core, argv[2]))
            return 1;
        return report(since(start), core);
    }
    if (mode == "middle" && argc == 3) {
        if (!open(core, argv[2]))
            return 1;
        const auto start = Clock::now();
        core.posy = core.curx = core.size() / 2;
        core.SilentLayout();
        return report(since(start), core);
    }
    if (mode == "save" && argc == 4) {
        if (!open(core, argv[2]))
            return 1;
        const auto start = Clock::now();
        if (!core.SaveAsFile(argv[3])) {
            std::fprintf(stderr, "morvilo_bigfile: cannot save %s\n", argv[3]);
            return 1;
        }
        return report(since(start), core);
    }
    std::fprintf(stderr, "usage: morvilo_bigfile open|middle PROGRAM\n"
                         "       morvilo_bigfile save PROGRAM OUTPUT\n");
    return 2;
}
