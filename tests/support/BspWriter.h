#pragma once
// A writer of synthetic level files for tests: fill the record arrays, optionally bend the
// directory or replace a lump's bytes for hostile cases, then take the bytes or write a file.
// Lumps are laid out after the 144-byte header in lump order, each starting where the previous
// one ended; lumps with no records get Length 0 and the offset where they would have started.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "level/Q3BSP.h"

namespace testsupport {

class TBspWriter {
 public:
  TBSPHeader Header{{'I', 'B', 'S', 'P'}, 46};
  std::string Entities;
  std::vector<TBSPTexture> Textures;
  std::vector<TBSPPlane> Planes;
  std::vector<TBSPNode> Nodes;
  std::vector<TBSPLeaf> Leaves;
  std::vector<std::int32_t> LeafFaces;
  std::vector<TBSPVertex> Vertices;
  std::vector<std::int32_t> MeshVertices;
  std::vector<TBSPFace> Faces;
  std::vector<TBSPLightmap> Lightmaps;
  // Written when set: the two counts, then the bits (which may disagree with them on purpose).
  std::optional<TBSPVisData> VisData;

  // Record helpers with the fields a test usually cares about; everything else is 0.
  static TBSPTexture Texture(const std::string& name);  // the first 64 characters, NUL-padded
  static TBSPVertex Vertex(float x, float y, float z, float s = 0, float t = 0);
  static TBSPFace Face(std::int32_t textureIndex, std::int32_t firstVertex,
                       std::int32_t numVertices, std::int32_t lightmapIndex,
                       std::int32_t faceType = 1);
  static TBSPNode Node(std::int32_t planeIndex, std::int32_t front, std::int32_t back);
  static TBSPLeaf Leaf(std::int32_t cluster, std::int32_t firstLeafFace, std::int32_t numLeafFaces);
  static TBSPLightmap Lightmap(std::uint8_t r, std::uint8_t g, std::uint8_t b);  // one colour

  // A complete small level: one square polygon face (texture 0, lightmap 0) drawn with two
  // triangles of mesh vertices, one texture record named `textureName`, one lightmap, one node
  // (plane 0) with leaf 0 in front (cluster 0, holding the face) and leaf 1 behind (cluster 1),
  // and visibility data in which each of the two clusters sees both.
  static TBspWriter SmallLevel(const std::string& textureName = "textures/base/wall");

  // Appends a quad face in the plane at `x` over y0..y1 and z0..z1 and lists it in LeafFaces. Its
  // corners (y1, z0), (y1, z1), (y0, z1), (y0, z0) run clockwise on screen for a camera looking
  // along +X (so the front-face culling keeps it), or the other way round; the texture spans it
  // once, the lightmap too with its first row (t = 0) along the top edge; every vertex `colour`.
  void AddQuad(std::int32_t texture, std::int32_t lightmap, float x, float y0, float y1, float z0, float z1,
               std::array<std::uint8_t, 4> colour = {}, bool clockwise = true);

  // Replaces the bytes written for lump `index` (the records of that lump are ignored).
  void SetRawLump(int index, std::vector<std::uint8_t> bytes);
  // Overrides what the directory says about a lump, after the layout is done.
  void SetLumpOffset(int index, std::int32_t offset);
  void SetLumpLength(int index, std::int32_t length);
  // Bytes appended after the last lump.
  std::vector<std::uint8_t> Trailer;

  std::vector<std::uint8_t> Bytes() const;
  // Creates the folders on the way (a '\' counts as a separator) and writes Bytes().
  void WriteTo(const std::string& path) const;
  // The directory of the last Bytes() call.
  const std::array<TBSPLump, kLumpCount>& Directory() const { return LastDirectory; }

 private:
  std::array<std::optional<std::vector<std::uint8_t>>, kLumpCount> RawLumps;
  std::array<std::optional<std::int32_t>, kLumpCount> OffsetOverrides;
  std::array<std::optional<std::int32_t>, kLumpCount> LengthOverrides;
  mutable std::array<TBSPLump, kLumpCount> LastDirectory{};
};

}  // namespace testsupport
