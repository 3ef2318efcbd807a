// The merge of takes into a script on arbitrary scripts and takes: the result is sorted by
// time, every script row that no take's span covers is kept in its order, and merging the same
// takes into the result again changes nothing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "merge/merge.h"
#include "merge/row_files.h"
#include "merge/takes.h"

namespace {

// The input's parts, split at NUL bytes: the script, then one or two files of takes.
std::vector<std::string> parts(const uint8_t* data, size_t size) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && out.size() < 3) {
            out.emplace_back();
        } else {
            out.back() += char(data[i]);
        }
    }
    return out;
}

std::vector<RowLine> readRows(const std::string& text, const char* name) {
    const std::string path = fuzz::workFolder() + "/" + name;
    fuzz::writeBytes(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    RowFile file;
    std::string error;
    FUZZ_CHECK(readRowFile(path, file, error));
    return file.rows;
}

bool covered(const std::vector<Take>& takes, float time) {
    for (const Take& take : takes) {
        if (!take.rows.empty() && take.rows.front().row.time <= time &&
            time <= take.rows.back().row.time)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> texts = parts(data, size);
    std::vector<RowLine> script = readRows(texts[0], "anim.txt");
    std::vector<Take> takes;
    for (size_t file = 1; file < texts.size(); ++file) {
        for (Take& take : splitTakes(readRows(texts[file], "take.txt"))) {
            takes.push_back(std::move(take));
        }
    }
    for (const Take& take : takes) {
        FUZZ_CHECK(!take.rows.empty());
        for (size_t r = 1; r < take.rows.size(); ++r) {
            FUZZ_CHECK(continuesTake(take.rows[r - 1].row, take.rows[r].row));
        }
    }

    const std::vector<RowLine> original = script;
    const MergedScript merged = mergeTakes(script, takes, nullptr);
    const std::string text = mergedText(merged, script, takes);

    // Sorted by time.
    for (size_t i = 1; i < merged.rows.size(); ++i) {
        FUZZ_CHECK(sourceLine(script, takes, merged.rows[i - 1]).row.time <=
                   sourceLine(script, takes, merged.rows[i]).row.time);
    }
    // The script's rows outside every take's span, all of them and in their order: by time,
    // and in the script's order among equal times.
    std::vector<int32_t> outside;
    for (size_t r = 0; r < original.size(); ++r) {
        if (!covered(takes, original[r].row.time)) outside.push_back(int32_t(r));
    }
    std::stable_sort(outside.begin(), outside.end(), [&](int32_t a, int32_t b) {
        return original[size_t(a)].row.time < original[size_t(b)].row.time;
    });
    std::vector<int32_t> keptOutside;
    for (const RowSource& source : merged.rows) {
        if (source.take == scriptSource && !covered(takes, script[size_t(source.row)].row.time)) {
            keptOutside.push_back(source.row);
        }
        // A script row that a take covers is gone.
        if (source.take == scriptSource) {
            FUZZ_CHECK(!covered(takes, script[size_t(source.row)].row.time));
        }
    }
    FUZZ_CHECK(keptOutside == outside);

    // The same takes again change nothing.
    std::vector<RowLine> again = readRows(text, "merged.txt");
    FUZZ_CHECK(again.size() == merged.rows.size());
    std::vector<Take> sameTakes = takes;
    const MergedScript twice = mergeTakes(again, sameTakes, nullptr);
    FUZZ_CHECK(mergedText(twice, again, sameTakes) == text);
    return 0;
}
