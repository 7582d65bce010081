#pragma once
// The view volume of the frame being drawn: the pure planes and box tests (level/Frustum.h) over
// the matrices the GL holds.
#include "level/Frustum.h"

// Projection times model-view as the GL holds them now.
TMatrix CurrentClipMatrix();
