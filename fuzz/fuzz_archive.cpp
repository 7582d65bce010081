// The archive index and the entry reader on arbitrary bytes taken as one .pk3: indexing, lookups
// and reads must end with data, a warning or the budget's refusal, within the entry size limit and
// the budget, never outside memory.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/SearchPath.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  // An anonymous in-memory file: nothing touches the disk, and libzip reads it by path as it
  // reads any archive.
  const int fd = memfd_create("fuzz.pk3", 0);
  if (fd < 0) return 0;
  std::size_t written = 0;
  while (written < size) {
    const ssize_t n = write(fd, bytes + written, size - written);
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  {
    // A small budget, so that entries past it are refused on both threads.
    platform::TBudget budget({.InflatedBytes = 1 << 16});
    data::TSearchPath path({"/proc/self/fd/" + std::to_string(fd)}, "", [](const std::string&) {}, &budget);
    // Every entry once read ahead on the reading thread, then once as a plain read.
    std::vector<std::string> names;
    for (const char* folder : {"", "maps", "textures", "scripts"})
      for (const data::TEntryInfo& entry : path.List(folder, "")) names.push_back(entry.Name);
    path.ReadAhead(names);
    for (int pass = 0; pass < 2; ++pass)
      for (const std::string& name : names) {
        try {
          if (const auto read = path.Read(name); read && read->size() > data::kMaxEntryBytes)
            __builtin_trap();
        } catch (const platform::EBudgetSpent&) {
        }
      }
    if (budget.Used(platform::TBudgetKind::Inflated) > budget.Limits().InflatedBytes) __builtin_trap();
    path.Exists("MAPS\\A.BSP");
    try {
      path.Read("a");
    } catch (const platform::EBudgetSpent&) {
    }
  }
  close(fd);
  return 0;
}
