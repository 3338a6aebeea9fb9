// The product category tree: the office's flat list of categories (each with its parent's Id,
// 0 for a top category) turned into the rows the handheld shows as an indented tree, depth
// first, siblings by name, with each row's depth and number of direct subcategories.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/Reporter.h"

namespace convert {

// Where the category builder takes the categories from.
enum class CategorySource {
  None,      // the category tree is built empty
  TextFile,  // category.txt in the source directory
};

// Category names are cut to this many characters when the list is read.
inline constexpr std::size_t kCategoryNameLength = 80;

// One category of the flat list.
struct CategoryEntry {
  std::int32_t Id = 0;
  std::int32_t IdParent = 0;
  std::string Name;  // Windows-1251, at most kCategoryNameLength characters
};

// The flat list ordered by (IdParent, Name without regard to letter case in the user's
// collation); categories whose names collate equal keep their file order.
class CategoryList {
 public:
  // Sorts the categories; names longer than kCategoryNameLength are cut.
  explicit CategoryList(std::vector<CategoryEntry> categories = {});

  std::size_t Size() const { return rows_.size(); }
  bool Empty() const { return rows_.empty(); }
  const CategoryEntry& operator[](std::size_t position) const { return rows_[position]; }
  // The first position whose IdParent is not less than `idParent` (the first child of that
  // parent, or where it would stand); Size() when there is none.
  std::size_t FirstOfParent(std::int32_t idParent) const;

 private:
  std::vector<CategoryEntry> rows_;
};

// Reads category.txt of `sourceDir` (file name matched without regard to letter case): every
// line whose Id is a whole number above 0 gives one category. A missing file or column is
// reported through `reporter` and gives an empty list; an IdParent that is not a whole number
// on such a line raises core::EConvertError. CategorySource::None gives an empty list.
CategoryList ReadCategoryList(CategorySource source, const std::string& sourceDir, core::Reporter& reporter);
// The same, but nothing when the file has records and a column the list needs is missing (each
// missing column reported), so that a caller can stop instead of going on without categories.
std::optional<CategoryList> ReadCategoryListIfComplete(CategorySource source, const std::string& sourceDir,
                                                       core::Reporter& reporter);

struct CategoryRow {
  std::int32_t IdRow = 0;  // 1, 2, 3 ... in display order
  std::int32_t Id = 0;
  std::int32_t IdParent = 0;
  std::string Name;
  std::int32_t Level = 0;  // 1 for a top category
  std::optional<std::int32_t> ProductCount;
  std::optional<std::int32_t> ChildCount;
};

// The tree grew beyond CategoryTree::MaxRows: only repeated category ids can do that.
class ECategoryTreeTooLarge : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class CategoryTree {
 public:
  // Rows in ascending IdRow.
  const std::vector<CategoryRow>& Rows() const { return rows_; }
  std::size_t Size() const { return rows_.size(); }
  bool Empty() const { return rows_.empty(); }

  // The row of a category Id. Where the same Id stands on several rows, it is the first of
  // them (lowest IdRow). nullptr when the Id is not in the tree.
  CategoryRow* FindById(std::int32_t id);
  const CategoryRow* FindById(std::int32_t id) const;
  // Counts one more product for a category (an unset count counts as 0); false when the Id is
  // not in the tree.
  bool AddProduct(std::int32_t categoryId);

  // Appends a row with the next IdRow.
  CategoryRow& Append(std::int32_t id, std::int32_t idParent, std::string name, std::int32_t level);

  // The most rows a tree built from a list of `listSize` categories may have. Without repeated
  // ids a tree never has more rows than the list; repeated ids list a subtree once per copy,
  // which this bound keeps from growing without limit (chains of doubled ids grow
  // exponentially).
  static std::size_t MaxRows(std::size_t listSize);

 private:
  std::vector<CategoryRow> rows_;
  std::unordered_map<std::int32_t, std::size_t> firstRowOfId_;
};

// The tree of a sorted flat list: the top categories (IdParent 0) by name, each followed by its
// subtree. Categories whose chain of parents does not lead to 0 are left out, and so is a
// category below a copy of itself (repeated ids forming a cycle). Raises ECategoryTreeTooLarge
// beyond CategoryTree::MaxRows.
CategoryTree BuildCategoryTree(const CategoryList& list);
// ReadCategoryList, then the tree.
CategoryTree BuildCategoryTree(CategorySource source, const std::string& sourceDir, core::Reporter& reporter);

// The category database holds a row's name with its indent, cut to this length (shorter than the
// names of the category list).
inline constexpr std::size_t kIndentedCategoryNameLength = 60;

// A name as the handheld shows it in the tree: below the top level, 3 x level - 2 blanks and
// "|-" before it; the whole cut to kIndentedCategoryNameLength. Only the part that survives the
// cut is built, so a row thousands of levels deep costs no more than a shallow one.
std::string IndentedCategoryName(std::int32_t level, std::string_view name);

}  // namespace convert
