// Reads a scene's mesh file (a subset of Wavefront OBJ) into a Mesh.
#pragma once

#include "scene/records.h"

// Fills an empty mesh from the file; with `mirror` every z is negated and every triangle's
// corners 1 and 3 change places. A missing file leaves the mesh as it was. Faces with missing
// numbers or vertex numbers outside the file's vertex list are dropped, with one warning per
// file on stderr; a file without vertex lines is named in a warning as well.
void readMesh(const char* path, Mesh& mesh, bool mirror);
