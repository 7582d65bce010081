#pragma once
// --fast draws its opaque batches (and the faces in each) near to far, so that the depth test turns away the fragments of
// farther surfaces before they fetch texels (on llvmpipe most of a frame's time). The order is by
// each batch's box's nearest point to the eye; it is worked out again only when the eye has moved
// more than kResortDistance since it last was, or the lists were built again, and kept in the
// render cache between frames otherwise. The nearest distance does not depend on where the camera
// looks, so turning keeps the order.
#include <cstdint>
#include <vector>

#include "genom/genom.h"
#include "level/DrawLists.h"

// Level units the eye may move before the order is worked out again: a stale order only costs
// some fragments, never a pixel (opaque surfaces with the depth test give the same picture in any
// order).
inline constexpr float kResortDistance = 32.0f;

struct TDrawOrder {
  std::vector<std::uint32_t> Batches;  // indices into TDrawLists::Batches, near to far
  TVector Eye{};                       // where the order was worked out
  std::int32_t ListBuilds = -1;        // TDrawLists::Builds it was worked out for
  std::int32_t Sorts = 0;              // how often it was worked out
  std::vector<std::uint32_t> Scratch;  // a batch's indices while they are put in order
};

// The squared distance from `point` to the box's nearest point (0 inside); an empty box is
// farthest of all.
float NearestDistanceSquared(const TBox& box, const TVector& point);

// Brings the order up to date for the eye: works it out again (returns true) when the lists
// changed or the eye moved more than kResortDistance, else keeps it.
// Each batch's face runs (and large faces) are put near to far too, its indices rewritten in that
// order: a batch drawn whole is then drawn near to far as well.
bool UpdateDrawOrder(TDrawOrder& order, TDrawLists& lists, const TVector& eye);
