#pragma once
// The stages of --shaders drawn per texture group: index lists into the joined vertex arrays kept
// while the visible set stays, each stage's values evaluated once per shader and frame, deformed
// and environment-mapped faces computed per frame into buffers of their own, and the GL state
// set only where it changes.
#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <vector>

#include "level/Q3BSP.h"
#include "shaders/StagePlan.h"

struct TShadedGroup {
  // The visible faces' triangles as indices into the joined arrays, ordered by lightmap.
  std::vector<GLuint> Indices;
  struct TRange {
    std::int32_t Lightmap;
    std::size_t First, Count;
  };
  std::vector<TRange> Ranges;
  std::vector<std::int32_t> Faces;  // the visible faces drawn from the joined arrays, in list order
  std::vector<std::int32_t> Large;  // the visible faces drawn from their own arrays
  std::int32_t Visible = 0;         // what the group adds to VisibleFaceCount
};

struct TShadedFrame {
  // The marks and surface set the groups were built for.
  std::vector<std::int32_t> Marked;
  bool AllSurfaces = false;
  bool Built = false;
  // --vertex-light: the vertex pass lights the faces, so stages take no stored colours of their own.
  bool VertexLight = false;
  // --fast drew the surfaces whose plans fold into its one pass: the groups leave them out.
  bool OnePassDrawn = false;
  std::int32_t VisibleTotal = 0;
  std::vector<TShadedGroup> Groups;                      // per texture
  std::vector<std::int32_t> Billboards;                  // visible billboard faces
  std::vector<std::int32_t> SkyFaces;                    // visible faces of sky shaders
  std::vector<std::vector<shaders::TStageValues>> Values;  // per texture, per planned stage
  std::vector<shaders::TStageValues> SkyValues;
  // Per-frame buffers the size of the joined arrays, made only for a level that needs them:
  // deformed positions and normals, environment coordinates, fog colours. Only the entries of
  // visible faces that need them are written in a frame.
  AGLNrf3 Positions, Normals;
  AGLNrf2 EnvCoords;
  AGLbyt4 FogColours;
  std::vector<GLuint> FogIndices;
  std::vector<TVector> FaceMins, FaceMaxs;  // per face, for the fog's quick test
  // Billboard quads of this frame: four vertices each.
  AGLNrf3 FlarePositions;
  AGLNrf2 FlareCoords;
  AGLbyt4 FlareColours;
  // The sky dome (positions around the eye, coordinates at the cloud height, triangles).
  AGLNrf3 DomePositions;
  AGLNrf2 DomeCoords;
  std::vector<GLuint> DomeIndices;
  // The time the values were evaluated at, and --vertex-turb's coordinates, worked out while a
  // stage is drawn (render/TurbCoords.h): room kept from frame to frame, not part of its state.
  double Seconds = 0;
  mutable AGLNrf2 TurbCoords, LargeTurbCoords;
};

// Appends the face's triangles as indices into the joined arrays (its own triangle list, or a fan).
void AppendFaceTriangles(const TQuake3BSP& level, std::size_t face, std::vector<GLuint>& indices);

// Rebuilds the groups' index lists when the marked faces or the surface set changed since the
// last frame; returns the faces this frame counts (VisibleFaceCount's share).
std::int32_t UpdateShadedGroups(const TQuake3BSP& level, TShadedFrame& frame, bool allSurfaces);

// Every visible group's stage values at `seconds`, its deformed positions and its environment
// coordinates seen from `eye`.
void EvaluateShadedFrame(const TQuake3BSP& level, TShadedFrame& frame, const TVector& eye, double seconds);

// The window area (x, y, width, height) the visible sky faces cover in this frame's view: where
// cloud layers can show. Empty without a visible sky face; the whole viewport when one reaches
// behind the eye. Costs one projection per vertex of the visible sky faces.
std::array<GLint, 4> SkyArea(const TQuake3BSP& level, const TShadedFrame& frame);

// The GL state of stage drawing, changed only where a stage differs from the one before.
class TStageState {
 public:
  TStageState();
  void Blend(bool on, GLenum source, GLenum destination);
  void AlphaTest(shaders::TAlphaTest test);
  void Depth(bool write, bool equal);
  void Cull(bool twoSided);
  void Offset(bool on);
  void Colours(const void* array, const float colour[4]);
  void Pointers(const void* positions, const void* coords);
  void TexMatrix(const shaders::TStageValues& values);
  void Texture(GLuint name);
  // Back to the frame's state: no blend, alpha test off, depth as the plain frame, culling on, no
  // offset or colour array, identity texture matrix, white.
  void Finish();

 private:
  bool BlendOn = false;
  GLenum Source = GL_ONE, Destination = GL_ZERO;
  int Alpha = -1;
  bool DepthWrite = true, DepthEqual = false, DepthSet = false;
  bool TwoSided = false, OffsetOn = false, ColourArray = false, MatrixIdentity = true;
  float Colour[4] = {-1, -1, -1, -1};
  const void* PositionArray = nullptr;
  const void* CoordArray = nullptr;
  const void* ColourPointer = nullptr;
  GLuint Bound = ~0u;
  GLint MatrixMode = GL_PROJECTION;
};

// The groups drawn before the sky (sort up to opaque) or after it, in the plans' order.
// With farToNearFrom (--game-stages, the blended groups) the groups are drawn far to near from that
// eye (render/BlendOrder.h) instead of in the plans' sort order.
void DrawShadedGroups(const TQuake3BSP& level, const TShadedFrame& frame, TStageState& state, bool afterSky,
                      const TVector* farToNearFrom = nullptr);
