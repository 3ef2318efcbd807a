// kelvaro-figure: a drawing in, a slot folder out. Stdout carries nothing but the help; every
// note, warning and error goes to stderr.
#include <chrono>
#include <cstdio>
#include <string>

#include "figure/drawing.h"
#include "figure/figure_options.h"
#include "figure/make_figure.h"
#include "figure/preview.h"
#include "figure/script_rows.h"
#include "figure/slot_folder.h"
#include "merge/merge.h"
#include "merge/rest_rows.h"

int main(int argc, char** argv) {
    const auto started = std::chrono::steady_clock::now();
    FigureOptions options;
    std::string error;
    if (!parseFigureOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "kelvaro-figure: %s\nTry 'kelvaro-figure --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(figureUsage, stdout);
        return 0;
    }
    const auto fail = [](const std::string& message) {
        std::fprintf(stderr, "kelvaro-figure: %s; the folder was not written\n", message.c_str());
        return 1;
    };
    if (holdsFigure(options.folder) && !options.replace) {
        return fail(options.folder +
                    " already holds a figure: add --replace to replace it (the "
                    "old files are then kept in " +
                    options.folder + "~)");
    }
    if (!options.backgroundPicture.empty()) {
        Drawing background;
        if (!readDrawing(options.backgroundPicture, background, error)) return fail(error);
    }

    FigureRequest request;
    request.picture = options.picture;
    request.bones = options.bones;
    request.spacing = options.spacing;
    request.background = options.background;
    request.fillHoles = options.fillHoles;
    request.keepGround = options.keepGround;
    request.slotBones = slotBones(options.folder);
    FigureResult figure;
    const bool made = makeFigure(request, figure, error);
    for (const std::string& note : figure.notes)
        std::fprintf(stderr, "kelvaro-figure: %s\n", note.c_str());
    // A preview helps most when the bones failed: it shows where.
    const bool previewable = !figure.bones.region.empty();
    std::string previewError;
    if (!options.preview.empty() && previewable &&
        !writePreview(options.preview, figure, previewError)) {
        return fail(previewError);
    }
    if (!made) {
        if (!options.preview.empty() && previewable)
            error += " (" + options.preview + " shows the mesh and its bones)";
        return fail(error);
    }
    SlotWriting writing;
    writing.folder = options.folder;
    writing.background = options.backgroundPicture;
    writing.replace = options.replace;
    // Everything is made ready before anything is renamed, so that the figure and the script
    // go in one right after the other.
    PreparedSlot prepared;
    if (!prepareSlotFolder(writing, figure, prepared, error)) return fail(error);
    // The rest pin comes from the mesh file as the show will read it.
    RestPin pin;
    SlotScript script;
    const bool ready =
        readRestPin(preparedMeshPath(prepared), pin, error) &&
        (readSlotScript(options.folder, pin, figure.mesh.vertices.size(), script, error) ||
         options.keepRows);  // a script left alone needs no reading
    if (!ready) {
        abandonSlotFolder(prepared);
        return fail(error);
    }
    if (!commitSlotFolder(prepared, error)) return fail(error);
    if (!script.path.empty() && !options.keepRows &&
        !replaceScript(script.path, script.text, true, error)) {
        // A figure whose script still names the old mesh's vertices would tear: the old
        // figure goes back.
        std::string restoreError;
        if (!restoreSlotFolder(prepared, restoreError)) {
            std::fprintf(stderr,
                         "kelvaro-figure: %s; and the old figure could not be put back (%s): "
                         "%s holds the new figure, whose slot's rows in %s name the old "
                         "mesh's vertices\n",
                         error.c_str(), restoreError.c_str(), options.folder.c_str(),
                         script.path.c_str());
            return 1;
        }
        if (!restoreError.empty())
            std::fprintf(stderr, "kelvaro-figure: %s\n", restoreError.c_str());
        const std::string back = prepared.keep.empty()
                                     ? "the new " + options.folder + " is gone again"
                                     : "the old figure is back in " + options.folder;
        return fail(error + "; " + back + ", so that figure and script agree");
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(stderr,
                 "kelvaro-figure: %s: %zu vertices, %zu triangles (%.1f %% with an angle under "
                 "20 degrees), spacing %.1f, %d bones, %d %s kept; the mesh covers %s of the "
                 "silhouette and reaches %.1f pixels past it; %.2f s\n",
                 options.folder.c_str(), figure.mesh.vertices.size(), figure.mesh.faces.size(),
                 100.0 * shareOfFacesUnder(figure.mesh, 20.0), figure.spacing, figure.bones.bones,
                 figure.holes, figure.holes == 1 ? "hole" : "holes",
                 figure.uncovered == 0
                     ? "every pixel"
                     : ("all but " + std::to_string(figure.uncovered) + " pixels").c_str(),
                 figure.reach, seconds);
    if (!script.path.empty()) {
        std::fprintf(stderr, "kelvaro-figure: %s\n",
                     slotScriptNote(script, options.keepRows, figure.mesh.vertices.size()).c_str());
    }
    return 0;
}
