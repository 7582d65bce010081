#include "platform/Budget.h"

#include <utility>

#include "platform/Messages.h"

namespace platform {
namespace {

// The warning names this many of what was left out, then counts the rest.
constexpr std::size_t kNamedLeftOut = 3;

std::string Mebibytes(std::uint64_t bytes) {
  if (bytes % (1ull << 20) == 0) return WithCommas(bytes >> 20) + " MiB";
  return WithCommas(bytes) + " bytes";
}

std::string BudgetName(TBudgetKind kind, const TBudgetLimits& limits) {
  const std::string figure = BudgetFigure(kind, limits.Of(kind));
  switch (kind) {
    case TBudgetKind::Inflated: return figure + " inflated from archives";
    case TBudgetKind::ReadFromDisk: return figure + " read from disk";
    case TBudgetKind::Shaders: return figure + " kept";
    case TBudgetKind::Tessellation:
      return figure + " of curved-surface triangles (at most " +
             std::to_string(limits.TessellationPerFileByte) + " bytes per byte of the level file)";
    case TBudgetKind::Pixels: return figure + " of decoded pixels";
    case TBudgetKind::ItemGeometry: return figure + " of item geometry";
    case TBudgetKind::ShaderBytes: return figure + " of shader stages";
    case TBudgetKind::ExportMaterials: return figure + " of an export";
  }
  return figure;
}

}  // namespace

std::string WithCommas(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::uint64_t TBudgetLimits::Of(TBudgetKind kind) const {
  switch (kind) {
    case TBudgetKind::Inflated: return InflatedBytes;
    case TBudgetKind::ReadFromDisk: return DiskBytes;
    case TBudgetKind::Shaders: return Shaders;
    case TBudgetKind::Tessellation: return TessellationBytes;
    case TBudgetKind::Pixels: return PixelBytes;
    case TBudgetKind::ItemGeometry: return ItemGeometryBytes;
    case TBudgetKind::ShaderBytes: return ShaderBytes;
    case TBudgetKind::ExportMaterials: return ExportMaterials;
  }
  return 0;
}

std::string BudgetFigure(TBudgetKind kind, std::uint64_t amount) {
  if (kind == TBudgetKind::Shaders) return WithCommas(amount) + " shaders";
  if (kind == TBudgetKind::ExportMaterials) return WithCommas(amount) + " materials";
  return Mebibytes(amount);
}

TBudget::TBudget(TBudgetLimits limits) : Figures(limits) {}

bool TBudget::Take(TBudgetKind kind, std::uint64_t amount, const std::string& what) {
  const std::lock_guard<std::mutex> lock(Lock);
  TAccount& account = Accounts[static_cast<int>(kind)];
  const std::uint64_t limit = Figures.Of(kind);
  if (account.Used <= limit && amount <= limit - account.Used) {
    account.Used += amount;
    return true;
  }
  Note(account, what);
  return false;
}

void TBudget::LeftOut(TBudgetKind kind, const std::string& what) {
  const std::lock_guard<std::mutex> lock(Lock);
  Note(Accounts[static_cast<int>(kind)], what);
}

void TBudget::Note(TAccount& account, const std::string& what) {
  if (account.FirstLeftOut.size() < kNamedLeftOut) account.FirstLeftOut.push_back(what);
  ++account.LeftOutCount;
}

std::uint64_t TBudget::Used(TBudgetKind kind) const {
  const std::lock_guard<std::mutex> lock(Lock);
  return Accounts[static_cast<int>(kind)].Used;
}

std::uint64_t TBudget::Left(TBudgetKind kind) const {
  const std::lock_guard<std::mutex> lock(Lock);
  const std::uint64_t used = Accounts[static_cast<int>(kind)].Used, limit = Figures.Of(kind);
  return used < limit ? limit - used : 0;
}

std::vector<std::string> TBudget::TakeWarnings() {
  const std::lock_guard<std::mutex> lock(Lock);
  std::vector<std::string> warnings;
  for (int k = 0; k < kBudgetKinds; ++k) {
    TAccount& account = Accounts[k];
    if (account.LeftOutCount == 0) continue;
    const std::vector<std::string>& named = account.FirstLeftOut;
    const std::uint64_t more = account.LeftOutCount - named.size();
    std::string names;
    for (std::size_t i = 0; i < named.size(); ++i)
      names += (i == 0 ? "" : more == 0 && i + 1 == named.size() ? " and " : ", ") + named[i];
    if (more > 0) names += " and " + WithCommas(more) + " more";
    warnings.push_back("the budget of " + BudgetName(static_cast<TBudgetKind>(k), Figures) +
                       " is spent; left out: " + names);
    account.LeftOutCount = 0;
    account.FirstLeftOut.clear();
  }
  return warnings;
}

void TBudget::SetWarningSink(std::function<void(const std::string&)> sink) {
  const std::lock_guard<std::mutex> lock(Lock);
  Sink = std::move(sink);
}

void TBudget::Report() {
  std::function<void(const std::string&)> sink;
  {
    const std::lock_guard<std::mutex> lock(Lock);
    sink = Sink;
  }
  for (const std::string& warning : TakeWarnings()) {
    if (sink)
      sink(warning);
    else
      ShowMessage(warning, "Warning");
  }
}

void TBudget::Restart() {
  const std::lock_guard<std::mutex> lock(Lock);
  for (TAccount& account : Accounts) account = TAccount{};
}

}  // namespace platform
