#pragma once
// Small levels assembled in memory for the visibility and rendering tests.
#include <GL/gl.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "level/Q3BSP.h"

namespace testsupport {

// Sizes every per-face array to `count` faces (all polygons without vertices, texture and
// lightmap -1) and empties the groups.
void SetFaceCount(TQuake3BSP& level, std::int32_t count);

// Appends a plane and returns its index.
std::int32_t AddPlane(TQuake3BSP& level, TVector normal, float distance);

// Appends a node and returns its index.
std::int32_t AddNode(TQuake3BSP& level, std::int32_t plane, std::int32_t front, std::int32_t back);

// Appends a leaf listing the given faces (appended to LeafFaces) and returns its index.
std::int32_t AddLeaf(TQuake3BSP& level, std::int32_t cluster, std::initializer_list<std::int32_t> faces);

// Gives the level `clusters` rows of `bytesPerCluster` zero bytes.
void SetVisData(TQuake3BSP& level, std::int32_t clusters, std::int32_t bytesPerCluster);
// Sets the bit that lets cluster `from` see cluster `to`.
void SetVisible(TQuake3BSP& level, std::int32_t from, std::int32_t to);

// Gives face `face` the vertices (with texture and lightmap coordinates) and its polygon's
// triangles as indices into them (empty: drawn as a fan).
void SetFaceGeometry(TQuake3BSP& level, std::int32_t face, const std::vector<TVector>& vertices,
                     const std::vector<GLuint>& indices);

// Rebuilds the texture and lightmap groups from the faces' TextureIndex and LightmapIndex, as
// LoadBSP does, for `textures` textures and `lightmaps` lightmaps.
void GroupFaces(TQuake3BSP& level, std::int32_t textures, std::int32_t lightmaps);

// The indices of the faces whose FaceVisible flag is set, ascending.
std::vector<std::int32_t> VisibleFaces(const TQuake3BSP& level);

}  // namespace testsupport
