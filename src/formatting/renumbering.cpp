#include "formatting/renumbering.h"

#include "formatting/blocknumbers.h"
#include "formatting/linewalk.h"
#include "linetext/linetext.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace morvilo {

namespace {

// The numbers that the jumps of the text name, and the lines that hold jumps.
struct JumpTargets {
    std::unordered_set<int64_t> numbers;
    std::vector<int64_t> lines; // ascending
};

JumpTargets collectJumpTargets(TEditorCore &core) {
    JumpTargets targets;
    LineWalk walk(core);
    while (walk.Next()) {
        const std::vector<int64_t> jumps = FindAllBlocks("GOTO", MatchingView(walk.Text()));
        if (jumps.empty())
            continue;
        targets.numbers.insert(jumps.begin(), jumps.end());
        targets.lines.push_back(walk.Index());
    }
    return targets;
}

class Renumbering {
public:
    Renumbering(TEditorCore &core, const TNummerBlocksSettings &settings)
        : core(core), settings(settings) {
        this->settings.startnumed = std::clamp<int64_t>(settings.startnumed, 1, 1000000);
        this->settings.inced = std::clamp<int64_t>(settings.inced, 1, 1000000);
    }

    void Run() {
        targets = collectJumpTargets(core);
        removeOldNumbers();
        rewriteJumps();
        writeNewNumbers();
    }

private:
    bool isTarget(int64_t nr) const { return targets.numbers.count(nr) > 0; }

    // Whether a line receives a number, before its old numbers are looked at one by one.
    bool decideDonr(const std::string &view, const std::vector<int64_t> &numbers) const {
        switch (settings.choice) {
        case NumberingChoice::AllBlocks:
            return true;
        case NumberingChoice::NotEmptyOrComment:
            return !view.empty();
        case NumberingChoice::JumpTargetsOnly:
            return std::any_of(numbers.begin(), numbers.end(),
                               [&](int64_t nr) { return isTarget(nr); });
        }
        return true;
    }

    // Every old number goes from the lines; each line gets its record(s) with the counter. With
    // choice 2 a line that holds nothing but spaces and comments once its numbers are gone keeps
    // a number only when one of them is a jump target.
    void removeOldNumbers() {
        int64_t counter = settings.startnumed;
        LineWalk walk(core);
        while (walk.Next()) {
            std::string text = walk.Text();
            const std::string view = MatchingView(text);
            const std::vector<int64_t> numbers = FindAllBlocks("N", view);
            const bool donr = decideDonr(view, numbers);
            bool numbered = donr;
            if (numbers.empty()) {
                table.push_back({-1, walk.Index(), counter, donr});
            } else {
                RemoveBlockNummers(text, {numbers.begin(), numbers.end()});
                const bool onlyNumbers = settings.choice == NumberingChoice::NotEmptyOrComment &&
                                         nospacesandcomments(text).empty();
                numbered = false;
                for (const int64_t nr : numbers) {
                    const bool recordDonr = onlyNumbers ? isTarget(nr) : donr;
                    firstOfNumber.try_emplace(nr, table.size());
                    table.push_back({nr, walk.Index(), counter, recordDonr});
                    numbered = numbered || recordDonr;
                }
            }
            if (text != walk.Text())
                core.ReplaceLine(text);
            if (numbered)
                counter += settings.inced;
        }
    }

    // Each jump goes to the new number of the first line that carried its old number.
    void rewriteJumps() {
        auto next = targets.lines.begin();
        LineWalk walk(core);
        while (next != targets.lines.end() && walk.Next()) {
            if (walk.Index() != *next)
                continue;
            ++next;
            std::string text = walk.Text();
            const std::vector<int64_t> found = FindAllBlocks("GOTO", MatchingView(text));
            const std::unordered_set<int64_t> jumps(found.begin(), found.end());
            ReplaceGOTOs(text, [&](int64_t nr) -> std::optional<int64_t> {
                const auto record = firstOfNumber.find(nr);
                if (record == firstOfNumber.end() || jumps.count(nr) == 0)
                    return std::nullopt;
                return table[record->second].newnr;
            });
            if (text != walk.Text())
                core.ReplaceLine(text);
        }
    }

    void writeNewNumbers() {
        const std::string separator = settings.addspacecheck ? " " : "";
        size_t record = 0; // the table is in line order: one cursor finds each line's records
        LineWalk walk(core);
        while (record < table.size() && walk.Next()) {
            bool donr = false;
            int64_t newnr = 0;
            for (; record < table.size() && table[record].zeile == walk.Index(); ++record) {
                donr = donr || table[record].donr;
                newnr = table[record].newnr;
            }
            if (!donr)
                continue;
            const std::string &text = walk.Text();
            const std::string view = MatchingView(text);
            const std::string number = "N" + std::to_string(newnr);
            if (view.empty() || (view[0] >= 'A' && view[0] <= 'Z') || view[0] == '#')
                core.ReplaceLine(number + separator + text);
            else
                core.ReplaceLine(text + separator + number);
        }
    }

    TEditorCore &core;
    TNummerBlocksSettings settings;
    JumpTargets targets;
    std::vector<TNum> table;                           // in text order
    std::unordered_map<int64_t, size_t> firstOfNumber; // old number -> its first record
};

} // namespace

void BlckeneuNummerieren(TEditorCore &core, const TNummerBlocksSettings &settings) {
    InOneUpdate(core, [&] { Renumbering(core, settings).Run(); });
}

void Nummierungentfernen(TEditorCore &core) {
    InOneUpdate(core, [&] {
        const JumpTargets targets = collectJumpTargets(core);
        LineWalk walk(core);
        while (walk.Next()) {
            std::string text = walk.Text();
            std::unordered_set<int64_t> numbers;
            for (const int64_t nr : FindAllBlocks("N", MatchingView(text)))
                if (targets.numbers.count(nr) == 0)
                    numbers.insert(nr);
            if (!numbers.empty())
                RemoveBlockNummers(text, numbers);
            if (text != walk.Text())
                core.ReplaceLine(text);
        }
    });
}

} // namespace morvilo
