#include "frontend/headlessrun.h"

#include "editor/editorcore.h"
#include "expressions/variablestore.h"
#include "interpreter/calcrun.h"
#include "interpreter/subprogrameditors.h"
#include "linetext/linetext.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace morvilo {

namespace {

// The bracket characters are process-wide; the run puts them back when it is done.
class BracketScope {
public:
    explicit BracketScope(bool squareComments) : old(Brackets().commleft == '[') {
        SetSquareBracketComments(squareComments);
    }
    ~BracketScope() { SetSquareBracketComments(old); }
    BracketScope(const BracketScope &) = delete;
    BracketScope &operator=(const BracketScope &) = delete;

private:
    bool old;
};

// The event pump of a run without a window: it ends the run after the current line once a
// bound is passed or the caller asks to stop.
class BoundedEvents : public RunEvents {
public:
    BoundedEvents(const HeadlessRun &run, uint64_t maxBlocks, RunFlags &flags)
        : run(run), maxBlocks(maxBlocks), flags(flags) {}

    void ProcessEvents() override {
        if ((run.stop && run.stop()) || PastPoints() || PastBlocks())
            flags.breakprogram = true;
    }
    void Sleep(int32_t) override {}

    bool PastPoints() const {
        return run.points && run.maxPoints > 0 && run.points->Count() > run.maxPoints;
    }
    bool PastBlocks() const { return maxBlocks > 0 && flags.blocks > maxBlocks; }

private:
    const HeadlessRun &run;
    uint64_t maxBlocks;
    RunFlags &flags;
};

} // namespace

UserMessage OpenProgramFile(TEditorCore &core, const std::string &path,
                            const std::function<std::string(const std::string &)> &translate) {
    if (translate)
        core.messages.OnNeedTranslation = translate;
    if (core.OpenFileWithName(path))
        return {};
    return {"%1 kann nicht geöffnet werden: %2", {path, core.openFailure}};
}

HeadlessOutcome RunHeadless(const HeadlessRun &run) {
    HeadlessOutcome outcome;
    TEditorCore memo1;
    outcome.notOpened = OpenProgramFile(memo1, run.path, run.translate);
    if (!outcome.notOpened.empty())
        return outcome;
    outcome.opened = true;
    outcome.maxBlocks = run.maxBlocks > 0 && run.blocksAtLeastBytes
                            ? std::max(run.maxBlocks, uint64_t(memo1.size()))
                            : run.maxBlocks;
    std::optional<BracketScope> brackets;
    if (run.setBrackets)
        brackets.emplace(run.dialect.otherbreakets);
    auto variables = std::make_unique<VariableStore>();
    RunFlags flags;
    BoundedEvents events(run, outcome.maxBlocks, flags);
    HeadlessSubprogramEditors subeditors;
    CalcEnvironment env;
    env.memo1 = &memo1;
    env.motion = run.motion;
    env.options = &run.dialect;
    env.variables = variables.get();
    env.flags = &flags;
    env.events = &events;
    env.subeditors = run.subprograms ? &subeditors : nullptr;
    env.message = run.message;
    env.notice = run.notice;
    CalcBtnClick(env);
    outcome.stopped = run.stop && run.stop();
    outcome.pastPoints = events.PastPoints();
    outcome.pastBlocks = events.PastBlocks();
    outcome.flagsLeftSet = flags.inrender;
    return outcome;
}

} // namespace morvilo
