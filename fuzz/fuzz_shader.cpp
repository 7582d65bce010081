// The shader script reader on any bytes: it must end, in time linear in the text, without reading
// outside it, every shader it keeps must be filed under its own name, and it keeps no more
// shaders than the table's limit (every other input has one of 4) and stages than kMostStages.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shaders/Shaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  shaders::TShaderTable table;
  if (size % 2) table.MostShaders = 4;
  shaders::ReadShaderScript("fuzz.shader", std::string_view(reinterpret_cast<const char*>(data), size), table);
  for (const auto& [name, shader] : table.Shaders) {
    if (shader.Name != name || shader.Stages.size() > shaders::kMostStages) std::abort();
    (void)shaders::DrawStateOf(&shader);
  }
  if (table.Problems.size() > shaders::kProblemsPerScript + 1) std::abort();
  if (table.Shaders.size() > table.MostShaders) std::abort();
  return 0;
}
