#pragma once
// What one run may spend, whatever its input: each file has a limit of its own, and these figures
// bound their sum, so that many files that each respect their limit still cannot add up to
// seconds of work or gigabytes of memory. A run owns one TBudget and hands it to what reads and
// builds: the search path (bytes inflated, bytes read from disk), the shader table (shaders kept)
// and the tessellation (memory of curved surfaces). What would pass a budget is left out and
// noted; the notes become one warning per budget, naming it and what was left out.
//
// The figures leave every level of Debian's OpenArena packages untouched, also with
// `--full --tess 64` (docs/input-costs.md, "What input may cost", gives the measured headroom).
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ByteReader.h"

namespace platform {

// The most bytes one file may hold: an archive entry (declared size), a loose file, the level
// named by its path, an image. The largest level of the OpenArena packages is about 11 MB.
inline constexpr std::uint64_t kMaxFileBytes = 64ull << 20;
// The most bytes one shader script may hold (the game's largest is under 100 kB).
inline constexpr std::uint64_t kMaxScriptBytes = 16ull << 20;
// The per-frame buffer that gathers small faces of a texture group into one draw; larger faces
// are drawn from the level's own arrays, so a frame never copies a group's vertices whole.
inline constexpr std::uint64_t kDrawBufferBytes = 1ull << 20;

enum class TBudgetKind : int {
  Inflated, ReadFromDisk, Shaders, Tessellation, Pixels, ItemGeometry, ShaderBytes, ExportMaterials
};
inline constexpr int kBudgetKinds = 8;

struct TBudgetLimits {
  std::uint64_t InflatedBytes = 256ull << 20;   // inflated from archives, all entries together
  std::uint64_t DiskBytes = 256ull << 20;       // loose files and the level's own path
  std::uint64_t Shaders = 65536;                // shaders kept from all scripts
  std::uint64_t TessellationBytes = 512ull << 20;  // vertices and indices of curved surfaces
  // ... and at most this many bytes of them per byte of the level file: a small file cannot
  // ask for the whole figure above.
  std::uint64_t TessellationPerFileByte = 192;
  // Decoded pixels of surface images, lightmap files and model skins together: a few bytes of a
  // run-length TGA or a PNG can claim 8192 x 8192 pixels each.
  std::uint64_t PixelBytes = 192ull << 20;
  // Vertices and indices of the items placed in the level (each item holds its model's surfaces
  // moved to its place).
  std::uint64_t ItemGeometryBytes = 16ull << 20;
  // What the shaders kept hold in memory: stages, texture-coordinate changes, waves, deforms.
  std::uint64_t ShaderBytes = 32ull << 20;
  // Materials of one export: each costs about 16 kB while the file is put together, and the most
  // a level of the game has is a few hundred.
  std::uint64_t ExportMaterials = 16384;

  std::uint64_t Of(TBudgetKind kind) const;
};

// A read refused because its budget is spent: the file is left out, and the budget's warning
// names it (the reader says nothing of its own).
class EBudgetSpent : public EUnreadableFile {
 public:
  using EUnreadableFile::EUnreadableFile;
};

class TBudget {
 public:
  explicit TBudget(TBudgetLimits limits = {});
  TBudget(const TBudget&) = delete;
  TBudget& operator=(const TBudget&) = delete;

  const TBudgetLimits& Limits() const { return Figures; }

  // Takes `amount` when what is left of the budget holds it and returns true; otherwise takes
  // nothing, notes `what` as left out and returns false. Safe from any thread.
  bool Take(TBudgetKind kind, std::uint64_t amount, const std::string& what);
  // Notes `what` as left out of a budget that is already spent.
  void LeftOut(TBudgetKind kind, const std::string& what);
  std::uint64_t Used(TBudgetKind kind) const;
  std::uint64_t Left(TBudgetKind kind) const;

  // The warnings of the budgets that left something out since the last call, one line each
  // ("the budget of 256 MiB inflated from archives is spent; left out: a.tga, b.tga and 3
  // more"), then forgotten.
  std::vector<std::string> TakeWarnings();
  // Where Report sends the warnings; by default a message box (standard error in the runs
  // without a screen).
  void SetWarningSink(std::function<void(const std::string&)> sink);
  void Report();
  // Every count back to 0 and nothing noted: a reload starts afresh, as the old level's memory
  // goes with it.
  void Restart();

 private:
  struct TAccount {
    std::uint64_t Used = 0;
    std::uint64_t LeftOutCount = 0;
    std::vector<std::string> FirstLeftOut;  // the first few, for the warning
  };
  void Note(TAccount& account, const std::string& what);

  TBudgetLimits Figures;
  mutable std::mutex Lock;
  TAccount Accounts[kBudgetKinds];
  std::function<void(const std::string&)> Sink;
};

// "262,144": a count as the texts write it.
std::string WithCommas(std::uint64_t value);

// "256 MiB", "65,536 shaders": a budget's figure as the warnings and the summary write it.
std::string BudgetFigure(TBudgetKind kind, std::uint64_t amount);

}  // namespace platform
