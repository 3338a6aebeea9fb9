// The data-set contract, run against two stores: the in-memory store and a store that keeps
// its rows as typed cells of its own, built only on the storage hooks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "core/NumberFormat.h"
#include "dataset/DataSet.h"
#include "dataset/PDBVirtualDataSet.h"

namespace dataset {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A second storage: one typed cell per field, keys counting up from 1000, never reused.
class TRowStore : public TDataSet {
 public:
  using Cell = std::variant<std::monostate, std::string, std::int32_t, std::int64_t, double, bool, core::TDateTime>;
  struct Row {
    std::int64_t key;
    std::vector<Cell> cells;
  };
  std::vector<Row> rows;
  int savedRows = -1;

 protected:
  void InternalSave() override { savedRows = static_cast<int>(rows.size()); }
  bool PostsPendingEditOnClose() const override { return true; }  // saves like the Palm data set
  void InternalClose() override { rows.clear(); }
  int InternalRecordCount() const override { return static_cast<int>(rows.size()); }

  void InternalReadRecord(int position, TRecordBuffer& buffer) override {
    const Row& row = rows.at(static_cast<std::size_t>(position));
    buffer.Reset();
    for (int i = 0; i < FieldCount(); ++i) {
      const Cell& cell = row.cells[static_cast<std::size_t>(i)];
      if (auto* s = std::get_if<std::string>(&cell)) buffer.SetString(i, *s);
      if (auto* n = std::get_if<std::int32_t>(&cell)) buffer.SetInteger(i, *n);
      if (auto* n = std::get_if<std::int64_t>(&cell)) buffer.SetLargeInt(i, *n);
      if (auto* d = std::get_if<double>(&cell)) buffer.SetFloat(i, *d);
      if (auto* b = std::get_if<bool>(&cell)) buffer.SetBoolean(i, *b);
      if (auto* t = std::get_if<core::TDateTime>(&cell)) buffer.SetDateTime(i, *t);
    }
    buffer.Bookmark = row.key;
  }

  int InternalPostRecord(const TRecordBuffer& buffer, TPostKind kind, int position) override {
    std::vector<Cell> cells;
    for (int i = 0; i < FieldCount(); ++i) {
      if (buffer.IsNull(i)) {
        cells.emplace_back();
        continue;
      }
      switch (Fields(i).DataType()) {
        case TFieldType::String:
        case TFieldType::Blob: cells.emplace_back(std::string(buffer.GetString(i))); break;
        case TFieldType::Integer: cells.emplace_back(buffer.GetInteger(i)); break;
        case TFieldType::LargeInt: cells.emplace_back(buffer.GetLargeInt(i)); break;
        case TFieldType::Float: cells.emplace_back(buffer.GetFloat(i)); break;
        case TFieldType::Boolean: cells.emplace_back(buffer.GetBoolean(i)); break;
        case TFieldType::DateTime: cells.emplace_back(buffer.GetDateTime(i)); break;
        default: cells.emplace_back(); break;
      }
    }
    const auto at = rows.begin() + position;
    switch (kind) {
      case TPostKind::Overwrite: at->cells = std::move(cells); return position;
      case TPostKind::Insert: rows.insert(at, Row{nextKey_++, std::move(cells)}); return position;
      case TPostKind::Append: rows.push_back(Row{nextKey_++, std::move(cells)}); return static_cast<int>(rows.size()) - 1;
    }
    return position;
  }

  void InternalDeleteRecord(int position) override { rows.erase(rows.begin() + position); }

  std::optional<int> InternalFindBookmark(std::int64_t bookmark) const override {
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (rows[i].key == bookmark) return static_cast<int>(i);
    return std::nullopt;
  }

 private:
  std::int64_t nextKey_ = 1000;
};

template <typename Store>
class DataSetContract : public ::testing::Test {
 protected:
  void SetUp() override {
    ds.Name = "pt";
    ds.FieldDefs.Add("Name", TFieldType::String, 100);
    ds.FieldDefs.Add("Qty", TFieldType::Integer);
    ds.FieldDefs.Add("Price", TFieldType::Float);
    ds.FieldDefs.Add("Note", TFieldType::Blob);
    ds.Open();
  }

  void Add(const std::string& name, int qty) {
    ds.Append();
    ds.FieldByName("Name").AsString(name);
    ds.FieldByName("Qty").AsInteger(qty);
    ds.Post();
  }

  void AddAbc() {
    Add("abc", 1);
    Add("def", 2);
    Add("ghi", 3);
  }

  std::string Current() { return ds.FieldByName("name").AsString(); }

  std::vector<std::string> Walk() {
    std::vector<std::string> names;
    for (ds.First(); !ds.Eof(); ds.Next()) names.push_back(Current());
    return names;
  }

  std::vector<std::string> WalkBack() {
    std::vector<std::string> names;
    for (ds.Last(); !ds.Bof(); ds.Prior()) names.push_back(Current());
    return names;
  }

  void RejectEvenQty() {
    ds.OnFilterRecord([](TDataSet& d, bool& accept) { accept = d.FieldByName("Qty").AsInteger() % 2 != 0; });
    ds.Filtered(true);
  }

  Store ds;
};

using Stores = ::testing::Types<TPDBVirtualDataSet, TRowStore>;
TYPED_TEST_SUITE(DataSetContract, Stores);

TYPED_TEST(DataSetContract, EmptyDataSetIsAtBothEnds) {
  auto& ds = this->ds;
  EXPECT_TRUE(ds.Eof());
  EXPECT_TRUE(ds.Bof());
  EXPECT_EQ(ds.RecordCount(), 0);
  EXPECT_EQ(ds.RecNo(), 0);
  ds.Next();
  ds.Prior();
  EXPECT_TRUE(ds.Eof() && ds.Bof());
  EXPECT_TRUE(ds.FieldByName("Qty").IsNull());
  EXPECT_FALSE(ds.GetBookmark());
  EXPECT_FALSE(ds.Locate("Name", "x"));
  EXPECT_THAT([&] { ds.Delete(); }, ::testing::ThrowsMessage<EDatabaseError>(HasSubstr("pt: No data found")));
}

TYPED_TEST(DataSetContract, AppendsKeepOrderAndLeaveCursorOnLast) {
  auto& ds = this->ds;
  this->AddAbc();
  EXPECT_EQ(ds.RecordCount(), 3);
  EXPECT_EQ(this->Current(), "ghi");
  EXPECT_EQ(ds.RecNo(), 3);
  EXPECT_FALSE(ds.Eof());
  EXPECT_THAT(this->Walk(), ElementsAre("abc", "def", "ghi"));
  EXPECT_THAT(this->WalkBack(), ElementsAre("ghi", "def", "abc"));
  // Past either end the current record stays.
  EXPECT_TRUE(ds.Bof());
  EXPECT_FALSE(ds.Eof());
  EXPECT_EQ(this->Current(), "abc");
  ds.Last();
  ds.Next();
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(this->Current(), "ghi");
}

TYPED_TEST(DataSetContract, InsertGoesAtCurrentPosition) {
  auto& ds = this->ds;
  ds.Insert();  // no current record: position 0
  ds.FieldByName("Name").AsString("first");
  ds.Post();
  this->Add("last", 9);
  ds.First();
  ds.Next();  // on "last"
  ds.Insert();
  EXPECT_EQ(ds.RecNo(), 2);
  ds.FieldByName("Name").AsString("middle");
  ds.Post();
  EXPECT_EQ(this->Current(), "middle");
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_THAT(this->Walk(), ElementsAre("first", "middle", "last"));
}

TYPED_TEST(DataSetContract, EditCancelAndPost) {
  auto& ds = this->ds;
  this->AddAbc();
  ds.First();
  ds.Edit();
  EXPECT_EQ(ds.State(), TDataSetState::Edit);
  ds.FieldByName("Name").AsString("changed");
  EXPECT_TRUE(ds.Modified());
  ds.Cancel();
  EXPECT_EQ(ds.State(), TDataSetState::Browse);
  EXPECT_EQ(this->Current(), "abc");

  ds.Edit();
  ds.FieldByName("Name").AsString("posted");
  ds.Post();
  EXPECT_EQ(this->Current(), "posted");
  EXPECT_EQ(ds.RecNo(), 1);

  // Moving on posts a changed record and drops an unchanged insert.
  ds.Edit();
  ds.FieldByName("Qty").AsInteger(77);
  ds.Next();
  ds.Append();
  ds.Next();
  EXPECT_EQ(ds.RecordCount(), 3);
  ds.First();
  EXPECT_EQ(ds.FieldByName("Qty").AsInteger(), 77);

  // Cancelling an append leaves the previous record current.
  ds.Last();
  ds.Append();
  ds.FieldByName("Name").AsString("dropped");
  ds.Cancel();
  EXPECT_EQ(this->Current(), "ghi");
  EXPECT_EQ(ds.RecordCount(), 3);
}

TYPED_TEST(DataSetContract, WritesNeedEditStateAndWritableField) {
  auto& ds = this->ds;
  this->AddAbc();
  EXPECT_THAT([&] { ds.FieldByName("Name").AsString("x"); },
              ::testing::ThrowsMessage<EDatabaseError>(::testing::StrEq("pt: Dataset not in edit or insert mode")));
  EXPECT_THROW(ds.FieldByName("Qty").Clear(), EDatabaseError);
  ds.FieldByName("Qty").ReadOnly = true;
  ds.Edit();
  EXPECT_THAT([&] { ds.FieldByName("Qty").AsInteger(5); },
              ::testing::ThrowsMessage<EDatabaseError>(::testing::StrEq("Field 'Qty' cannot be modified")));
  EXPECT_FALSE(ds.Modified());
}

TYPED_TEST(DataSetContract, FieldByNameIgnoresCase) {
  auto& ds = this->ds;
  EXPECT_EQ(&ds.FieldByName("QTY"), &ds.FieldByName("qty"));
  EXPECT_EQ(ds.FieldByName("qTy").Index(), 1);
  EXPECT_EQ(ds.FindField("missing"), nullptr);
  EXPECT_THAT([&] { ds.FieldByName("Nope"); },
              ::testing::ThrowsMessage<EDatabaseError>(::testing::StrEq("pt: Field 'Nope' not found")));
  ds.Name.clear();
  EXPECT_THAT([&] { ds.FieldByName("Nope"); },
              ::testing::ThrowsMessage<EDatabaseError>(::testing::StrEq("Field 'Nope' not found")));
  ds.Close();
  EXPECT_EQ(ds.FindField("Qty"), nullptr);  // fields live only while open
}

TYPED_TEST(DataSetContract, LocateMovesOrKeepsCursor) {
  auto& ds = this->ds;
  this->AddAbc();
  ds.First();
  EXPECT_TRUE(ds.Locate("Name", "ghi"));
  EXPECT_EQ(ds.RecNo(), 3);
  EXPECT_FALSE(ds.Locate("Name", "zzz"));
  EXPECT_EQ(ds.RecNo(), 3);
  EXPECT_FALSE(ds.Locate("Name", "ab"));
  EXPECT_TRUE(ds.Locate("Name", "ab", {.PartialKey = true}));
  EXPECT_EQ(this->Current(), "abc");
  EXPECT_FALSE(ds.Locate("name", "DEF"));
  EXPECT_TRUE(ds.Locate("name", "DEF", {.CaseInsensitive = true}));
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_TRUE(ds.Locate("Qty", 3));
  EXPECT_TRUE(ds.Locate("Name;Qty", {"abc", 1}));
  EXPECT_FALSE(ds.Locate("Name;Qty", {"abc", 2}));
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_TRUE(ds.Locate("Price", nullptr));  // null matches null
  EXPECT_THROW(ds.Locate("Name;Qty", "abc"), EDatabaseError);
  EXPECT_THROW(ds.Locate("Nope", "abc"), EDatabaseError);
}

TYPED_TEST(DataSetContract, LocateEndsPendingEditAndRunsScrollEvents) {
  auto& ds = this->ds;
  this->AddAbc();
  int before = 0, after = 0;
  ds.BeforeScroll = [&](TDataSet&) { ++before; };
  ds.AfterScroll = [&](TDataSet&) { ++after; };
  ds.First();
  ds.Edit();
  ds.FieldByName("Name").AsString("xyz");
  EXPECT_TRUE(ds.Locate("Name", "def"));
  EXPECT_EQ(ds.State(), TDataSetState::Browse);
  EXPECT_TRUE(ds.Locate("Name", "xyz"));
  EXPECT_FALSE(ds.Locate("Name", "none"));
  EXPECT_EQ(before, 4);
  EXPECT_EQ(after, 3);
}

TYPED_TEST(DataSetContract, DeleteKeepsPositionOrMovesToNewLast) {
  auto& ds = this->ds;
  this->AddAbc();
  ds.Delete();  // the last of three
  EXPECT_EQ(this->Current(), "def");
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_EQ(ds.RecordCount(), 2);
  this->Add("jkl", 4);
  this->Add("mno", 5);
  ds.RecNo(2);
  ds.Delete();  // a middle one: the next record moves into its place
  EXPECT_EQ(this->Current(), "jkl");
  EXPECT_EQ(ds.RecNo(), 2);
  ds.First();
  ds.Delete();
  EXPECT_EQ(this->Current(), "jkl");
  ds.Delete();
  EXPECT_EQ(this->Current(), "mno");
  ds.Delete();
  EXPECT_EQ(ds.RecordCount(), 0);
  EXPECT_TRUE(ds.Eof() && ds.Bof());
  // Delete during an insert only drops the new record.
  this->Add("one", 1);
  ds.Append();
  ds.Delete();
  EXPECT_EQ(ds.RecordCount(), 1);
  EXPECT_EQ(this->Current(), "one");
}

TYPED_TEST(DataSetContract, FilteredNavigationSkipsRejectedRecords) {
  auto& ds = this->ds;
  for (int i = 1; i <= 6; ++i) this->Add("r" + std::to_string(i), i);
  this->RejectEvenQty();
  EXPECT_EQ(this->Current(), "r1");  // switching the filter on moved to the first record
  EXPECT_THAT(this->Walk(), ElementsAre("r1", "r3", "r5"));
  EXPECT_THAT(this->WalkBack(), ElementsAre("r5", "r3", "r1"));
  EXPECT_EQ(ds.RecordCount(), 6);
  ds.RecNo(2);  // rejected: no move
  EXPECT_EQ(this->Current(), "r1");
  ds.RecNo(5);
  EXPECT_EQ(this->Current(), "r5");
  EXPECT_FALSE(ds.Locate("Name", "r4"));
  EXPECT_EQ(this->Current(), "r5");

  // Deleting moves back to the nearest accepted record.
  ds.Delete();
  EXPECT_EQ(this->Current(), "r3");
  ds.First();
  ds.Delete();
  EXPECT_EQ(this->Current(), "r3");  // nothing accepted before it: the next one
  ds.Filtered(false);
  EXPECT_THAT(this->Walk(), ElementsAre("r2", "r3", "r4", "r6"));

  // A filter that rejects everything leaves no current record.
  ds.OnFilterRecord([](TDataSet&, bool& accept) { accept = false; });
  ds.Filtered(true);
  EXPECT_TRUE(ds.Eof() && ds.Bof());
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_EQ(ds.FieldByName("Name").AsString(), "");
}

TYPED_TEST(DataSetContract, FilterExceptionGoesToApplicationHandler) {
  auto& ds = this->ds;
  this->AddAbc();
  std::vector<std::string> shown;
  ds.OnApplicationException = [&](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      shown.push_back(e.what());
    }
  };
  ds.OnFilterRecord([](TDataSet& d, bool& accept) {
    if (d.FieldByName("Qty").AsInteger() == 2) {
      accept = false;
      throw std::runtime_error("filter failed");
    }
  });
  ds.Filtered(true);
  EXPECT_THAT(this->Walk(), ElementsAre("abc", "ghi"));  // the flag as the callback left it
  EXPECT_THAT(shown, ElementsAre("filter failed"));

  // Without a handler the exception propagates and the cursor stays where it was.
  ds.OnApplicationException = nullptr;
  ds.First();
  EXPECT_THROW(ds.Next(), std::runtime_error);
  EXPECT_EQ(this->Current(), "abc");
}

TYPED_TEST(DataSetContract, BookmarksSurviveOtherDeletes) {
  auto& ds = this->ds;
  this->AddAbc();
  ds.First();
  const TBookmark first = ds.GetBookmark();
  ds.Last();
  const TBookmark last = ds.GetBookmark();
  ds.Prior();
  const TBookmark middle = ds.GetBookmark();
  ASSERT_TRUE(first && last && middle);
  EXPECT_LT(TDataSet::CompareBookmarks(first, last), 0);
  EXPECT_EQ(TDataSet::CompareBookmarks(last, last), 0);
  EXPECT_LT(TDataSet::CompareBookmarks(std::nullopt, first), 0);
  EXPECT_EQ(TDataSet::CompareBookmarks(std::nullopt, std::nullopt), 0);

  ds.Delete();  // the middle one
  EXPECT_FALSE(ds.BookmarkValid(middle));
  EXPECT_THAT([&] { ds.GotoBookmark(middle); }, ::testing::ThrowsMessage<EDatabaseError>(HasSubstr("Record not found")));
  ds.First();
  ds.Insert();
  ds.FieldByName("Name").AsString("new");
  ds.Post();
  EXPECT_TRUE(ds.BookmarkValid(last));
  ds.GotoBookmark(last);
  EXPECT_EQ(this->Current(), "ghi");
  ds.GotoBookmark(first);
  EXPECT_EQ(this->Current(), "abc");
  EXPECT_EQ(ds.RecNo(), 2);

  // A bookmark of a rejected record does not move the cursor.
  ds.OnFilterRecord([](TDataSet& d, bool& accept) { accept = d.FieldByName("Name").AsString() != "ghi"; });
  ds.Filtered(true);
  ds.GotoBookmark(last);
  EXPECT_EQ(this->Current(), "new");
  ds.Close();
  EXPECT_FALSE(ds.BookmarkValid(first));
}

TYPED_TEST(DataSetContract, RecNoMovesOnlyWithinRange) {
  auto& ds = this->ds;
  this->AddAbc();
  ds.RecNo(2);
  EXPECT_EQ(this->Current(), "def");
  ds.RecNo(0);
  ds.RecNo(4);
  EXPECT_EQ(ds.RecNo(), 2);
  ds.Append();
  EXPECT_EQ(ds.RecNo(), 4);
}

TYPED_TEST(DataSetContract, CloseEndsPendingEditAndFreesRecords) {
  auto& ds = this->ds;
  this->AddAbc();
  ds.Append();
  ds.FieldByName("Name").AsString("pending");
  ds.Close();
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.RecordCount(), 0);
  if constexpr (std::is_same_v<TypeParam, TRowStore>) {
    EXPECT_EQ(ds.savedRows, 4);  // a store that saves on close keeps the pending record
  }
  EXPECT_THAT([&] { ds.Next(); }, ::testing::ThrowsMessage<EDatabaseError>(
                                     ::testing::StrEq("pt: Cannot perform this operation on a closed dataset")));
  ds.Open();
  EXPECT_EQ(ds.RecordCount(), 0);
}

TYPED_TEST(DataSetContract, ControlsDisabledSuppressNotifications) {
  auto& ds = this->ds;
  std::vector<std::string> seen;
  ds.OnDataChange = [&](TDataSet&, const TField* field) { seen.push_back(field ? field->FieldName() : "*"); };
  ds.DisableControls();
  ds.DisableControls();
  this->AddAbc();
  ds.EnableControls();
  EXPECT_TRUE(seen.empty());
  ds.EnableControls();
  EXPECT_THAT(seen, ElementsAre("*"));
  seen.clear();
  ds.Edit();
  ds.FieldByName("Qty").AsInteger(4);
  EXPECT_THAT(seen, ElementsAre("*", "Qty"));
}

// The events of opening and the two failure paths of opening.
TEST(DataSetOpen, UnknownFieldTypeLeavesDataSetClosed) {
  TPDBVirtualDataSet ds;
  ds.Name = "pt";
  ds.FieldDefs.Add("Id", TFieldType::Integer);
  ds.FieldDefs.Add("Odd", TFieldType::Unknown);
  EXPECT_THAT([&] { ds.Open(); },
              ::testing::ThrowsMessage<EDatabaseError>(::testing::StrEq("Field 'Odd' is of an unknown type")));
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.FieldCount(), 0);
}

TEST(DataSetOpen, FieldDefsRefuseDuplicatesAndNegativeSizes) {
  TFieldDefs defs;
  defs.Add("Name", TFieldType::String, 10);
  EXPECT_THROW(defs.Add("NAME", TFieldType::Integer), EDatabaseError);
  EXPECT_THROW(defs.Add("Other", TFieldType::String, -1), EDatabaseError);
  EXPECT_EQ(defs.Count(), 1);
  EXPECT_EQ(defs.Find("name")->Size, 10);
}

}  // namespace
}  // namespace dataset
