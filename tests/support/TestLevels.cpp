#include "support/TestLevels.h"

#include <cstddef>

namespace testsupport {

void SetFaceCount(TQuake3BSP& level, std::int32_t count) {
  const std::size_t n = static_cast<std::size_t>(count);
  level.FaceCount = count;
  level.Faces.assign(n, TBSPFace{});
  for (TBSPFace& face : level.Faces) {
    face.FaceType = 1;
    face.TextureIndex = -1;
    face.LightmapIndex = -1;
  }
  level.FaceVisible.assign(n, 0);
  level.FaceVertices.assign(n, {});
  level.FaceColors.assign(n, {});
  level.FaceTexCoords.assign(n, {});
  level.FaceLightmapCoords.assign(n, {});
  level.FaceNormals.assign(n, {});
  level.FaceIndices.assign(n, {});
}

std::int32_t AddPlane(TQuake3BSP& level, TVector normal, float distance) {
  level.Planes.push_back(TBSPPlane{normal, distance});
  level.PlaneCount = static_cast<std::int32_t>(level.Planes.size());
  return level.PlaneCount - 1;
}

std::int32_t AddNode(TQuake3BSP& level, std::int32_t plane, std::int32_t front, std::int32_t back) {
  TBSPNode node{};
  node.PlaneIndex = plane;
  node.Front = front;
  node.Back = back;
  level.Nodes.push_back(node);
  level.NodeCount = static_cast<std::int32_t>(level.Nodes.size());
  return level.NodeCount - 1;
}

std::int32_t AddLeaf(TQuake3BSP& level, std::int32_t cluster, std::initializer_list<std::int32_t> faces) {
  TBSPLeaf leaf{};
  leaf.Cluster = cluster;
  leaf.FirstLeafFace = static_cast<std::int32_t>(level.LeafFaces.size());
  leaf.NumLeafFaces = static_cast<std::int32_t>(faces.size());
  level.LeafFaces.insert(level.LeafFaces.end(), faces);
  level.LeafFaceCount = static_cast<std::int32_t>(level.LeafFaces.size());
  level.Leaves.push_back(leaf);
  level.LeafCount = static_cast<std::int32_t>(level.Leaves.size());
  return level.LeafCount - 1;
}

void SetVisData(TQuake3BSP& level, std::int32_t clusters, std::int32_t bytesPerCluster) {
  level.VisData.ClusterCount = clusters;
  level.VisData.BytesPerCluster = bytesPerCluster;
  level.VisData.Bits.assign(static_cast<std::size_t>(clusters) * static_cast<std::size_t>(bytesPerCluster), 0);
}

void SetVisible(TQuake3BSP& level, std::int32_t from, std::int32_t to) {
  level.VisData.Bits.at(static_cast<std::size_t>(from * level.VisData.BytesPerCluster + to / 8)) |=
      static_cast<std::uint8_t>(1u << (to & 7));
}

void SetFaceGeometry(TQuake3BSP& level, std::int32_t face, const std::vector<TVector>& vertices,
                     const std::vector<GLuint>& indices) {
  const std::size_t f = static_cast<std::size_t>(face);
  level.Faces[f].NumVertices = static_cast<std::int32_t>(vertices.size());
  level.Faces[f].NumMeshVertices = static_cast<std::int32_t>(indices.size());
  level.FaceVertices[f] = vertices;
  level.FaceTexCoords[f].assign(vertices.size(), TTexCoord{0.5f, 0.5f});
  level.FaceLightmapCoords[f].assign(vertices.size(), TTexCoord{0.5f, 0.5f});
  level.FaceNormals[f].assign(vertices.size(), TVector{0, 0, 1});
  level.FaceColors[f].assign(vertices.size(), {255, 255, 255, 255});
  level.FaceIndices[f] = indices;
}

void GroupFaces(TQuake3BSP& level, std::int32_t textures, std::int32_t lightmaps) {
  level.TextureCount = textures;
  level.LightmapCount = lightmaps;
  level.SurfaceTextures.assign(static_cast<std::size_t>(textures), 0);
  level.LightmapTextures.assign(static_cast<std::size_t>(lightmaps), 0);
  level.TextureFaceCounts.assign(static_cast<std::size_t>(textures), 0);
  level.LightmapFaceCounts.assign(static_cast<std::size_t>(lightmaps), 0);
  level.TextureFaces.assign(static_cast<std::size_t>(textures), {});
  level.LightmapFaces.assign(static_cast<std::size_t>(lightmaps), {});
  for (std::int32_t f = 0; f < level.FaceCount; ++f) {
    const TBSPFace& face = level.Faces[static_cast<std::size_t>(f)];
    if (face.TextureIndex >= 0 && face.TextureIndex < textures) {
      level.TextureFaces[static_cast<std::size_t>(face.TextureIndex)].push_back(f);
      ++level.TextureFaceCounts[static_cast<std::size_t>(face.TextureIndex)];
    }
    if (face.LightmapIndex >= 0 && face.LightmapIndex < lightmaps) {
      level.LightmapFaces[static_cast<std::size_t>(face.LightmapIndex)].push_back(f);
      ++level.LightmapFaceCounts[static_cast<std::size_t>(face.LightmapIndex)];
    }
  }
}

std::vector<std::int32_t> VisibleFaces(const TQuake3BSP& level) {
  std::vector<std::int32_t> visible;
  for (std::size_t f = 0; f < level.FaceVisible.size(); ++f)
    if (level.FaceVisible[f] != 0) visible.push_back(static_cast<std::int32_t>(f));
  return visible;
}

}  // namespace testsupport
