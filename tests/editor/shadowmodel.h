#pragma once
// A plain model of the editor's text and undo list, for comparisons with the real editor in
// randomised tests and in the editor's fuzz target.

#include <cstdint>
#include <string>
#include <vector>

namespace morvilo::test {

// The text as a std::string with its own list of records and the same merge rules, written
// directly on the string: any byte lost or misplaced by the store, a record's buffers or a
// replayed step shows as a difference after the step that caused it.
class ShadowModel {
public:
    enum Kind { Insertion, Overwrite, Deletion };
    struct Rec {
        Kind kind;
        int64_t pos;
        std::string bytes, old;
        int group = 0;
    };

    std::string text;
    std::vector<Rec> recs;
    size_t undone = 0;
    int group = 0;
    bool inGroup = false;

    bool canUndo() const { return undone > 0; }
    bool canRedo() const { return undone < recs.size(); }

    void typeChar(int64_t at, char c, bool overwriteMode) {
        recs.resize(undone);
        const bool over = overwriteMode && at < int64_t(text.size());
        const Kind kind = over ? Overwrite : Insertion;
        Rec *top = recs.empty() ? nullptr : &recs.back();
        if (top && top->kind == kind && top->pos + int64_t(top->bytes.size()) == at) {
            top->bytes += c;
            if (over)
                top->old += text[size_t(at)];
        } else {
            push({kind, at, std::string(1, c), over ? std::string(1, text[size_t(at)]) : ""});
        }
        if (over)
            text[size_t(at)] = c;
        else
            text.insert(size_t(at), 1, c);
    }
    void deleteChar(int64_t at) {
        recs.resize(undone);
        const char b = text[size_t(at)];
        Rec *top = recs.empty() ? nullptr : &recs.back();
        if (top && top->kind == Deletion && top->pos == at) {
            top->bytes += b;
        } else if (top && top->kind == Deletion && top->pos == at + 1) {
            top->bytes.insert(0, 1, b);
            top->pos -= 1;
        } else {
            push({Deletion, at, std::string(1, b), ""});
        }
        text.erase(size_t(at), 1);
    }
    void deleteRange(int64_t from, int64_t to) {
        if (to <= from)
            return;
        push({Deletion, from, text.substr(size_t(from), size_t(to - from)), ""});
        text.erase(size_t(from), size_t(to - from));
    }
    void insertText(int64_t at, const std::string &s) {
        push({Insertion, at, s, ""});
        text.insert(size_t(at), s);
    }
    void undo(bool oneStep) {
        if (!canUndo())
            return;
        const int g = recs[undone - 1].group;
        do {
            const Rec &r = recs[--undone];
            if (r.kind == Insertion)
                text.erase(size_t(r.pos), r.bytes.size());
            else if (r.kind == Overwrite)
                text.replace(size_t(r.pos), r.old.size(), r.old);
            else
                text.insert(size_t(r.pos), r.bytes);
        } while (!oneStep && undone > 0 && recs[undone - 1].group == g);
    }
    void redo(bool oneStep) {
        if (!canRedo())
            return;
        const int g = recs[undone].group;
        do {
            const Rec &r = recs[undone++];
            if (r.kind == Insertion)
                text.insert(size_t(r.pos), r.bytes);
            else if (r.kind == Overwrite)
                text.replace(size_t(r.pos), r.bytes.size(), r.bytes);
            else
                text.erase(size_t(r.pos), r.bytes.size());
        } while (!oneStep && undone < recs.size() && recs[undone].group == g);
    }

private:
    void push(Rec r) {
        recs.resize(undone);
        if (!inGroup)
            ++group;
        r.group = group;
        recs.push_back(std::move(r));
        undone = recs.size();
    }
};

} // namespace morvilo::test
