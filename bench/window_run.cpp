// The window's run of a program, as the user starts it: the main window opens the program (on
// the offscreen platform unless QT_QPA_PLATFORM says otherwise), shows the backplot page and runs
// the interpreter with its immediate drawing, event pumps, the repaint at the end and the program
// facts. Prints the time of the run and the plot list's size; /usr/bin/time -v gives the peak.
//
//   morvilo_window_run PROGRAM [SETTINGS-FOLDER]
//
// Prints the time of the first run (with the fit of the freshly opened program) and of a second
// one (the refresh command).
//
// The settings folder (default: a fresh temporary one) stands for the user's MORVILO_HOME.

#include "app/mainform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: morvilo_window_run PROGRAM [SETTINGS-FOLDER]\n");
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
    const qint64 opened = open.elapsed();
    QElapsedTimer run;
    run.start();
    form.CalcBtnClick(); // returns when the run, its repaint and the facts are done
    const qint64 ran = run.elapsed();
    run.restart();
    form.NeuberechnenClick(); // the run again, into the list's memory, without the fit
    const qint64 again = run.elapsed();
    std::printf("open %lld ms, run %lld ms, again %lld ms, %u points, plot list %.1f MiB\n",
                static_cast<long long>(opened), static_cast<long long>(ran),
                static_cast<long long>(again), form.lines.Count(),
                double(form.lines.MemSize()) / (1 << 20));
    return 0;
}
