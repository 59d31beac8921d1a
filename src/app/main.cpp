// morvilo: the workbench's program entry.
//   morvilo                          the main window
//   morvilo PICTURE                  the main window showing PICTURE's relief program
//   morvilo PICTURE OUTPUT [LEVELS WIDTH DISTANCE INVERT]
//                                    generates the relief program of PICTURE, saves it as
//                                    OUTPUT and ends, without a window or a display.

#include "app/mainform.h"
#include "frontend/commandline.h"
#include "frontend/panelvalues.h"

#include <QApplication>
#include <QCoreApplication>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace morvilo;

namespace {

int generateAndSave(const StartupCommand &command, const ReliefParameters &p) {
    ReliefResult result = GenerateReliefFile(p, command.picture, command.output);
    if (result.status == ReliefStatus::Ok)
        return 0;
    std::string text = result.message;
    if (!result.detail.empty() && result.detail != result.message)
        text += " (" + result.detail + ")";
    std::fprintf(stderr, "%s\n", text.c_str());
    return 1;
}

// Whether a window can be shown: a platform was chosen, or an X or Wayland display is there.
bool displayAvailable() {
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char *value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

// Qt takes the user's locale for the C library when it starts; numbers never follow it. Our
// own code formats and reads numbers without the locale, this keeps libraries from doing so.
void useDecimalPoint() {
    std::setlocale(LC_NUMERIC, "C");
}

int runBatch(int argc, char **argv, const StartupCommand &command, const ReliefParameters &p) {
    QCoreApplication app(argc, argv); // picture format plugins are found through it
    QCoreApplication::setApplicationName("Morvilo");
    useDecimalPoint();
    return generateAndSave(command, p);
}

} // namespace

int main(int argc, char **argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    ReliefParameters parameters = StartupReliefParameters();
    const StartupCommand command = ApplyCommandLine(arguments, parameters);
    if (!command.output.empty())
        return runBatch(argc, argv, command, parameters);
    if (!displayAvailable()) {
        std::fprintf(stderr, "morvilo: no display to show the window on. Generate a relief program "
                             "with: morvilo PICTURE OUTPUT [LEVELS WIDTH DISTANCE INVERT]\n");
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("Morvilo");
    useDecimalPoint();
    TMainform mainform(QCoreApplication::applicationDirPath());
    mainform.setStartupCommand(command, parameters);
    mainform.show();
    return app.exec();
}
