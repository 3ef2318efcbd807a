#include "merge/takes.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>

bool continuesTake(const Keyframe& last, const Keyframe& next) {
    const double gap = double(next.time) - double(last.time);
    return next.scene == last.scene && next.vertex == last.vertex && gap >= 0.0 &&
           gap <= takeGapLimit;
}

std::vector<Take> splitTakes(const std::vector<RowLine>& rows) {
    std::vector<Take> takes;
    for (const RowLine& line : rows) {
        if (takes.empty() || !continuesTake(takes.back().rows.back().row, line.row)) {
            takes.emplace_back();
        }
        takes.back().rows.push_back(line);
    }
    return takes;
}

void thinTake(Take& take, double rowsPerSecond) {
    if (take.rows.size() <= 2 || !(rowsPerSecond > 0.0)) return;
    const double spacing = 1.0 / rowsPerSecond;
    std::vector<RowLine> kept{take.rows.front()};
    for (size_t i = 1; i + 1 < take.rows.size(); ++i) {
        if (double(take.rows[i].row.time) - double(kept.back().row.time) >= spacing) {
            kept.push_back(take.rows[i]);
        }
    }
    // The last row bounds the take; the row kept before it gives way if the two are too close.
    const RowLine& last = take.rows.back();
    if (kept.size() > 1 && double(last.row.time) - double(kept.back().row.time) < spacing) {
        kept.pop_back();
    }
    kept.push_back(last);
    take.rows = std::move(kept);
}

namespace {

// The union of closed time intervals, kept as disjoint intervals by their start.
class IntervalSet {
public:
    bool contains(float time) const {
        auto after = spans_.upper_bound(time);
        if (after == spans_.begin()) return false;
        return time <= std::prev(after)->second;
    }

    void add(float first, float last) {
        auto at = spans_.upper_bound(first);
        if (at != spans_.begin() && std::prev(at)->second >= first) {
            --at;
            first = at->first;
        }
        while (at != spans_.end() && at->first <= last) {
            last = std::max(last, at->second);
            at = spans_.erase(at);
        }
        spans_.emplace(first, last);
    }

private:
    std::map<float, float> spans_;
};

}  // namespace

std::vector<RowSource> punchTakes(const std::vector<RowLine>& script,
                                  const std::vector<Take>& takes) {
    struct Timed {
        float time;
        RowSource source;
    };
    size_t total = script.size();
    for (const Take& take : takes) total += take.rows.size();
    std::vector<Timed> merged;
    merged.reserve(total);
    // A row stands when no later take covers its time: walking the takes from the last, each
    // take's rows meet only the spans of the takes after it. The script's rows go first, then
    // the takes' in their order, so that the sort keeps that order among equal times.
    IntervalSet later;
    const size_t scriptEnd = script.size();
    merged.resize(scriptEnd);
    for (size_t t = takes.size(); t-- > 0;) {
        const std::vector<RowLine>& rows = takes[t].rows;
        const size_t before = merged.size();
        for (size_t r = 0; r < rows.size(); ++r) {
            if (!later.contains(rows[r].row.time)) {
                merged.push_back(Timed{rows[r].row.time, RowSource{int32_t(t), int32_t(r)}});
            }
        }
        // Walked from the last take, so each take's block goes in front of the later ones'.
        std::rotate(merged.begin() + long(scriptEnd), merged.begin() + long(before), merged.end());
        if (!rows.empty()) later.add(rows.front().row.time, rows.back().row.time);
    }
    size_t kept = 0;
    for (size_t r = 0; r < scriptEnd; ++r) {
        if (!later.contains(script[r].row.time)) {
            merged[kept++] = Timed{script[r].row.time, RowSource{scriptSource, int32_t(r)}};
        }
    }
    merged.erase(merged.begin() + long(kept), merged.begin() + long(scriptEnd));
    std::stable_sort(merged.begin(), merged.end(),
                     [](const Timed& a, const Timed& b) { return a.time < b.time; });
    std::vector<RowSource> sources(merged.size());
    for (size_t i = 0; i < merged.size(); ++i) sources[i] = merged[i].source;
    return sources;
}

std::vector<RowLine> applyTakes(const std::vector<RowLine>& script,
                                const std::vector<Take>& takes) {
    const std::vector<RowSource> sources = punchTakes(script, takes);
    std::vector<RowLine> result;
    result.reserve(sources.size());
    for (const RowSource& source : sources) result.push_back(sourceLine(script, takes, source));
    return result;
}

std::vector<TakeOverlap> findOverlaps(const std::vector<Take>& takes) {
    std::vector<TakeOverlap> overlaps;
    for (size_t earlier = 0; earlier < takes.size(); ++earlier) {
        const size_t first = overlaps.size();
        for (const RowLine& line : takes[earlier].rows) {
            for (size_t later = earlier + 1; later < takes.size(); ++later) {
                const std::vector<RowLine>& rows = takes[later].rows;
                if (rows.empty() || line.row.time < rows.front().row.time ||
                    line.row.time > rows.back().row.time) {
                    continue;
                }
                auto found = std::find_if(
                    overlaps.begin() + long(first), overlaps.end(),
                    [later](const TakeOverlap& overlap) { return overlap.later == later; });
                if (found == overlaps.end()) {
                    overlaps.push_back(TakeOverlap{earlier, later, 0});
                    found = overlaps.end() - 1;
                }
                ++found->rows;
                break;
            }
        }
    }
    return overlaps;
}

std::string describeTake(const Take& take, size_t index) {
    char text[160];
    if (take.rows.empty()) {
        std::snprintf(text, sizeof text, "take %zu (no rows)", index + 1);
    } else {
        const Keyframe& first = take.rows.front().row;
        std::snprintf(text, sizeof text, "take %zu (slot %d, vertex %d, %.2f-%.2f s)", index + 1,
                      first.scene, first.vertex, double(first.time),
                      double(take.rows.back().row.time));
    }
    return text;
}

std::string describeOverlap(const std::vector<Take>& takes, const TakeOverlap& overlap) {
    const size_t total = takes[overlap.earlier].rows.size();
    std::string text = describeTake(takes[overlap.later], overlap.later) + " replaces " +
                       describeTake(takes[overlap.earlier], overlap.earlier);
    if (overlap.rows < total) {
        text += ": " + std::to_string(overlap.rows) + " of its " + std::to_string(total) + " rows";
    }
    return text;
}
