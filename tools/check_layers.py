#!/usr/bin/env python3
"""Fails when a source under src/ crosses the layers: an include of a layer above its own, or a
platform library used outside the layer that owns it. Prints every crossing it finds."""
import pathlib
import re
import sys

# Each layer and the layers it may use. Programs on top (the driver and the tools built from it)
# may use everything below them; nothing may use a program.
LAYERS = {
    "scene": [],
    "files": [],
    "platform": [],
    "video": ["files"],
    "deform": ["scene"],
    "beat": ["scene", "video"],
    "render": ["scene"],
    "merge": ["scene", "files"],
    "figure": ["scene", "files", "deform", "merge"],
    "mp3": [],
    "showgen": ["scene", "files", "deform", "figure", "mp3"],
    "driver": ["scene", "files", "platform", "deform", "render", "merge", "beat"],
    "capture": ["scene", "files", "platform", "video", "deform", "render", "driver", "merge",
                "beat"],
    "newshow": ["scene", "files", "merge", "figure", "video", "showgen", "mp3", "beat"],
}

# System headers that only some layers may include.
OWNERS = [
    (re.compile(r"^SDL2?/|^SDL\.h$|^SDL_"), {"platform"}, "SDL"),
    (re.compile(r"^GL/glu\.h$"), {"render"}, "GLU"),
    (re.compile(r"^GL/|^EGL/"), {"render", "platform"}, "GL"),
    (re.compile(r"^opencv2/"), {"figure"}, "OpenCV"),
    (re.compile(r"^lib(avcodec|avformat|avutil|swscale|swresample)/"), {"video"}, "FFmpeg"),
    (re.compile(r"^libyuv[/.]"), {"video"}, "libyuv"),
    (re.compile(r"^lame/"), {"mp3"}, "LAME"),
]

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


# Outside src/, the tests' own support may read videos back through FFmpeg; nothing else may.
FFMPEG = next(pattern for pattern, _, what in OWNERS if what == "FFmpeg")
FFMPEG_OUTSIDE_SRC = {"tests/support"}


def check_outside_src(root):
    problems = []
    for top in ("tests", "bench", "fuzz", "tools"):
        for path in sorted((root / top).rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            relative = path.relative_to(root)
            if str(relative.parent) in FFMPEG_OUTSIDE_SRC:
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if match and FFMPEG.search(match.group(2)):
                    problems.append(f"{relative}:{number}: FFmpeg ({match.group(2)}) belongs to "
                                    f"src/video and {' and '.join(sorted(FFMPEG_OUTSIDE_SRC))}")
    return problems


def check(root):
    problems = check_outside_src(root)
    src = root / "src"
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        layer = path.relative_to(src).parts[0]
        if layer not in LAYERS:
            problems.append(f"{path.relative_to(root)}: folder {layer} is not a known layer")
            continue
        allowed = set(LAYERS[layer]) | {layer}
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            quote, name = match.groups()
            where = f"{path.relative_to(root)}:{number}"
            first = name.split("/")[0]
            if quote == '"' and "/" in name and first in LAYERS and first not in allowed:
                problems.append(f"{where}: {layer} may not include {name} (layer {first})")
            for pattern, owners, what in OWNERS:
                if pattern.search(name):
                    if layer not in owners:
                        problems.append(f"{where}: {what} ({name}) belongs to "
                                        f"{' and '.join(sorted(owners))}, not {layer}")
                    break
    return problems


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[1])
    problems = check(root)
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print(f"check_layers: {len(problems)} crossing(s) of the layers", file=sys.stderr)
        return 1
    print("check_layers: every include keeps to its layer", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
