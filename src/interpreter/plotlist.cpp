#include "interpreter/plotlist.h"

#include <algorithm>
#include <cstring>

namespace morvilo {

namespace {

// Index of the last record whose key is at most k (the first when none is).
template <typename Record>
uint32_t lastAtMost(const TDynaArray<Record> &records, uint32_t Record::*key, uint32_t k) {
    uint32_t low = 0, high = records.Count(); // the record is in [low, high)
    while (high - low > 1) {
        const uint32_t mid = low + (high - low) / 2;
        if (records[mid].*key <= k)
            low = mid;
        else
            high = mid;
    }
    return low;
}

// Index of the run that holds point k: the last run whose first point is at most k.
template <typename Run> uint32_t runOf(const TDynaArray<Run> &runs, uint32_t k) {
    return lastAtMost(runs, &Run::first, k);
}

// Moves run/end (the run holding point k and the first point after it) to point k: the same
// run, the next or the previous one, or one found by bisection. True when the run changed.
template <typename Run>
bool follow(const TDynaArray<Run> &runs, uint32_t points, uint32_t k, uint32_t &run, uint32_t &end,
            bool &valid) {
    if (valid && k >= runs[run].first && k < end)
        return false;
    if (valid && k == end && run + 1 < runs.Count())
        ++run;
    else if (valid && run > 0 && k < runs[run].first && k >= runs[run - 1].first)
        --run;
    else
        run = runOf(runs, k);
    end = run + 1 < runs.Count() ? runs[run + 1].first : points;
    valid = true;
    return true;
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool samePen(const TPlotPenRun &run, const t9dline &p) {
    return run.col == p.col && run.typ == p.typ && run.style == p.style && run.kind == p.move.kind;
}

bool sameAxes(const TPlotAxesRun &run, const t9dline &p) {
    return sameBits(run.a, p.a) && sameBits(run.b, p.b) && sameBits(run.c, p.c) &&
           sameBits(run.u, p.u) && sameBits(run.v, p.v) && sameBits(run.w, p.w);
}

void setPen(TPlotPenRun &run, const t9dline &p) {
    run.col = p.col, run.typ = p.typ, run.style = p.style, run.kind = p.move.kind;
}

void setAxes(TPlotAxesRun &run, const t9dline &p) {
    run.a = p.a, run.b = p.b, run.c = p.c;
    run.u = p.u, run.v = p.v, run.w = p.w;
}

bool sameWords(const TPlotWords &a, const TPlotMove &b) {
    return a.feedMode == b.feedMode && a.units == b.units && a.feedGiven == b.feedGiven &&
           a.tool == b.tool && sameBits(a.feed, b.feed) && sameBits(a.speed, b.speed);
}

void copyWords(const TPlotWords &words, TPlotMove &move) {
    move.feedMode = words.feedMode, move.units = words.units, move.feedGiven = words.feedGiven;
    move.tool = words.tool, move.feed = words.feed, move.speed = words.speed;
}

// A program alternates between a few feeds (plunge and cut) far more often than it has new
// ones: the latest entries of the table are looked at before one is added.
constexpr uint32_t kRecentWords = 16;

void copyPen(const TPlotPenRun &run, t9dline &p) {
    p.col = run.col, p.typ = run.typ, p.style = run.style, p.move.kind = run.kind;
}

void copyAxes(const TPlotAxesRun &run, t9dline &p) {
    p.a = run.a, p.b = run.b, p.c = run.c;
    p.u = run.u, p.v = run.v, p.w = run.w;
}

// Point k continues the last run when same(run, p); else a run starting at k is added. False
// when memory ran out.
template <typename Run, typename Same, typename Set>
bool extend(TDynaArray<Run> &runs, uint32_t k, const t9dline &p, Same same, Set set) {
    const uint32_t count = runs.Count();
    if (count > 0 && same(runs[count - 1], p))
        return true;
    Run *run = runs.Add();
    if (!run)
        return false;
    run->first = k;
    set(*run, p);
    return true;
}

} // namespace

int64_t TPlotList::zeilebisOf(uint32_t run) const {
    if (run + 1 == sources.Count())
        return lastZeilebis;
    if (lineEnds.Count() > 0) {
        const TPlotLineEnd &end = lineEnds[lastAtMost(lineEnds, &TPlotLineEnd::run, run)];
        if (end.run == run)
            return end.zeilebis;
    }
    return sources[run + 1].zeilevon - 1;
}

void TPlotList::linearAxes(uint32_t k, double (&p)[3]) const {
    uint32_t stored = k;
    if (arcPoints.Count() > 0 && arcPoints[0].first <= k) {
        const TPlotArcPointsRun &run =
            arcPoints[lastAtMost(arcPoints, &TPlotArcPointsRun::first, k)];
        if (k - run.first < run.count) {
            run.arc.Point(double(k - run.first), p);
            return;
        }
        stored = run.before + (k - run.first - run.count);
    }
    const TPlotPoint &point = points[stored];
    p[0] = point.x, p[1] = point.y, p[2] = point.z;
}

t9dline TPlotList::operator[](uint32_t k) const {
    t9dline p{};
    double xyz[3];
    linearAxes(k, xyz);
    p.x = xyz[0], p.y = xyz[1], p.z = xyz[2];
    const uint32_t source = runOf(sources, k);
    p.zeilevon = sources[source].zeilevon;
    p.zeilebis = zeilebisOf(source);
    copyPen(pens[runOf(pens, k)], p);
    copyAxes(axes[runOf(axes, k)], p);
    copyWords(words[wordRuns[runOf(wordRuns, k)].words], p.move);
    return p;
}

// The source, pen and axes runs of a point (or an arc's points) starting at list index k; false
// when memory ran out (the runs are as before then).
bool TPlotList::addRuns(uint32_t k, const t9dline &p) {
    const uint32_t sourceCount = sources.Count(), endCount = lineEnds.Count();
    const int64_t lastEnd = lastZeilebis;
    const bool sameSource = sourceCount > 0 && sources[sourceCount - 1].zeilevon == p.zeilevon &&
                            lastZeilebis == p.zeilebis;
    bool stored = true;
    if (!sameSource) {
        // The last run's end goes apart unless the new line begins right after it.
        const bool follows = lastZeilebis != INT64_MAX && lastZeilebis + 1 == p.zeilevon;
        if (sourceCount > 0 && !follows) {
            TPlotLineEnd *end = lineEnds.Add();
            if ((stored = end != nullptr)) {
                end->run = sourceCount - 1;
                end->zeilebis = lastZeilebis;
            }
        }
        TPlotSourceRun *source = stored ? sources.Add() : nullptr;
        if ((stored = source != nullptr)) {
            source->zeilevon = p.zeilevon;
            source->first = k;
            lastZeilebis = p.zeilebis;
        }
    }
    const uint32_t penCount = pens.Count(), axesCount = axes.Count();
    const uint32_t wordsCount = words.Count(), wordRunCount = wordRuns.Count();
    stored = stored && extend(pens, k, p, samePen, setPen) &&
             extend(axes, k, p, sameAxes, setAxes) && addWords(k, p.move);
    if (!stored) { // take back what this point added
        while (lineEnds.Count() > endCount)
            lineEnds.Delete(lineEnds.Count() - 1);
        while (wordRuns.Count() > wordRunCount)
            wordRuns.Delete(wordRuns.Count() - 1);
        while (words.Count() > wordsCount)
            words.Delete(words.Count() - 1);
        while (axes.Count() > axesCount)
            axes.Delete(axes.Count() - 1);
        while (sources.Count() > sourceCount)
            sources.Delete(sources.Count() - 1);
        while (pens.Count() > penCount)
            pens.Delete(pens.Count() - 1);
        lastZeilebis = lastEnd;
    }
    return stored;
}

bool TPlotList::Add(const t9dline &p) {
    if (total == UINT32_MAX) {
        ReportAllocationFailure(uint64_t(sizeof(TPlotPoint)) * (uint64_t(total) + 1));
        return false;
    }
    TPlotPoint *point = points.Add();
    if (!point)
        return false;
    point->x = p.x, point->y = p.y, point->z = p.z;
    if (!addRuns(total, p)) {
        points.Delete(points.Count() - 1);
        return false;
    }
    ++total;
    return true;
}

bool TPlotList::AddArcPoints(const TPlotArcPoints &arc, uint32_t count, const t9dline &p) {
    if (uint64_t(total) + count > UINT32_MAX) {
        ReportAllocationFailure(uint64_t(sizeof(TPlotPoint)) * (uint64_t(total) + count));
        return false;
    }
    TPlotArcPointsRun *run = arcPoints.Add();
    if (!run)
        return false;
    run->arc = arc;
    run->first = total;
    run->count = count;
    run->before = points.Count();
    if (!addRuns(total, p)) {
        arcPoints.Delete(arcPoints.Count() - 1);
        return false;
    }
    total += count;
    return true;
}

void TPlotList::ShortenLastArc(uint32_t count) {
    if (arcPoints.Count() == 0)
        return;
    TPlotArcPointsRun &run = arcPoints[arcPoints.Count() - 1];
    if (run.first + run.count == total && count >= 1 && count <= run.count) {
        run.count = count;
        total = run.first + count;
    }
}

// In place from the back: the point stored for list index k sits at k or before it, so it is
// read before anything is written over it.
bool TPlotList::expandArcs() {
    if (arcPoints.Count() == 0)
        return true;
    if (!points.Reserve(total))
        return false;
    while (points.Count() < total)
        points.Add();
    for (uint32_t k = total; k-- > 0;) {
        double p[3];
        linearAxes(k, p);
        points[k] = TPlotPoint{p[0], p[1], p[2]};
    }
    arcPoints.Truncate();
    return true;
}

// Point k continues the last words run, or starts one pointing at its words in the table.
bool TPlotList::addWords(uint32_t k, const TPlotMove &move) {
    const uint32_t runs = wordRuns.Count();
    if (runs > 0 && sameWords(words[wordRuns[runs - 1].words], move))
        return true;
    uint32_t index = words.Count();
    for (uint32_t back = 0; back < kRecentWords && back < words.Count(); ++back)
        if (sameWords(words[words.Count() - 1 - back], move)) {
            index = words.Count() - 1 - back;
            break;
        }
    if (index == words.Count()) {
        TPlotWords *entry = words.Add();
        if (!entry)
            return false;
        entry->feedMode = move.feedMode, entry->units = move.units;
        entry->feedGiven = move.feedGiven, entry->tool = move.tool;
        entry->feed = move.feed, entry->speed = move.speed;
    }
    TPlotWordsRun *run = wordRuns.Add();
    if (!run)
        return false;
    run->first = k;
    run->words = index;
    return true;
}

bool TPlotList::AddArc(const TPlotArc &arc) {
    TPlotArc *record = arcs.Add();
    if (record)
        *record = arc;
    return record != nullptr;
}

void TPlotList::Truncate() {
    total = 0;
    arcPoints.Truncate();
    words.Truncate();
    wordRuns.Truncate();
    arcs.Truncate();
    points.Truncate();
    sources.Truncate();
    pens.Truncate();
    axes.Truncate();
    lineEnds.Truncate();
}

void TPlotList::Clear() {
    total = 0;
    arcPoints.Clear();
    words.Clear();
    wordRuns.Clear();
    arcs.Clear();
    points.Clear();
    sources.Clear();
    pens.Clear();
    axes.Clear();
    lineEnds.Clear();
}

bool TPlotList::Scale(double factor) {
    if (!expandArcs())
        return false;
    for (uint32_t k = 0; k < points.Count(); ++k) {
        TPlotPoint &point = points[k];
        point.x *= factor, point.y *= factor, point.z *= factor;
    }
    for (uint32_t k = 0; k < axes.Count(); ++k) {
        TPlotAxesRun &run = axes[k];
        run.u *= factor, run.v *= factor, run.w *= factor;
    }
    for (uint32_t k = 0; k < arcs.Count(); ++k) {
        TPlotArc &arc = arcs[k];
        for (int axis = 0; axis < 3; ++axis) {
            arc.centre[axis] *= factor;
            arc.u[axis] *= factor, arc.v[axis] *= factor, arc.h[axis] *= factor;
        }
    }
    return true;
}

bool TPlotList::Shift(const double (&delta)[9], unsigned which) {
    if (!expandArcs())
        return false;
    const auto add = [which, &delta](double &value, int axis) {
        if (which & (1u << axis))
            value += delta[axis];
    };
    for (uint32_t k = 0; k < points.Count(); ++k) {
        TPlotPoint &point = points[k];
        add(point.x, 0), add(point.y, 1), add(point.z, 2);
    }
    for (uint32_t k = 0; k < axes.Count(); ++k) {
        TPlotAxesRun &run = axes[k];
        add(run.a, 3), add(run.b, 4), add(run.c, 5);
        add(run.u, 6), add(run.v, 7), add(run.w, 8);
    }
    for (uint32_t k = 0; k < arcs.Count(); ++k)
        for (int axis = 0; axis < 3; ++axis)
            add(arcs[k].centre[axis], axis);
    return true;
}

// As TPlotList::zeilebisOf, but the line ends kept apart are followed by a cursor: reading in
// order (either way) costs a step, not a bisection.
int64_t TPlotReader::lineEndOf(uint32_t run) {
    if (run + 1 == list.sources.Count())
        return list.lastZeilebis;
    const TDynaArray<TPlotLineEnd> &ends = list.lineEnds;
    const uint32_t n = ends.Count();
    if (n > 0) {
        const auto atLeast = [&](uint32_t e) { return e == n || ends[e].run >= run; };
        const auto placed = [&](uint32_t e) {
            return atLeast(e) && (e == 0 || ends[e - 1].run < run);
        };
        if (lineEnd > n)
            lineEnd = n;
        if (!placed(lineEnd)) {
            if (lineEnd < n && placed(lineEnd + 1))
                ++lineEnd;
            else if (lineEnd > 0 && placed(lineEnd - 1))
                --lineEnd;
            else
                lineEnd = uint32_t(std::lower_bound(ends.Data(), ends.Data() + n, run,
                                                    [](const TPlotLineEnd &end, uint32_t r) {
                                                        return end.run < r;
                                                    }) -
                                   ends.Data());
        }
        if (lineEnd < n && ends[lineEnd].run == run)
            return ends[lineEnd].zeilebis;
    }
    return list.sources[run + 1].zeilevon - 1;
}

const t9dline &TPlotReader::operator[](uint32_t k) {
    const uint32_t count = list.total;
    uint32_t stored = k;
    if (list.arcPoints.Count() > 0 && list.arcPoints[0].first <= k) {
        follow(list.arcPoints, count, k, arc, arcEnd, arcValid);
        const TPlotArcPointsRun &run = list.arcPoints[arc];
        stored = run.before + (k - run.first - run.count);
        if (k - run.first < run.count) {
            double p[3];
            run.arc.Point(double(k - run.first), p);
            record.x = p[0], record.y = p[1], record.z = p[2];
            stored = UINT32_MAX;
        }
    }
    if (stored != UINT32_MAX) {
        const TPlotPoint &point = list.points[stored];
        record.x = point.x, record.y = point.y, record.z = point.z;
    }
    if (follow(list.sources, count, k, source, sourceEnd, sourceValid)) {
        record.zeilevon = list.sources[source].zeilevon;
        record.zeilebis = lineEndOf(source);
    }
    if (follow(list.pens, count, k, pen, penEnd, penValid))
        copyPen(list.pens[pen], record);
    if (follow(list.axes, count, k, axes, axesEnd, axesValid))
        copyAxes(list.axes[axes], record);
    if (follow(list.wordRuns, count, k, words, wordsEnd, wordsValid))
        copyWords(list.words[list.wordRuns[words].words], record.move);
    return record;
}

} // namespace morvilo
