#include "textures/PixelBudget.h"

#include <atomic>

#include "textures/ImageDecode.h"

namespace textures {
namespace {

// Loads may decode on the read-ahead's threads too, so the budget is the process's, not a thread's.
std::atomic<platform::TBudget*> Current{nullptr};

}  // namespace

TScopedPixelBudget::TScopedPixelBudget(platform::TBudget* budget) : Previous(Current.exchange(budget)) {}

TScopedPixelBudget::~TScopedPixelBudget() { Current.store(Previous); }

std::size_t PixelsAllowed() {
  platform::TBudget* budget = Current.load();
  if (!budget) return kNoPixelLimit;
  // Four bytes a pixel whatever the format: a picture is refused from its header a little early
  // at the budget's edge rather than decoded and then refused.
  const std::uint64_t pixels = budget->Left(platform::TBudgetKind::Pixels) / 4;
  return pixels < kNoPixelLimit ? static_cast<std::size_t>(pixels) : kNoPixelLimit;
}

bool LeftOutByPixelBudget(std::size_t width, std::size_t height, std::size_t maxSide, const std::string& name) {
  platform::TBudget* budget = Current.load();
  if (!budget || width > maxSide || height > maxSide) return false;
  budget->LeftOut(platform::TBudgetKind::Pixels, name);
  return true;
}

bool ChargePixels(std::size_t bytes, const std::string& name) {
  platform::TBudget* budget = Current.load();
  return !budget || budget->Take(platform::TBudgetKind::Pixels, bytes, name);
}

}  // namespace textures
