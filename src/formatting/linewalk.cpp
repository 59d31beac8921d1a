#include "formatting/linewalk.h"

#include <cstring>
#include <vector>

namespace morvilo {

namespace {

bool holdsZeroBytes(TEditorCore &core) {
    constexpr int64_t chunk = 1 << 20;
    std::vector<uint8_t> bytes(size_t(std::min<int64_t>(chunk, core.size())));
    for (int64_t pos = 0; pos < core.size();) {
        const int64_t got = core.mem().CopyOut(pos, chunk, bytes.data());
        if (got <= 0)
            break;
        if (std::memchr(bytes.data(), 0, size_t(got)) != nullptr)
            return true;
        pos += got;
    }
    return false;
}

} // namespace

LineWalk::LineWalk(TEditorCore &core) : core(core), exact(holdsZeroBytes(core)) {
    core.FirstLine();
}

bool LineWalk::Next() {
    if (!core.NextLine())
        return false;
    if (exact) {
        bytes.resize(size_t(core.lpos - core.olpos));
        bytes.resize(size_t(core.mem().CopyOut(core.olpos, int64_t(bytes.size()),
                                               reinterpret_cast<uint8_t *>(bytes.data()))));
        // A line ends at LF, CR LF or a CR not followed by LF: one break at most.
        if (!bytes.empty() && bytes.back() == '\n')
            bytes.pop_back();
        if (!bytes.empty() && bytes.back() == '\r')
            bytes.pop_back();
    }
    return true;
}

} // namespace morvilo
