#pragma once
// The run's budget of decoded pixels as the image loaders meet it. A few bytes of a run-length
// TGA, a PNG or a JPEG can claim 8192 x 8192 pixels each, so the budget is asked before a picture
// is decoded (from its header) and charged with what was decoded. The load that owns the budget
// sets it for its span; without one set (tests, fuzzers, the tools) no budget applies.
#include <cstddef>
#include <string>

#include "platform/Budget.h"

namespace textures {

class TScopedPixelBudget {
 public:
  explicit TScopedPixelBudget(platform::TBudget* budget);
  ~TScopedPixelBudget();
  TScopedPixelBudget(const TScopedPixelBudget&) = delete;
  TScopedPixelBudget& operator=(const TScopedPixelBudget&) = delete;

 private:
  platform::TBudget* Previous;
};

// The most pixels the next picture may decode to (kNoPixelLimit without a budget).
std::size_t PixelsAllowed();
// Whether a picture refused as too large for `maxSide` pixels a side was refused by the budget
// instead (its sides fit): then it is noted as left out and the loader says nothing of its own.
bool LeftOutByPixelBudget(std::size_t width, std::size_t height, std::size_t maxSide, const std::string& name);
// Charges the decoded bytes; false when the budget cannot hold them (noted as left out).
bool ChargePixels(std::size_t bytes, const std::string& name);

}  // namespace textures
