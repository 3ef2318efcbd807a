#include "figure/script_rows.h"

#include <cstdio>
#include <memory>

#include "figure/figure_options.h"
#include "scene/keyframe_row.h"
#include "scene/show_facts.h"
#include "scene/text_lines.h"

std::string oldRowsNote(const std::string& folder, size_t vertices) {
    const int slot = slotIndex(folder);
    if (slot < 0) return "";
    const size_t slash = folder.find_last_of('/');
    const std::string show = slash == std::string::npos ? "." : folder.substr(0, slash);
    const std::string script = show + "/" + keyframeFileName;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(script.c_str(), "r"),
                                                         &std::fclose);
    if (!file) return "";
    size_t rows = 0, past = 0;
    std::string line;
    while (readTextLine(file.get(), line, true) == LineRead::line) {
        Keyframe row;
        if (!parseKeyframeRow(line, row) || row.scene != slot) continue;
        ++rows;
        if (row.vertex < 0 || size_t(row.vertex) >= vertices) ++past;
    }
    if (rows == 0) return "";
    return script + " has " + std::to_string(rows) + " rows for slot " + std::to_string(slot) +
           " (" + sceneSlots[slot].directory +
           "): the new mesh numbers its vertices anew, so they now name other points; " +
           std::to_string(past) + " of them name a vertex past the new " +
           std::to_string(vertices) + ", which kelvaro-merge --show drops";
}
