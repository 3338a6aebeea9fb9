#include "convert/CategoryTree.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/Encoding.h"
#include "core/NumberFormat.h"
#include "support/RecordingReporter.h"
#include "support/TempDir.h"

namespace convert {
namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;

// (Id, Name, Level, ChildCount or -1 when unset) per row, in IdRow order.
using Shape = std::vector<std::tuple<int, std::string, int, int>>;

Shape ShapeOf(const CategoryTree& tree) {
  Shape out;
  for (std::size_t i = 0; i < tree.Size(); ++i) {
    const CategoryRow& row = tree.Rows()[i];
    EXPECT_EQ(row.IdRow, static_cast<int>(i) + 1);
    out.emplace_back(row.Id, core::AnsiToUtf8(row.Name), row.Level, row.ChildCount.value_or(-1));
  }
  return out;
}

class CategoryTreeTest : public ::testing::Test {
 protected:
  // Builds the tree of a category.txt made of the given lines under the header Id;IdParent;Name.
  CategoryTree TreeOf(const std::vector<std::string>& lines, std::string header = "Id;IdParent;Name") {
    std::string content = header + "\r\n";
    for (const auto& line : lines) content += line + "\r\n";
    dir.WriteFile("category.txt", core::Utf8ToAnsi(content));
    return BuildCategoryTree(CategorySource::TextFile, dir.Str(), reporter);
  }

  ScopedEnv locale{"LC_ALL", "ru_RU.UTF-8"};
  TempDir dir;
  testsupport::RecordingReporter reporter;
};

TEST_F(CategoryTreeTest, FiveCategoriesInDisplayOrder) {
  const auto tree = TreeOf({"1;0;b", "2;0;A", "3;1;x", "4;2;y", "5;2;C"});
  EXPECT_EQ(ShapeOf(tree), (Shape{{2, "A", 1, 2}, {5, "C", 2, 0}, {4, "y", 2, 0}, {1, "b", 1, 1}, {3, "x", 2, 0}}));
  EXPECT_EQ(tree.Rows()[1].IdParent, 2);
  EXPECT_FALSE(tree.Rows()[0].ProductCount.has_value());
  EXPECT_TRUE(reporter.entries.empty());
}

TEST_F(CategoryTreeTest, CategoriesWhoseParentsDoNotLeadToTheTopAreLeftOut) {
  const auto tree = TreeOf({
      "1;0;Top",
      "2;7;Orphan",  // no category 7: left out with its subtree
      "3;2;Below orphan",
      "0;1;Zero id",  // skipped
      "7x;1;Bad id",  // not a whole number: skipped, and its children are orphans
      "8;7;Child of bad",
      "9;9;Self",
      "10;11;Cycle a",
      "11;10;Cycle b",
      "12;-1;Negative",
      "13;1;Child",
  });
  EXPECT_EQ(ShapeOf(tree), (Shape{{1, "Top", 1, 1}, {13, "Child", 2, 0}}));
}

TEST_F(CategoryTreeTest, DuplicateIdsListTheChildrenUnderEachCopyAndCountOnTheFirst) {
  auto tree = TreeOf({"1;0;a", "2;0;b", "3;1;dup under a", "3;2;dup under b", "4;3;leaf"});
  EXPECT_EQ(ShapeOf(tree), (Shape{{1, "a", 1, 1},
                                  {3, "dup under a", 2, 1},
                                  {4, "leaf", 3, 0},
                                  {2, "b", 1, 1},
                                  {3, "dup under b", 2, -1},
                                  {4, "leaf", 3, -1}}));
  ASSERT_NE(tree.FindById(3), nullptr);
  EXPECT_EQ(tree.FindById(3)->IdRow, 2);
  EXPECT_TRUE(tree.AddProduct(3));
  EXPECT_TRUE(tree.AddProduct(3));
  EXPECT_TRUE(tree.AddProduct(1));
  EXPECT_FALSE(tree.AddProduct(99));
  EXPECT_EQ(tree.Rows()[1].ProductCount, 2);
  EXPECT_EQ(tree.Rows()[0].ProductCount, 1);
  EXPECT_FALSE(tree.Rows()[4].ProductCount.has_value());
  EXPECT_EQ(tree.FindById(99), nullptr);
}

TEST_F(CategoryTreeTest, RepeatedIdsNeverPlaceACategoryBelowItself) {
  // Recursing over these would never end: a -> b -> a again -> b ...
  EXPECT_EQ(ShapeOf(TreeOf({"1;0;a", "2;1;b", "1;2;a again"})), (Shape{{1, "a", 1, 1}, {2, "b", 2, 0}}));
  EXPECT_EQ(ShapeOf(TreeOf({"5;0;t", "5;5;copy under itself"})), (Shape{{5, "t", 1, 0}}));
}

TEST_F(CategoryTreeTest, DoubledIdsOnEveryLevelStopAtTheRowLimit) {
  // Two rows per id on each of 30 levels would list 2^31 rows.
  std::vector<std::string> lines;
  for (int level = 1; level <= 30; ++level)
    for (int copy = 0; copy < 2; ++copy) lines.push_back(std::to_string(level) + ";" + std::to_string(level - 1) + ";n");
  EXPECT_THROW(TreeOf(lines), ECategoryTreeTooLarge);
}

TEST_F(CategoryTreeTest, EmptyTrees) {
  EXPECT_TRUE(TreeOf({"1;2;a", "2;1;b"}).Empty());  // nothing has parent 0
  EXPECT_TRUE(TreeOf({}).Empty());
  EXPECT_TRUE(BuildCategoryTree(CategorySource::None, dir.Str(), reporter).Empty());
  EXPECT_TRUE(reporter.entries.empty());

  TempDir empty;
  EXPECT_TRUE(BuildCategoryTree(CategorySource::TextFile, empty.Str(), reporter).Empty());
  EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"Файл \"" + empty.Str() + "/category.txt\" не найден"});
}

TEST_F(CategoryTreeTest, MissingColumnIsReportedAndGivesAnEmptyTree) {
  EXPECT_TRUE(TreeOf({"1;0;a"}, "Id;Parent;Name").Empty());
  EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"Поля \"IdParent\" нет в таблице category.txt"});
}

TEST_F(CategoryTreeTest, NonNumericParentOfAKeptCategoryStopsTheBuild) {
  EXPECT_NO_THROW(TreeOf({"1;0;a", "0;x;skipped line"}));
  try {
    TreeOf({"1;0;a", "2;x;b"});
    FAIL() << "no error";
  } catch (const core::EConvertError& e) {
    EXPECT_TRUE(std::string(e.what()).starts_with("'x' is not a valid integer value\n")) << e.what();
  }
}

TEST_F(CategoryTreeTest, SiblingsByNameInTheLocaleIgnoringCaseAndNamesCutTo80) {
  const std::string longName(100, 'z');
  const auto tree = TreeOf({"1;0;жук", "2;0;Ёж", "3;0;дом", "4;0;Apple", "5;0;ДОМ", "6;0;" + longName, "7;0;apple"});
  std::vector<int> ids;
  for (const auto& row : tree.Rows()) ids.push_back(row.Id);
  // Cyrillic before Latin in Russian; equal names apart from case keep their file order.
  EXPECT_EQ(ids, (std::vector<int>{3, 5, 2, 1, 4, 7, 6}));
  EXPECT_EQ(tree.Rows().back().Name, std::string(80, 'z'));
}

TEST(CategoryTreeDepth, ChainOfHundredThousandLevels) {
  constexpr int kDepth = 100000;
  std::vector<CategoryEntry> chain;
  for (int id = kDepth; id >= 1; --id) chain.push_back({id, id - 1, "c" + std::to_string(id)});
  const CategoryList list(std::move(chain));
  EXPECT_EQ(list.FirstOfParent(0), 0u);
  EXPECT_EQ(list.FirstOfParent(kDepth), list.Size());

  const auto tree = BuildCategoryTree(list);
  ASSERT_EQ(tree.Size(), static_cast<std::size_t>(kDepth));
  for (int i = 0; i < kDepth; ++i) {
    const CategoryRow& row = tree.Rows()[static_cast<std::size_t>(i)];
    ASSERT_EQ(row.Id, i + 1);
    ASSERT_EQ(row.Level, i + 1);
    ASSERT_EQ(row.ChildCount, i + 1 < kDepth ? 1 : 0);
  }
}

TEST(IndentedCategoryName, IndentAndNameCutTogether) {
  const std::string name58(58, 'n');
  const struct {
    std::int32_t level;
    std::string name;
    std::string expected;
  } cases[] = {
      {1, "Top", "Top"},
      {1, std::string(70, 'a'), std::string(60, 'a')},
      {2, "x", "    |-x"},
      {3, name58, "       |-" + name58.substr(0, 51)},
      {20, "lost", std::string(58, ' ') + "|-"},  // the indent alone fills the field
      {21, "lost", std::string(60, ' ')},         // even the branch is cut
      {65000, "deep", std::string(60, ' ')},
  };
  for (const auto& c : cases) EXPECT_EQ(IndentedCategoryName(c.level, c.name), c.expected) << "level " << c.level;
}

}  // namespace
}  // namespace convert
