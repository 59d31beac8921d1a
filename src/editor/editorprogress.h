#pragma once
// How the editor core's long operations (searching, jumping to a line, saving) tell the window
// how far they got, and learn that the user cancelled them.
//
// The hook is called with the bytes done of a total now and then, at most once per
// kProgressStep bytes, so that it costs nothing next to the work; it returns false to stop
// the operation, which then leaves the document as it was. Without a hook every operation
// runs to its end.

#include <cstdint>
#include <functional>
#include <limits>

namespace morvilo {

using TProgressHook = std::function<bool(int64_t done, int64_t total)>;

// The bytes between two calls of the hook for work that streams at memory speed.
constexpr int64_t kProgressStep = int64_t(4) << 20;

// One operation's reports: Report(done) calls the hook when done has crossed the next
// multiple of step since the last call, so that operations reporting absolute offsets (a
// search from the caret, the searches of "Alles ersetzen") report at the same places wherever
// they start. Slower work (reading line by line) takes a smaller step.
class TProgressTicker {
public:
    TProgressTicker(const TProgressHook &hook, int64_t total, int64_t step = kProgressStep)
        : hook(hook), total(total), step(step), next(hook ? step : kNever) {}

    // False when the hook asked to stop (it is not called again then).
    bool Report(int64_t done) {
        if (done < next)
            return true;
        return call(done);
    }
    bool Cancelled() const { return cancelled; }

private:
    static constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

    bool call(int64_t done) {
        if (cancelled)
            return false;
        next = (done / step + 1) * step;
        if (!hook(done, total)) {
            cancelled = true;
            next = std::numeric_limits<int64_t>::min();
            return false;
        }
        return true;
    }

    TProgressHook hook; // a copy: replacing the core's hook meanwhile leaves this one
    int64_t total;
    int64_t step;
    int64_t next;
    bool cancelled = false;
};

} // namespace morvilo
