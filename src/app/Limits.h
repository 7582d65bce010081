#pragma once
// What the command line lets a run cost or touch: the pictures it may write, the sizes the GL can
// draw, and the memory the process has used.
#include <ostream>
#include <string>

#include "app/CommandLine.h"

namespace app {

// A picture's name must end in ".png" (any letter case): a level or any other file named by a
// slip of the keyboard is never taken for the picture to write.
bool IsPictureName(const std::string& path);

// Whether the picture may be written at `path`: nothing is there, or a PNG file (its first eight
// bytes are the PNG signature) that is replaced. Anything else there (another file, a folder) is
// left alone with one line on `err`.
bool MayWritePicture(const std::string& path, std::ostream& err);

// Whether the GL of the current context can draw a viewport of this size (GL_MAX_VIEWPORT_DIMS,
// asked once per process); one line on `err` when not.
bool FitsGLViewport(const TWindowSize& size, std::ostream& err);

// The process's high-water mark of resident memory so far (VmHWM), in megabytes; 0 when unknown.
double PeakResidentMB();

}  // namespace app
