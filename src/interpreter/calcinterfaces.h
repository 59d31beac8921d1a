#pragma once
// What one interpreter run needs of its owner. The main window implements these with its editor,
// paint box and message loop; tests, benchmarks and morvilo-cli implement them without a window.

#include "interpreter/dialectoptions.h"
#include "interpreter/motionstream.h"
#include "vantrel/usermessage.h"

#include <cstdint>
#include <functional>
#include <string>

namespace morvilo {

class TEditorCore;
class VariableStore;

// The owner's fields that a run reads and writes; the run-control commands set most of them
// between two lines of a run.
struct RunFlags {
    bool inrender = false;     // a run is in progress
    bool breakprogram = false; // end the run after the current line
    bool pause = false;        // wait at the end of the current line
    bool oneline = false;      // let a paused run do one more line
    bool donotdraw = false;    // new points are stored pen-up and not drawn
    int32_t animatesleep = 0;  // > 0: animated run
    int64_t plotvon = 0;       // text offset from which drawing starts; 0: from the start
    int64_t plotbis = 0;       // text offset of the line after which the run pauses; 0: none
    int32_t verzoeg = 50;      // delay after each animated line, milliseconds
    // Blocks the run has read so far, repeats counted; the owner may bound a run by it (its
    // event pump sets breakprogram).
    uint64_t blocks = 0;
};

// The message loop as the run sees it.
class RunEvents {
public:
    virtual ~RunEvents() = default;
    // Let the interface process its pending events (commands may change RunFlags meanwhile).
    virtual void ProcessEvents() = 0;
    // Wait for events while paused; the default just processes them.
    virtual void WaitForEvents() { ProcessEvents(); }
    // The delay of an animated line.
    virtual void Sleep(int32_t milliseconds) = 0;
};

// Creates and releases the editors that subprogram files are loaded into.
class SubprogramEditors {
public:
    virtual ~SubprogramEditors() = default;
    virtual TEditorCore *Create(bool visible) = 0;
    virtual void Release(TEditorCore *editor) = 0;
};

// Macro output (#3000, #3006): the caption "Makro Ausgabe " + value text, and the line's text.
using MacroMessage = std::function<void(const std::string &caption, const std::string &text)>;

// An assignment of an animated run as the variable list shows it: "n: value".
using VariableListLine = std::function<void(const std::string &line)>;

// Why a run ended early (a call nesting too deep, a jump or call target that does not exist):
// German text with its values apart, for the window's status bar and the log of headless runs.
using RunNotice = std::function<void(const UserMessage &message)>;

// Everything a run works with. memo1, motion, options, variables and flags are required;
// events, subeditors, message, variableline and notice may be null (headless use; without
// subeditors no subprogram file is loaded). The run tells what the machine does only through
// motion: the plot list, the run log and the paint box are its consumers (MotionFanOut).
struct CalcEnvironment {
    TEditorCore *memo1 = nullptr;
    MotionStream *motion = nullptr;
    const DialectOptions *options = nullptr;
    VariableStore *variables = nullptr;
    RunFlags *flags = nullptr;
    RunEvents *events = nullptr;
    SubprogramEditors *subeditors = nullptr;
    MacroMessage message;
    VariableListLine variableline; // set while the variable list is shown
    RunNotice notice;
};

} // namespace morvilo
