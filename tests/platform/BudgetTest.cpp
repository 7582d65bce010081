// The run's accountant: each budget taken up to its figure exactly, the byte beyond refused, and
// what was refused told in one line per budget.
#include "platform/Budget.h"

#include <gtest/gtest.h>

using platform::TBudgetKind;

TEST(Budget, TakesUpToItsFigureAndNamesWhatItLeftOut) {
  platform::TBudget budget({.InflatedBytes = 100, .DiskBytes = 10, .Shaders = 2, .TessellationBytes = 3 << 20});
  EXPECT_TRUE(budget.Take(TBudgetKind::Inflated, 60, "a"));
  EXPECT_TRUE(budget.Take(TBudgetKind::Inflated, 40, "b"));
  EXPECT_FALSE(budget.Take(TBudgetKind::Inflated, 1, "c"));
  EXPECT_TRUE(budget.Take(TBudgetKind::Inflated, 0, "nothing"));
  for (const char* name : {"d", "e", "f"}) EXPECT_FALSE(budget.Take(TBudgetKind::Inflated, 1, name));
  EXPECT_EQ(budget.Left(TBudgetKind::Inflated), 0u);
  EXPECT_FALSE(budget.Take(TBudgetKind::ReadFromDisk, 11, "big"));
  EXPECT_TRUE(budget.Take(TBudgetKind::ReadFromDisk, 10, "fits")) << "what is refused is not taken";
  budget.LeftOut(TBudgetKind::Shaders, "the rest of s.shader");
  budget.LeftOut(TBudgetKind::Shaders, "t.shader");
  EXPECT_EQ(budget.TakeWarnings(),
            (std::vector<std::string>{
                "the budget of 100 bytes inflated from archives is spent; left out: c, d, e and 1 more",
                "the budget of 10 bytes read from disk is spent; left out: big",
                "the budget of 2 shaders kept is spent; left out: the rest of s.shader and t.shader"}));
  EXPECT_TRUE(budget.TakeWarnings().empty()) << "told once";

  EXPECT_FALSE(budget.Take(TBudgetKind::Tessellation, (3 << 20) + 1, "face 7"));
  EXPECT_EQ(budget.TakeWarnings(),
            std::vector<std::string>{"the budget of 3 MiB of curved-surface triangles (at most 192 bytes per "
                                     "byte of the level file) is spent; left out: face 7"});
  budget.Restart();
  EXPECT_EQ(budget.Used(TBudgetKind::Inflated), 0u);
  EXPECT_EQ(budget.Left(TBudgetKind::ReadFromDisk), 10u);
  EXPECT_EQ(platform::BudgetFigure(TBudgetKind::Shaders, 65536), "65,536 shaders");
  EXPECT_EQ(platform::BudgetFigure(TBudgetKind::Inflated, 256u << 20), "256 MiB");
}
