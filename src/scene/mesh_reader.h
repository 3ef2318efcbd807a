// Reads a scene's mesh file (a subset of Wavefront OBJ) into a Mesh.
#pragma once

#include "scene/records.h"

// Fills an empty mesh from the file; with `mirror` every z is negated and every triangle's
// corners 1 and 3 change places. A missing file leaves the mesh as it was. Only faces without
// three vertex numbers or with one outside the file's vertex list are dropped, with one warning
// per kind and file on stderr; missing texture or normal numbers, and vertex lines with missing
// numbers (taken as 0), cost no face. A file without vertex lines is named in a warning too.
void readMesh(const char* path, Mesh& mesh, bool mirror);
