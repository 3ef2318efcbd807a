// The whole demo show folder: the six slot folders with their pictures, meshes and masks, the
// keyframe script and the music.
#pragma once

#include <string>

// Writes everything into `root` (made if missing), the same bytes every time. False, with the
// reasons on stderr, when a file can't be written or a figure or the script would leave the
// view.
bool generateShow(const std::string& root);
