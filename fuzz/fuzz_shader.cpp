// The shader script reader on any bytes: it must end, in time linear in the text, without reading
// outside it, and every shader it keeps must be filed under its own name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shaders/Shaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  shaders::TShaderTable table;
  shaders::ReadShaderScript("fuzz.shader", std::string_view(reinterpret_cast<const char*>(data), size), table);
  for (const auto& [name, shader] : table.Shaders) {
    if (shader.Name != name) std::abort();
    (void)shaders::DrawStateOf(&shader);
  }
  if (table.Problems.size() > shaders::kProblemsPerScript + 1) std::abort();
  return 0;
}
