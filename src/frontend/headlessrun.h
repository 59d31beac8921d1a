#pragma once
// A program file run through the interpreter without a window, as morvilo-cli's plot, stats,
// dxf and simulate, the relief's machining preview and the interpreter fuzzer run it: the file
// opened into an editor nobody sees, the dialect, the run's consumers (one motion stream, a
// fan-out for several), bounds on points and blocks, a stop asked at every event pump, the
// subprogram files and the macro output.

#include "interpreter/calcinterfaces.h"
#include "interpreter/dialectoptions.h"
#include "interpreter/motionstream.h"
#include "vantrel/usermessage.h"

#include <cstdint>
#include <functional>
#include <string>

namespace morvilo {

struct HeadlessRun {
    std::string path; // the G-code file
    DialectOptions dialect;
    MotionStream *motion = nullptr; // the run's consumers
    // The run ends after the current line once `points` holds more than maxPoints records, once
    // it has read more than maxBlocks blocks (repeats counted), or once stop says so. 0: no
    // such bound; a block bound below the program's size in bytes is raised to it when
    // blocksAtLeastBytes (a program without jumps, loops or calls reads at most a block a byte).
    const TPlotList *points = nullptr;
    uint64_t maxPoints = 0;
    uint64_t maxBlocks = 0;
    bool blocksAtLeastBytes = false;
    std::function<bool()> stop;
    // The dialect's square-bracket comments, set for the run and put back after it. They are
    // process-wide: only where no other run goes on meanwhile.
    bool setBrackets = false;
    // Subprogram files load into editors nobody sees; without, a call of one finds nothing.
    bool subprograms = false;
    // Texts of the editor (why the file could not be opened) in the caller's language.
    std::function<std::string(const std::string &)> translate;
    MacroMessage message; // macro output (#3000, #3006)
    RunNotice notice;     // why the run ends early, where it says so
};

struct HeadlessOutcome {
    bool opened = false;
    UserMessage notOpened; // "%1 kann nicht geöffnet werden: %2" when the file did not open
    bool stopped = false;  // stop said so at the end of the run
    bool pastPoints = false, pastBlocks = false;
    uint64_t maxBlocks = 0;    // the block bound in force (0: none)
    bool flagsLeftSet = false; // the run still counts itself as running: a fault
};

HeadlessOutcome RunHeadless(const HeadlessRun &run);

class TEditorCore;
// Opens the G-code file path into core, the editor's texts through translate when given. Empty
// when it opened, else "%1 kann nicht geöffnet werden: %2" (the path, the reason).
UserMessage OpenProgramFile(TEditorCore &core, const std::string &path,
                            const std::function<std::string(const std::string &)> &translate);

} // namespace morvilo
