// The picture that shows the author what was made: the figure as it reads on screen, its bone
// regions in colours and the mesh's edges over it.
#pragma once

#include <string>

#include "figure/make_figure.h"

bool writePreview(const std::string& path, const FigureResult& figure, std::string& error);
