// The near-to-far order of --fast's batches and of the faces in each: the nearest distance to a
// box, the order worked out, kept while the eye stays within the threshold and worked out again
// past it or when the lists are built again.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render/DrawOrder.h"

namespace {

TBox Box(TVector min, TVector max) {
  TBox box;
  box.Add(min);
  box.Add(max);
  return box;
}

TEST(DrawOrder, NearestDistanceToABox) {
  const TBox box = Box({0, 0, 0}, {10, 20, 30});
  const struct {
    TVector Point;
    float Squared;
  } cases[] = {{{5, 5, 5}, 0}, {{-3, 5, 5}, 9}, {{13, 24, 5}, 25}, {{-1, -2, 32}, 9}, {{10, 20, 30}, 0}};
  for (const auto& c : cases) EXPECT_EQ(NearestDistanceSquared(box, c.Point), c.Squared) << c.Point.X;
  EXPECT_EQ(NearestDistanceSquared(TBox{}, {0, 0, 0}), std::numeric_limits<float>::infinity()) << "empty: farthest";
}

// Three batches along +X at 100, 10 and 50 units; the middle one holds two faces, the farther
// first, and an empty one.
TDrawLists Lists() {
  TDrawLists lists;
  lists.Builds = 1;
  for (const float x : {100.0f, 10.0f, 50.0f}) {
    TDrawBatch batch;
    batch.Box = Box({x, 0, 0}, {x + 5, 5, 5});
    lists.Batches.push_back(batch);
  }
  TDrawBatch& two = lists.Batches[1];
  two.Indices = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  two.Faces = {{Box({14, 0, 0}, {15, 5, 5}), 0, 6}, {Box({10, 0, 0}, {11, 5, 5}), 6, 3}};
  two.LargeFaces = {{Box({12, 0, 0}, {13, 1, 1}), 7, 0}, {Box({10, 0, 0}, {10, 1, 1}), 4, 0}};
  return lists;
}

TEST(DrawOrder, BatchesAndTheirFacesNearToFar) {
  TDrawLists lists = Lists();
  TDrawOrder order;
  EXPECT_TRUE(UpdateDrawOrder(order, lists, {0, 0, 0}));
  EXPECT_EQ(order.Batches, (std::vector<std::uint32_t>{1, 2, 0}));
  const TDrawBatch& two = lists.Batches[1];
  EXPECT_EQ(two.Indices, (std::vector<std::uint32_t>{6, 7, 8, 0, 1, 2, 3, 4, 5})) << "the nearer face's run first";
  EXPECT_EQ(two.Faces[0].First, 0u);
  EXPECT_EQ(two.Faces[0].Count, 3u);
  EXPECT_EQ(two.Faces[1].First, 3u);
  EXPECT_EQ(two.LargeFaces[0].First, 4u) << "large faces near to far too";
  // Seen from the far end the order turns round.
  EXPECT_TRUE(UpdateDrawOrder(order, lists, {200, 0, 0}));
  EXPECT_EQ(order.Batches, (std::vector<std::uint32_t>{0, 2, 1}));
  EXPECT_EQ(lists.Batches[1].Indices, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(DrawOrder, KeptWithinTheThresholdWorkedOutPastItOrForNewLists) {
  TDrawLists lists = Lists();
  TDrawOrder order;
  UpdateDrawOrder(order, lists, {0, 0, 0});
  const float d = kResortDistance;
  const struct {
    TVector Eye;
    bool NewLists, Sorted;
  } steps[] = {{{d - 1, 0, 0}, false, false},   // within: kept, measured from where it was made
               {{0, d - 1, 0}, false, false},   // turning or moving about within: kept
               {{d + 1, 0, 0}, false, true},    // past: worked out again, from here
               {{d + 1, 0, 0}, true, true},     // the lists built again
               {{2 * d, 0, 0}, false, false},
               {{NAN, 0, 0}, false, true}};     // an eye out of range never keeps a stale order
  int sorts = order.Sorts;
  for (const auto& step : steps) {
    if (step.NewLists) ++lists.Builds;
    EXPECT_EQ(UpdateDrawOrder(order, lists, step.Eye), step.Sorted) << step.Eye.X << " " << step.Eye.Y;
    sorts += step.Sorted;
    EXPECT_EQ(order.Sorts, sorts);
    EXPECT_EQ(order.Batches.size(), 3u);
  }
}

}  // namespace
