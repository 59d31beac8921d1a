// morvilo: the workbench's program entry.
//   morvilo PICTURE OUTPUT [LEVELS WIDTH DISTANCE INVERT]
// generates the relief program of PICTURE with the start-up parameters (changed by the
// optional arguments), saves it as OUTPUT and ends, without a window or a display.

#include "app/commandline.h"
#include "app/panelvalues.h"

#include <QCoreApplication>

#include <cstdio>
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

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv); // picture format plugins are found through it
    QCoreApplication::setApplicationName("Morvilo");

    std::vector<std::string> arguments(argv + 1, argv + argc);
    ReliefParameters parameters = StartupReliefParameters();
    const StartupCommand command = ApplyCommandLine(arguments, parameters);
    if (!command.output.empty())
        return generateAndSave(command, parameters);

    std::fprintf(stderr, "morvilo: this build has no main window yet. Generate a relief program "
                         "with: morvilo PICTURE OUTPUT [LEVELS WIDTH DISTANCE INVERT]\n");
    return 2;
}
