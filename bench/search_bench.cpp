// Search and replace of the editor core on large G-code programs (one block per line, CR LF),
// made in TMPDIR (or /tmp) and removed at exit.
//
//   BM_SearchMissing/0   an 8-byte text that is not in a 1 GiB program, with case distinction,
//                        from the start to the end through the open document (bytes_per_second)
//   BM_SearchMissing/1   the same without case distinction
//   BM_ReplaceAll        "Alles ersetzen" of 100,000 matches in a 100 MB program: one undo
//                        group (ms; the document is opened afresh, untimed, for each iteration)
//
// MORVILO_SEARCH_BENCH_BYTES sets another size for the large program.
//
// Two more modes serve bench/compare/run, which times the same search against grep:
//   morvilo_search_bench make FILE BYTES        writes the large program
//   morvilo_search_bench find FILE TEXT [-i]    opens FILE and prints where TEXT starts (-1:
//                                               nowhere); -i: without case distinction

#include "editor/editorcore.h"
#include "editor/editorsearch.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

using namespace morvilo;

namespace {

// Not in the programs: their X values stay below 200.
constexpr const char *kMissing = "X999.999";
constexpr int64_t kReplaceBytes = 100'000'000;
constexpr int kReplaceMatches = 100'000;

std::string number(std::mt19937 &random, int below) {
    const unsigned thousandths = random() % unsigned(below * 1000);
    char text[32];
    std::snprintf(text, sizeof text, "%u.%03u", thousandths / 1000, thousandths % 1000);
    return text;
}

// About 1 MiB of milling blocks; every markerEvery-th line also carries "M08".
std::string programChunk(int markerEvery, int &lines) {
    std::mt19937 random(11);
    std::string chunk;
    lines = 0;
    while (chunk.size() < (1u << 20)) {
        std::string line =
            "G01 X" + number(random, 200) + " Y" + number(random, 200) + " Z-" + number(random, 5);
        if (markerEvery > 0 && lines % markerEvery == 0)
            line += " M08";
        chunk += line + "\r\n";
        ++lines;
    }
    return chunk;
}

// Writes chunks up to bytes (the last one cut at a line end); returns how many markers it holds.
int64_t writeProgram(const std::string &path, int64_t bytes, int markerEvery) {
    int lines = 0;
    const std::string chunk = programChunk(markerEvery, lines);
    std::ofstream out(path, std::ios::binary);
    int64_t written = 0, markers = 0;
    while (written < bytes) {
        size_t take = chunk.size();
        if (written + int64_t(take) > bytes)
            take = chunk.rfind('\n', size_t(bytes - written)) + 1;
        out.write(chunk.data(), std::streamsize(take));
        written += int64_t(take);
        for (size_t at = chunk.find("M08"); at < take; at = chunk.find("M08", at + 1))
            ++markers;
        if (take < chunk.size())
            break;
    }
    return markers;
}

std::string scratchPath(const char *name) {
    const char *dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/" + name + "-" + std::to_string(getpid());
}

int64_t largeBytes() {
    if (const char *text = std::getenv("MORVILO_SEARCH_BENCH_BYTES"))
        return std::max<int64_t>(1 << 20, std::atoll(text));
    return int64_t(1) << 30;
}

// A program made at its first use and removed at exit.
struct ScratchProgram {
    std::string path;
    int64_t markers;
    ScratchProgram(const char *name, int64_t bytes, int markerEvery)
        : path(scratchPath(name)), markers(writeProgram(path, bytes, markerEvery)) {}
    ~ScratchProgram() { std::remove(path.c_str()); }
};

const ScratchProgram &largeProgram() {
    static const ScratchProgram made("morvilo-search-bench", largeBytes(), 0);
    return made;
}

// A marker every markerEvery lines of about 30 bytes: 100,000 in 100 MB.
const ScratchProgram &replaceProgram() {
    static const ScratchProgram made("morvilo-replace-bench", kReplaceBytes,
                                     int(kReplaceBytes / kReplaceMatches / 30));
    return made;
}

void BM_SearchMissing(benchmark::State &state) {
    TEditorCore core;
    if (!core.OpenFileWithName(largeProgram().path)) {
        state.SkipWithError("cannot open the program");
        return;
    }
    TSearchSettings settings;
    settings.text = kMissing;
    settings.caseSensitive = state.range(0) == 0;
    for (auto _ : state) {
        core.curx = core.markx = 0;
        if (core.Weitersuchen(settings))
            state.SkipWithError("the missing text was found");
    }
    state.SetBytesProcessed(state.iterations() * core.size());
}
BENCHMARK(BM_SearchMissing)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReplaceAll(benchmark::State &state) {
    const std::string marker = "m08", shorter = "M8";
    TReplaceSettings settings;
    settings.text = marker;
    settings.replacement = shorter;
    settings.replaceAll = true;
    for (auto _ : state) {
        state.PauseTiming();
        TEditorCore core;
        core.OpenFileWithName(replaceProgram().path);
        const int64_t before = core.size();
        state.ResumeTiming();
        core.WeiterSuchenundErsetzen(settings);
        state.PauseTiming();
        if (before - core.size() != replaceProgram().markers)
            state.SkipWithError("not every match was replaced");
        state.counters["matches"] = double(replaceProgram().markers);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ReplaceAll)->Unit(benchmark::kMillisecond)->UseRealTime();

int make(const char *path, const char *bytes) {
    writeProgram(path, std::atoll(bytes), 0);
    std::printf("missing text: %s\n", kMissing);
    return 0;
}

int find(const char *path, const char *text, bool ignoreCase) {
    TEditorCore core;
    if (!core.OpenFileWithName(path)) {
        std::fprintf(stderr, "morvilo_search_bench: cannot open %s\n", path);
        return 1;
    }
    TSearchSettings settings;
    settings.text = text;
    settings.caseSensitive = !ignoreCase;
    const bool found = core.Weitersuchen(settings);
    std::printf("%lld\n", static_cast<long long>(found ? core.markx : -1));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "make") == 0)
        return make(argv[2], argv[3]);
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "find") == 0)
        return find(argv[2], argv[3], argc == 5 && std::strcmp(argv[4], "-i") == 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
