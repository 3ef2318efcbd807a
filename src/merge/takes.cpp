#include "merge/takes.h"

#include <algorithm>
#include <iterator>
#include <map>

std::vector<Take> splitTakes(const std::vector<RowLine>& rows) {
    std::vector<Take> takes;
    for (const RowLine& line : rows) {
        bool continues = false;
        if (!takes.empty()) {
            const Keyframe& last = takes.back().rows.back().row;
            const double gap = double(line.row.time) - double(last.time);
            continues = line.row.scene == last.scene && line.row.vertex == last.vertex &&
                        gap >= 0.0 && gap <= takeGapLimit;
        }
        if (!continues) takes.emplace_back();
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

std::vector<RowLine> applyTakes(const std::vector<RowLine>& script,
                                const std::vector<Take>& takes) {
    // A row stands when no later take covers its time: walking the takes from the last, each
    // take's rows meet only the spans of the takes after it.
    std::vector<std::vector<const RowLine*>> standing(takes.size());
    IntervalSet later;
    for (size_t t = takes.size(); t-- > 0;) {
        for (const RowLine& line : takes[t].rows) {
            if (!later.contains(line.row.time)) standing[t].push_back(&line);
        }
        if (!takes[t].rows.empty()) {
            later.add(takes[t].rows.front().row.time, takes[t].rows.back().row.time);
        }
    }
    std::vector<const RowLine*> merged;
    for (const RowLine& line : script) {
        if (!later.contains(line.row.time)) merged.push_back(&line);
    }
    for (const auto& rows : standing) merged.insert(merged.end(), rows.begin(), rows.end());
    std::stable_sort(merged.begin(), merged.end(),
                     [](const RowLine* a, const RowLine* b) { return a->row.time < b->row.time; });
    std::vector<RowLine> result;
    result.reserve(merged.size());
    for (const RowLine* line : merged) result.push_back(*line);
    return result;
}
