#pragma once
// Depth complexity for the benchmark (--benchmark --json with --fast): the fragments that pass the
// depth test while the opaque surfaces are drawn, counted by an occlusion query, and the pixels
// they cover, counted by a second one over the whole window at the far plane. Only a frame whose
// options ask for it (TRenderOptions::CountFragments) makes a call more than before.
#include <GL/gl.h>

#include <cstdint>

struct TRenderOptions;
struct TFastFrame;

class TFragmentCount {
 public:
  // Starts counting when the options ask for it and the GL has occlusion queries.
  explicit TFragmentCount(const TRenderOptions& options);
  ~TFragmentCount();
  TFragmentCount(const TFragmentCount&) = delete;
  TFragmentCount& operator=(const TFragmentCount&) = delete;

  // Stops counting and puts the figures into `frame` (Fragments, CoveredPixels); only the first call
  // does anything. Expects the depth test as the opaque surfaces leave it (LESS, depth written) and
  // leaves it so.
  void Finish(TFastFrame& frame);

 private:
  GLuint Queries[2] = {0, 0};
  bool Counting = false;
};
