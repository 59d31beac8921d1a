// The window's run of a program, as the user starts it: the main window opens the program (on
// the offscreen platform unless QT_QPA_PLATFORM says otherwise), shows the backplot page and runs
// the interpreter with its drawing at the event pumps, the completion of the plot at the end and
// the program facts. Prints the time of the run and the plot list's size; /usr/bin/time -v gives
// the peak.
//
//   morvilo_window_run [--in-process] PROGRAM [SETTINGS-FOLDER]
//
// Prints for the first run (with the fit of the freshly opened program) and a second one (the
// refresh command) the wall time, the CPU time of the main thread and of the whole process, and
// the load average of the machine after each; the run returns before the program facts, which
// a second thread computes: "facts" is the wait for them after the run, "picture" the wait for
// the fit's paint after the first run, which the drawing thread does.
//
// --in-process: then the same program twice without a window (no drawing, no event pumps, no
// log), as morvilo_interpreter_bench runs it, in the same process and on the same loaded
// machine as the window's runs (the peak is no longer the window's then).
//
// The settings folder (default: a fresh temporary one) stands for the user's MORVILO_HOME.

#include "app/mainform.h"
#include "app/plotbox.h"
#include "editor/editorcore.h"
#include "expressions/variablestore.h"
#include "facts/programfacts.h"
#include "interpreter/calcrun.h"
#include "interpreter/motionstream.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>

namespace {

double cpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The three load averages.
std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// Runs the command and prints its times.
template <typename Command> void timed(const char *name, Command command) {
    QElapsedTimer wall;
    const double thread = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double process = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    wall.start();
    command();
    std::printf("%s: %lld ms, main thread CPU %.2f s, process CPU %.2f s, load %s\n", name,
                static_cast<long long>(wall.elapsed()),
                cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thread,
                cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process, loadAverage().c_str());
    std::fflush(stdout);
}

// The program run as the interpreter benchmark runs it.
void runInProcess(const char *path) {
    morvilo::TEditorCore memo1;
    if (!memo1.OpenFileWithName(path))
        return;
    morvilo::TPlotList lines;
    morvilo::DialectOptions options;
    auto variables = std::make_unique<morvilo::VariableStore>();
    morvilo::RunFlags flags;
    morvilo::PlotListWriter plotList(lines);
    morvilo::CalcEnvironment env;
    env.memo1 = &memo1;
    env.motion = &plotList;
    env.options = &options;
    env.variables = variables.get();
    env.flags = &flags;
    timed("in process", [&] { morvilo::CalcBtnClick(env); });
    timed("in process again", [&] { morvilo::CalcBtnClick(env); });
}

} // namespace

int main(int argc, char **argv) {
    const bool inProcess = argc > 1 && std::string(argv[1]) == "--in-process";
    if (inProcess)
        --argc, ++argv;
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: morvilo_window_run [--in-process] PROGRAM [SETTINGS-FOLDER]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir temporary;
    const QString home = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temporary.path();
    qputenv("MORVILO_HOME", home.toLocal8Bit());
    QApplication app(argc, argv);
    morvilo::TMainform form(home);
    form.errorBox = [](const QString &message) {
        std::fprintf(stderr, "error: %s\n", qPrintable(message));
    };
    form.infoBox = [](const QString &) {};
    form.saveQuestion = [] { return QMessageBox::No; };
    form.resize(1600, 1000);
    form.show();
    form.PageControl1->setCurrentIndex(1);
    QElapsedTimer open;
    open.start();
    if (!form.OpenFileWithName(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    form.Timer2.stop(); // the run the opening asked for starts here, timed
    std::printf("open %lld ms\n", static_cast<long long>(open.elapsed()));
    // The facts of the run just made, as the window's event loop receives them.
    const auto waitForFacts = [&] {
        QEventLoop loop;
        QObject::connect(&form.backplot, &morvilo::TBackplotDocument::factsReady, &loop,
                         &QEventLoop::quit);
        if (form.backplot.FactsPending())
            loop.exec();
        QCoreApplication::processEvents();
    };
    // Returns when the run, the completion of its plot and the fit are done.
    timed("run", [&] { form.CalcBtnClick(); });
    // The fit's paint of the freshly opened program goes on on the drawing thread.
    timed("picture", [&] { form.PaintBox1->Settle(); });
    timed("facts", waitForFacts);
    // The run again, into the list's memory, without the fit.
    timed("again", [&] { form.NeuberechnenClick(); });
    timed("facts", waitForFacts);
    // Of that, the program facts (computed beside the completion of the picture, on the main
    // thread when no second thread is free).
    timed("facts alone", [&] {
        const morvilo::MachineRates rates{};
        morvilo::ComputeFacts(form.lines, form.backplot.runLog, rates);
    });
    std::printf("%u points, plot list %.1f MiB\n", form.lines.Count(),
                double(form.lines.MemSize()) / (1 << 20));
    if (inProcess)
        runInProcess(argv[1]);
    return 0;
}
