// A 10 MB program across a pair of pseudo-terminals with XON/XOFF: the transfer's rate at the
// line's full speed, and the far side's bytes compared with the program's.

#include "dnc/transfer.h"
#include "editor/editorcore.h"

#include "../tests/dnc/ptypair.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <future>

namespace {

void BM_SendTenMegabytesWithXonXoff(benchmark::State &state) {
    using morvilo::test::PtyPair;
    if (!PtyPair::SocatAvailable()) {
        state.SkipWithError("socat is not installed");
        return;
    }
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("morvilo-dnc-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::string program = "%\n";
    for (int i = 0; program.size() < (10u << 20); ++i)
        program += "N" + std::to_string(i) + " G1 X12.345 Y-6.789 Z-0.5 F1200\n";
    program += "M30\n%\n";
    std::ofstream(folder / "p.nc", std::ios::binary) << program;
    morvilo::TEditorCore core;
    if (!core.OpenFileWithName((folder / "p.nc").string())) {
        state.SkipWithError("cannot open the program");
        return;
    }
    for (auto _ : state) {
        PtyPair pair(folder);
        int fd = ::open(pair.receiver().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        auto reading = std::async(std::launch::async, [&] {
            std::string got;
            char buffer[65536];
            pollfd p{fd, POLLIN, 0};
            while (got.size() < program.size() && ::poll(&p, 1, 2000) > 0) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                got.append(buffer, size_t(n));
            }
            return got;
        });
        morvilo::dnc::TransferSettings settings;
        settings.device = pair.sender();
        settings.indices = {0, -1, 2, 0, 2, 0};
        settings.lineEnd = morvilo::dnc::LineEnd::Lf;
        settings.handshake = morvilo::dnc::Handshake::XonXoff;
        const auto result = morvilo::dnc::SendText(core, settings);
        const std::string got = reading.get();
        ::close(fd);
        if (result.message != 0 || got != program)
            state.SkipWithError("the far side did not get the program byte for byte");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(program.size()));
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SendTenMegabytesWithXonXoff)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
