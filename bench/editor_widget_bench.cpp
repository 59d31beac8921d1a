// Repainting the editor widget: one full window (1600 x 1200 pixels) of a dense, coloured
// G-code program, laid out and drawn into the off-screen image. Runs on the offscreen
// platform unless another is set.

#include "editor/texteditorlf.h"
#include "vantrel/tempfile.h"

#include <QApplication>
#include <QFile>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <unistd.h>

using namespace morvilo;

namespace {

void BM_RepaintFullWindow(benchmark::State &state) {
    const std::string path = MYGetTempFileName("morvilo-widget-bench", ".nc");
    {
        QFile file(QString::fromStdString(path));
        file.open(QIODevice::WriteOnly);
        for (int i = 0; i < 2000; ++i)
            file.write(QByteArray("N") + QByteArray::number(i * 10) +
                       " G01 X12.345 Y-6.789 Z0.25 F1200 #1=[#2+3] (coloured comment text)\r\n");
    }
    TTextEditorLF editor;
    editor.doCNCHilight = true;
    editor.resize(1600, 1200);
    editor.show(); // lays out the viewport
    editor.core().OpenFileWithName(path);
    editor.core().markx = 300; // a selection on screen
    editor.core().curx = 2000;
    for (auto _ : state)
        editor.core().Paint();
    state.counters["cells"] = double(editor.core().rph * editor.core().pwreal);
    ::unlink(path.c_str());
}
BENCHMARK(BM_RepaintFullWindow)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
