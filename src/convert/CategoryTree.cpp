#include "convert/CategoryTree.h"

#include <algorithm>
#include <unordered_set>

#include "core/Encoding.h"
#include "core/NumberFormat.h"
#include "text/nqTXTTable.h"

namespace convert {
namespace {

constexpr std::string_view kCategoryFile = "category.txt";
// A tree may always hold this many rows, whatever the size of its list.
constexpr std::size_t kMinTreeRowLimit = 65535;

// Walks the flat list depth first, as a recursion over parents would, but on an explicit stack
// so that a chain of any depth cannot exhaust the call stack.
class TreeBuilder {
 public:
  explicit TreeBuilder(const CategoryList& list) : list_(list), maxRows_(CategoryTree::MaxRows(list.Size())) {}

  CategoryTree Build() {
    // The top categories are the children of the pseudo-parent 0 at depth 0; no category has
    // Id 0, so its ChildCount goes nowhere.
    AddChildCategories(0, 0);
    return std::move(tree_);
  }

 private:
  struct Frame {
    std::int32_t parentId;
    std::int32_t depth;
    std::size_t position;  // the next candidate child in the list
    std::int32_t childCount;
  };

  // Appends the subtree below `parentId` (and below every category in it), then sets each
  // category's ChildCount once its children are listed, exactly in the order of the recursion:
  // a category, its subtree, its next sibling.
  void AddChildCategories(std::int32_t parentId, std::int32_t depth) {
    std::vector<Frame> stack;
    stack.push_back({parentId, depth, list_.FirstOfParent(parentId), 0});
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.position < list_.Size() && list_[frame.position].IdParent == frame.parentId) {
        const CategoryEntry& child = list_[frame.position++];
        if (onPath_.contains(child.Id)) continue;  // a copy of an ancestor: would repeat forever
        if (tree_.Size() >= maxRows_)
          throw ECategoryTreeTooLarge("Дерево категорий больше " + std::to_string(maxRows_) +
                                      " строк: в category.txt повторяются коды категорий");
        ++frame.childCount;
        tree_.Append(child.Id, child.IdParent, child.Name, frame.depth + 1);
        const std::int32_t childDepth = frame.depth + 1;  // `frame` dangles after the push
        onPath_.insert(child.Id);
        stack.push_back({child.Id, childDepth, list_.FirstOfParent(child.Id), 0});
        continue;
      }
      // The count goes to the first row of the Id, from that row's own expansion: later copies
      // of the Id list the same children, except where a cycle left one out below them.
      if (CategoryRow* row = tree_.FindById(frame.parentId); row && !row->ChildCount)
        row->ChildCount = frame.childCount;
      onPath_.erase(frame.parentId);
      stack.pop_back();
    }
  }

  const CategoryList& list_;
  const std::size_t maxRows_;
  CategoryTree tree_;
  std::unordered_set<std::int32_t> onPath_;  // Ids of the categories being expanded
};

}  // namespace

// ---- CategoryList ----

CategoryList::CategoryList(std::vector<CategoryEntry> categories) {
  const core::AnsiCollator collator;
  struct Keyed {
    std::int32_t idParent;
    std::string nameKey;
    std::size_t original;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(categories.size());
  for (std::size_t i = 0; i < categories.size(); ++i) {
    CategoryEntry& entry = categories[i];
    if (entry.Name.size() > kCategoryNameLength) entry.Name.resize(kCategoryNameLength);
    keyed.push_back({entry.IdParent, collator.SortKey(entry.Name), i});
  }
  // Names that collate equal keep their file order.
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    if (a.idParent != b.idParent) return a.idParent < b.idParent;
    if (const int byName = a.nameKey.compare(b.nameKey); byName != 0) return byName < 0;
    return a.original < b.original;
  });
  rows_.reserve(categories.size());
  for (const Keyed& k : keyed) rows_.push_back(std::move(categories[k.original]));
}

std::size_t CategoryList::FirstOfParent(std::int32_t idParent) const {
  const auto it = std::lower_bound(rows_.begin(), rows_.end(), idParent,
                                   [](const CategoryEntry& row, std::int32_t id) { return row.IdParent < id; });
  return static_cast<std::size_t>(it - rows_.begin());
}

CategoryList ReadCategoryList(CategorySource source, const std::string& sourceDir, core::Reporter& reporter) {
  return ReadCategoryListIfComplete(source, sourceDir, reporter).value_or(CategoryList());
}

std::optional<CategoryList> ReadCategoryListIfComplete(CategorySource source, const std::string& sourceDir,
                                                       core::Reporter& reporter) {
  if (source != CategorySource::TextFile) return CategoryList();
  text::TnqTXTTable table(reporter);
  table.Path = sourceDir;
  table.FileName = std::string(kCategoryFile);
  std::vector<CategoryEntry> categories;
  if (table.Open()) {
    table.First();
    if (!table.Eof()) {
      // Every missing column is named once; without all three no category can be placed.
      text::TnqTXTField* id = table.FieldByName("Id");
      text::TnqTXTField* idParent = table.FieldByName("IdParent");
      text::TnqTXTField* name = table.FieldByName("Name");
      if (!id || !idParent || !name) return std::nullopt;
      categories.reserve(static_cast<std::size_t>(table.RecordCount()));
      for (; !table.Eof(); table.Next()) {
        const std::int32_t categoryId = id->AsIntegerDef(0);
        if (categoryId <= 0) continue;
        std::int32_t parent = 0;
        try {
          parent = idParent->AsInteger();
        } catch (const core::EConvertError& e) {
          throw table.WithPlace(e, *idParent);
        }
        categories.push_back({categoryId, parent, name->AsString()});
      }
    }
    table.Close();
  }
  return CategoryList(std::move(categories));
}

// ---- CategoryTree ----

CategoryRow* CategoryTree::FindById(std::int32_t id) {
  const auto it = firstRowOfId_.find(id);
  return it == firstRowOfId_.end() ? nullptr : &rows_[it->second];
}

const CategoryRow* CategoryTree::FindById(std::int32_t id) const {
  const auto it = firstRowOfId_.find(id);
  return it == firstRowOfId_.end() ? nullptr : &rows_[it->second];
}

bool CategoryTree::AddProduct(std::int32_t categoryId) {
  CategoryRow* row = FindById(categoryId);
  if (!row) return false;
  row->ProductCount = row->ProductCount.value_or(0) + 1;
  return true;
}

CategoryRow& CategoryTree::Append(std::int32_t id, std::int32_t idParent, std::string name, std::int32_t level) {
  firstRowOfId_.try_emplace(id, rows_.size());  // a later copy of an Id keeps the first row
  CategoryRow& row = rows_.emplace_back();
  row.IdRow = static_cast<std::int32_t>(rows_.size());
  row.Id = id;
  row.IdParent = idParent;
  row.Name = std::move(name);
  row.Level = level;
  return row;
}

std::size_t CategoryTree::MaxRows(std::size_t listSize) { return std::max(listSize, kMinTreeRowLimit); }

CategoryTree BuildCategoryTree(const CategoryList& list) { return TreeBuilder(list).Build(); }

CategoryTree BuildCategoryTree(CategorySource source, const std::string& sourceDir, core::Reporter& reporter) {
  return BuildCategoryTree(ReadCategoryList(source, sourceDir, reporter));
}

std::string IndentedCategoryName(std::int32_t level, std::string_view name) {
  constexpr std::string_view kBranch = "|-";
  std::string indented;
  indented.reserve(kIndentedCategoryNameLength);
  const auto appendCut = [&](std::string_view part) {
    indented.append(part.substr(0, kIndentedCategoryNameLength - indented.size()));
  };
  if (level > 1) {
    const std::size_t blanks = 3 * static_cast<std::size_t>(level) - 2;
    indented.append(std::min(blanks, kIndentedCategoryNameLength), ' ');
    appendCut(kBranch);
  }
  appendCut(name);
  return indented;
}

}  // namespace convert
