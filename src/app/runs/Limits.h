#pragma once
// What a run may cost or touch: the pictures it may replace, the sizes the GL can draw, and the
// memory the process has used.
#include <functional>
#include <ostream>
#include <string>

#include "app/runs/RunOptions.h"

namespace app {

// Whether the picture may be written at `path`: nothing is there, or a PNG file (its first eight
// bytes are the PNG signature) that is replaced. Anything else there (another file, a folder) is
// left alone with one line on `err`.
bool MayWritePicture(const std::string& path, std::ostream& err);

// Whether the folder an output goes to is there, asked before anything is loaded so that a typo
// in it costs nothing; "cannot write PATH: REASON" on `err` when not.
bool OutputFolderExists(const std::string& path, std::ostream& err);

// Whether an export may be written at `path`: its folder is there, and nothing is at the path or a
// regular file that `isOurs` recognises (only regular files are opened: a FIFO would wait for a
// writer). A folder, and anything else, is left alone with one line on `err` naming `kind`.
bool MayReplaceOutput(const std::string& path, std::ostream& err, const std::function<bool(const std::string&)>& isOurs,
                      const std::string& kind);

// Whether the GL of the current context can draw a viewport of this size (GL_MAX_VIEWPORT_DIMS,
// asked once per process); one line on `err` when not.
bool FitsGLViewport(const TWindowSize& size, std::ostream& err);

// The process's high-water mark of resident memory so far (VmHWM), in megabytes; 0 when unknown.
double PeakResidentMB();

}  // namespace app
