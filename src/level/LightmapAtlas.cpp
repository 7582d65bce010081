#include "level/LightmapAtlas.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>
#include <string>

TTexCoord TAtlasLayout::Map(std::int32_t page, TTexCoord coord) const {
  const std::int32_t atlas = AtlasOf(page);
  const std::int32_t cell = page % PagesPerAtlas;
  const std::int32_t columns = Columns[static_cast<std::size_t>(atlas)];
  const std::int32_t rows = Rows[static_cast<std::size_t>(atlas)];
  // NaN is clamped to 0 as well: the comparisons below are false for it.
  const float s = coord.S >= 0 ? std::min(coord.S, 1.0f) : 0.0f;
  const float t = coord.T >= 0 ? std::min(coord.T, 1.0f) : 0.0f;
  return {(static_cast<float>(cell % columns) + s) / static_cast<float>(columns),
          (static_cast<float>(cell / columns) + t) / static_cast<float>(rows)};
}

TAtlasLayout LayoutAtlases(std::int32_t pageCount, std::int32_t pageWidth, std::int32_t pageHeight) {
  if (pageWidth < 1 || pageHeight < 1 || pageWidth > kLargestAtlasSide || pageHeight > kLargestAtlasSide)
    throw std::invalid_argument("lightmap pages of " + std::to_string(pageWidth) + " x " +
                                std::to_string(pageHeight) + " do not fit an atlas of at most " +
                                std::to_string(kLargestAtlasSide) + " a side");
  TAtlasLayout layout;
  layout.PageWidth = pageWidth;
  layout.PageHeight = pageHeight;
  const auto most = [](std::int32_t side) {
    return static_cast<std::int32_t>(std::bit_floor(static_cast<unsigned>(kLargestAtlasSide / side)));
  };
  const std::int32_t mostColumns = most(pageWidth), mostRows = most(pageHeight);
  layout.PagesPerAtlas = mostColumns * mostRows;
  for (std::int32_t first = 0; first < pageCount; first += layout.PagesPerAtlas) {
    const std::int32_t pages = std::min(pageCount - first, layout.PagesPerAtlas);
    std::int32_t columns = 1, rows = 1;
    // Grow the shorter side (columns first) until the cells hold the pages.
    while (static_cast<std::int64_t>(columns) * rows < pages) {
      if ((columns <= rows && columns < mostColumns) || rows >= mostRows)
        columns *= 2;
      else
        rows *= 2;
    }
    layout.Columns.push_back(columns);
    layout.Rows.push_back(rows);
  }
  return layout;
}

std::vector<std::uint8_t> PackAtlas(const TAtlasLayout& layout, std::int32_t atlas,
                                    std::span<const TLightmapPage> pages) {
  const std::size_t width = static_cast<std::size_t>(layout.Width(atlas));
  const std::size_t height = static_cast<std::size_t>(layout.Height(atlas));
  std::vector<std::uint8_t> pixels(width * height * 3, 0);
  const std::int32_t columns = layout.Columns[static_cast<std::size_t>(atlas)];
  const std::size_t first = static_cast<std::size_t>(atlas) * static_cast<std::size_t>(layout.PagesPerAtlas);
  const std::size_t rowBytes = static_cast<std::size_t>(layout.PageWidth) * 3;
  for (std::size_t p = first; p < pages.size() && p < first + static_cast<std::size_t>(layout.PagesPerAtlas); ++p) {
    const TLightmapPage& page = pages[p];
    if (page.Width != layout.PageWidth || page.Height != layout.PageHeight ||
        page.Rgb.size() != rowBytes * static_cast<std::size_t>(page.Height))
      throw std::invalid_argument("lightmap page " + std::to_string(p) + " is not " +
                                  std::to_string(layout.PageWidth) + " x " + std::to_string(layout.PageHeight));
    const std::size_t cell = p - first;
    const std::size_t x = cell % static_cast<std::size_t>(columns) * static_cast<std::size_t>(layout.PageWidth);
    const std::size_t y = cell / static_cast<std::size_t>(columns) * static_cast<std::size_t>(layout.PageHeight);
    for (std::size_t r = 0; r < static_cast<std::size_t>(page.Height); ++r)
      std::memcpy(&pixels[((y + r) * width + x) * 3], &page.Rgb[r * rowBytes], rowBytes);
  }
  return pixels;
}
