// The editor's text store on a 4 GiB relief program (four-line groups of G-code, bare CR inside
// a group, CR LF after it), built once in TMPDIR (or /tmp) and removed at exit. Set
// MORVILO_TMEMORY_BENCH_BYTES for another size.
//
//   BM_Open               open + fstat + creating the store (ms)
//   BM_OpenMemory         resident memory the open store adds, peak and after reading a few
//                         windows (counters peak_extra_MiB, extra_MiB)
//   BM_CopyOutStream      the whole text in 10240-byte windows, as line reading and saving do
//                         (bytes_per_second)
//   BM_Typing/...         one keystroke (insertdata of one byte) per iteration, 1000 in a row,
//                         each timed on its own (counter worst_us: the slowest):
//                         /middle        at the same place in the middle
//                         /redisplay     the same, plus reading the 10240-byte window shown
//                         /scattered     each at a random place (every key reads a new block)
//                         /after_paste   in the middle of 16 MiB pasted into one block

#include "editor/tmemory.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using morvilo::TMemory;

namespace {

constexpr int64_t kWindow = 10240;

int64_t programBytes() {
    if (const char *text = std::getenv("MORVILO_TMEMORY_BENCH_BYTES"))
        return std::max<int64_t>(1, std::atoll(text));
    return int64_t(4) << 30;
}

// About 8 MiB of relief groups, written again and again up to the wanted size.
std::string reliefChunk() {
    std::string chunk;
    chunk.reserve(8 << 20);
    char group[160];
    std::mt19937 random(7);
    for (int row = 0; chunk.size() < (8u << 20); ++row) {
        const double y = row * 0.1;
        const double z = -0.1 * double(1 + row % 16);
        int x = int(random() % 3000);
        while (x < 3900 && chunk.size() < (8u << 20)) {
            const int run = 1 + int(random() % 200);
            const int n = std::snprintf(group, sizeof group,
                                        "G0 X%.3f Y%.3f\rG1 Z%.3f\rG1 X%.3f Y%.3f\rG0 Z2.000\r\n",
                                        x * 0.1, y, z, (x + run) * 0.1, y);
            chunk.append(group, size_t(n));
            x += run + 1 + int(random() % 50);
        }
    }
    return chunk;
}

class ProgramFile {
public:
    static const ProgramFile &get() {
        static ProgramFile file;
        return file;
    }
    ~ProgramFile() { ::unlink(path_.c_str()); }

    const std::string &path() const { return path_; }
    int64_t size() const { return size_; }

private:
    ProgramFile() : size_(programBytes()) {
        const char *tmp = std::getenv("TMPDIR");
        path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/morvilo-tmemory-bench-XXXXXX";
        const int fd = ::mkstemp(path_.data());
        if (fd < 0)
            throw std::runtime_error("cannot create the benchmark's file");
        const std::string chunk = reliefChunk();
        for (int64_t written = 0; written < size_;) {
            const size_t n = size_t(std::min<int64_t>(int64_t(chunk.size()), size_ - written));
            const ssize_t w = ::write(fd, chunk.data(), n);
            if (w <= 0) {
                ::close(fd);
                ::unlink(path_.c_str());
                throw std::runtime_error("cannot write the benchmark's file");
            }
            written += w;
        }
        ::close(fd);
    }

    std::string path_;
    int64_t size_;
};

// An open document as the editor holds it: the descriptor and the store on it.
struct OpenDocument {
    explicit OpenDocument(const ProgramFile &file) : fd(::open(file.path().c_str(), O_RDONLY)) {
        struct stat st {};
        ::fstat(fd, &st);
        mem = std::make_unique<TMemory>(int64_t(st.st_size), false, fd);
    }
    ~OpenDocument() {
        mem.reset();
        ::close(fd);
    }
    int fd;
    std::unique_ptr<TMemory> mem;
};

// A field of /proc/self/status in KiB.
int64_t statusKiB(const char *field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
            return std::atoll(line.c_str() + n + 1);
    return -1;
}

void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_Open(benchmark::State &state) {
    const ProgramFile &file = ProgramFile::get();
    for (auto _ : state) {
        auto doc = std::make_unique<OpenDocument>(file);
        benchmark::DoNotOptimize(doc->mem->size());
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["GiB"] = double(file.size()) / double(int64_t(1) << 30);
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

void BM_OpenMemory(benchmark::State &state) {
    const ProgramFile &file = ProgramFile::get();
    std::vector<uint8_t> window(kWindow);
    double extra = 0, peak = 0;
    for (auto _ : state) {
        const int64_t before = statusKiB("VmRSS");
        resetPeakMemory();
        OpenDocument doc(file);
        for (int64_t pos : {int64_t(0), file.size() / 2, file.size() - kWindow})
            benchmark::DoNotOptimize(doc.mem->CopyOut(pos, kWindow, window.data()));
        extra = double(statusKiB("VmRSS") - before) / 1024.0;
        peak = double(statusKiB("VmHWM") - before) / 1024.0;
    }
    state.counters["extra_MiB"] = extra;
    state.counters["peak_extra_MiB"] = peak;
}
BENCHMARK(BM_OpenMemory)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_CopyOutStream(benchmark::State &state) {
    const ProgramFile &file = ProgramFile::get();
    OpenDocument doc(file);
    std::vector<uint8_t> window(kWindow);
    int64_t bytes = 0;
    for (auto _ : state) {
        uint64_t lineEnds = 0;
        for (int64_t pos = 0; pos < doc.mem->size(); pos += kWindow) {
            const int64_t n = doc.mem->CopyOut(pos, kWindow, window.data());
            lineEnds += window[size_t(n - 1)] == '\n';
            bytes += n;
        }
        benchmark::DoNotOptimize(lineEnds);
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_CopyOutStream)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

enum class Typing { middle, redisplay, scattered, afterPaste };

void BM_Typing(benchmark::State &state, Typing how) {
    const ProgramFile &file = ProgramFile::get();
    OpenDocument doc(file);
    TMemory &mem = *doc.mem;
    std::vector<uint8_t> window(kWindow);
    std::mt19937_64 random(11);
    int64_t pos = mem.size() / 2;
    if (how == Typing::afterPaste) {
        const std::vector<uint8_t> paste(16 << 20, 'X');
        mem.insertdata(pos, int64_t(paste.size()), paste.data());
        pos += int64_t(paste.size()) / 2;
    }
    const uint8_t key = '7';
    double worst = 0;
    for (auto _ : state) {
        if (how == Typing::scattered)
            pos = int64_t(random() % uint64_t(mem.size()));
        const auto start = std::chrono::steady_clock::now();
        mem.insertdata(pos, 1, &key);
        ++pos;
        if (how == Typing::redisplay)
            benchmark::DoNotOptimize(mem.CopyOut(pos - 2000, kWindow, window.data()));
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        worst = std::max(worst, seconds);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["worst_us"] = worst * 1e6;
}
BENCHMARK_CAPTURE(BM_Typing, middle, Typing::middle)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(1000)
    ->UseManualTime();
BENCHMARK_CAPTURE(BM_Typing, redisplay, Typing::redisplay)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(1000)
    ->UseManualTime();
BENCHMARK_CAPTURE(BM_Typing, scattered, Typing::scattered)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(1000)
    ->UseManualTime();
BENCHMARK_CAPTURE(BM_Typing, after_paste, Typing::afterPaste)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(1000)
    ->UseManualTime();

} // namespace

BENCHMARK_MAIN();
