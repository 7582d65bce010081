#pragma once
// The level file as checked records: the bytes of a Quake 3 BSP file turned into the records of
// the lumps the level uses, with every count, extent and index checked, so that the level built
// from them can be walked without another test. Pure: no GL, no file system. LoadBSP builds the
// level from it; the fuzz target and the command-line summary use it alone.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "level/Q3BSP.h"

struct TBSPFile {
  TBSPHeader Header{};
  std::array<TBSPLump, kLumpCount> Lumps{};
  std::vector<TBSPVertex> Vertices;
  std::vector<TBSPFace> Faces;
  std::vector<TBSPTexture> Textures;
  std::vector<TBSPLightmap> Lightmaps;
  std::vector<TBSPLeaf> Leaves;
  std::vector<TBSPNode> Nodes;
  std::vector<std::int32_t> LeafFaces;
  std::vector<TBSPPlane> Planes;
  std::vector<std::int32_t> MeshVertices;
  // False when the visibility lump's length is 0 or negative: then it is not read at all.
  bool HasVisData = false;
  TBSPVisData VisData;
};

// Reads every lump the level uses, in the loader's order, then checks the records against each
// other. Raises platform::EInOutError("Read beyond end of file") when the bytes end before a lump
// (or the header) does, and EBSPFormatError naming the record for anything that would index
// outside an array. The bounds it enforces:
//  - lumps 1-5, 10, 11, 13, 14: length not negative; offset not negative when the lump has records;
//  - face: NumVertices >= 0 and FirstVertex .. FirstVertex + NumVertices - 1 inside the vertices
//    (any FirstVertex when NumVertices is 0); NumMeshVertices >= 0 and its mesh-vertex range inside
//    the mesh vertices; each of those offsets in 0 .. NumVertices - 1;
//  - all faces together: the per-face arrays (44 bytes per vertex of every face's run) and
//    triangle lists (4 bytes per mesh vertex of every face's run) at most 16 times the file's size,
//    since faces may share runs (real levels stay below two thirds of it);
//  - leaf: NumLeafFaces >= 0 and its leaf-face range inside the leaf faces; all leaves' runs
//    together at most 16 times the file's size at 4 bytes an entry (real levels: exactly the
//    leaf-face lump, the runs being disjoint);
//  - leaf face: a face index in 0 .. FaceCount - 1;
//  - node: PlaneIndex in 0 .. PlaneCount - 1; a child node in NodeIndex + 1 .. NodeCount - 1 (a
//    child after its parent, so a descent always ends); a child leaf in 0 .. LeafCount - 1;
//  - visibility data (when read): ClusterCount >= 0, BytesPerCluster >= 0, and the 8-byte header
//    plus ClusterCount x BytesPerCluster bytes within the lump's length.
// Tolerated, as the level's design expects them: TextureIndex and LightmapIndex outside their
// groups (such a face is in no group), leaf Cluster values (the visibility test bounds them),
// any Header, and a node lump or leaf lump whose rounded count reads past the lump's end.
TBSPFile ParseBSP(std::span<const std::uint8_t> bytes);

// Where a file shorter than its lump directory says ends: "cut short inside lump 13 (faces),
// which ends at byte 1234567" (or "before lump ..." when it ends between lumps). Nothing when the
// bytes hold no whole directory or every lump lies within them.
std::optional<std::string> CutShortText(std::span<const std::uint8_t> bytes);

// Length / recordSize truncated toward zero (the counts of vertices, faces, textures, lightmaps).
std::int32_t TruncatedCount(std::int32_t length, std::int32_t recordSize);

// Length / recordSize rounded to the nearest integer, halves to even (the counts of nodes, leaves,
// leaf faces and planes, which the loader takes as a rounded floating-point quotient).
std::int32_t RoundedCount(std::int32_t length, std::int32_t recordSize);

// The texture's name up to its first NUL, or all 64 bytes when it has none.
std::string TextureBaseName(const TBSPTexture& texture);

// The face's mesh vertices as triangle indices into its own vertex arrays; empty when it has none.
// The face must have passed ParseBSP's checks against these mesh vertices.
std::vector<std::uint32_t> FaceTriangleIndices(const TBSPFace& face,
                                               std::span<const std::int32_t> meshVertices);
