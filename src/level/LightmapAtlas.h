#pragma once
// Lightmap pages packed into atlas images, for files that hold one picture where the level holds
// many small ones (the glTF export). Pages of one size are laid out in a grid, row after row, in
// atlases whose sides are powers of two of at most kLargestAtlasSide; a level with more pages than
// one atlas holds gets several. Pure: pixels in, pixels out.
#include <cstdint>
#include <span>
#include <vector>

#include "genom/genom.h"

inline constexpr std::int32_t kLargestAtlasSide = 4096;

// One lightmap as a picture: Width x Height RGB pixels, first row first, already brightened as the
// viewer shows it. The level's own lightmaps are 128 x 128; lightmaps from image files may be
// larger, and all pages of one level have one size.
struct TLightmapPage {
  std::int32_t Width = 128, Height = 128;
  std::vector<std::uint8_t> Rgb;
};

// Where the pages go. Atlas a holds pages a x PagesPerAtlas onwards, Columns[a] x Rows[a] cells.
struct TAtlasLayout {
  std::int32_t PageWidth = 0, PageHeight = 0;
  std::int32_t PagesPerAtlas = 0;
  std::vector<std::int32_t> Columns, Rows;  // per atlas, powers of two
  // Per lightmap, its page when lightmaps and pages differ (files that cannot be used have none);
  // empty: lightmap m is page m.
  std::vector<std::int32_t> Slots;

  std::int32_t PageOf(std::int32_t lightmap) const {
    return Slots.empty() ? lightmap : Slots[static_cast<std::size_t>(lightmap)];
  }

  std::int32_t AtlasCount() const { return static_cast<std::int32_t>(Columns.size()); }
  std::int32_t AtlasOf(std::int32_t page) const { return page / PagesPerAtlas; }
  std::int32_t Width(std::int32_t atlas) const { return Columns[static_cast<std::size_t>(atlas)] * PageWidth; }
  std::int32_t Height(std::int32_t atlas) const { return Rows[static_cast<std::size_t>(atlas)] * PageHeight; }
  // The page's coordinates (0 .. 1 across the page, clamped to it: an atlas has neighbours where
  // a page had its own edge) as coordinates of its atlas.
  TTexCoord Map(std::int32_t page, TTexCoord coord) const;
};

// The layout of pageCount pages of one size (each side 1 .. kLargestAtlasSide): each atlas has
// the fewest cells of power-of-two columns and rows, columns >= rows, that hold its pages.
// Raises std::invalid_argument for a page size outside that range.
TAtlasLayout LayoutAtlases(std::int32_t pageCount, std::int32_t pageWidth, std::int32_t pageHeight);

// The RGB pixels of one atlas, first row first: its pages at their cells, black elsewhere.
std::vector<std::uint8_t> PackAtlas(const TAtlasLayout& layout, std::int32_t atlas,
                                    std::span<const TLightmapPage> pages);
