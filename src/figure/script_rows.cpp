#include "figure/script_rows.h"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "figure/figure_options.h"
#include "scene/show_facts.h"

bool readSlotScript(const std::string& folder, const RestPin& pin, size_t vertices,
                    SlotScript& script, std::string& error) {
    script = SlotScript{};
    const int slot = slotIndex(folder);
    // Only the figure slots read a mesh; the others' rows name no vertex of it.
    if (slot < 0 || sceneSlots[slot].boneCount == 0) return true;
    const size_t slash = folder.find_last_of('/');
    const std::string path = slash == std::string::npos
                                 ? std::string(keyframeFileName)
                                 : folder.substr(0, slash + 1) + keyframeFileName;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 && errno == ENOENT) return true;
    RowFile file;
    if (!readRowFile(path, file, error)) return false;
    for (const RowLine& line : file.rows) {
        const int32_t vertex = line.row.vertex;
        if (line.row.scene == slot && (vertex < 0 || size_t(vertex) >= vertices)) ++script.past;
    }
    script.cleared = clearSlotRows(file.rows, slot, pin);
    if (script.cleared.replaced == 0) return true;
    script.path = path;
    script.slot = slot;
    for (const RowLine& line : file.rows) {
        script.text += line.text;
        script.text += '\n';
    }
    return true;
}

std::string slotScriptNote(const SlotScript& script, bool kept, size_t vertices) {
    const std::string rows = script.path + ": " + describeClearedRows(script.cleared, script.slot);
    if (!kept) {
        return rows + ", were for the old figure: replaced by the new figure at rest; the old " +
               "script is " + script.path + "~";
    }
    return rows + ", are kept as they were (--keep-rows): they name vertices of the old mesh, " +
           "which the new one numbers anew, so they will drag other points; " +
           std::to_string(script.past) + " of them name a vertex past the new " +
           std::to_string(vertices) + ", which kelvaro-merge --show drops";
}
