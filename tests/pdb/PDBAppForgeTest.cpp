#include "pdb/PDBAppForge.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "PDBEngineTestSupport.h"
#include "pdb/PDBDataSet.h"
#include "core/NumberFormat.h"

namespace pdb {
namespace {

using pdbtest::B;
using pdbtest::ExpectPDBError;

core::TDateTime At(int y, int mo, int d, int h, int mi, int s) {
  return core::TDateTime::FromParts({y, mo, d, h, mi, s, 0}).value();
}

void Define(TPDBAppForge& db, const std::vector<std::pair<std::string, TPDBAFFieldType>>& fields) {
  db.Fields().Clear();
  for (const auto& [name, type] : fields) {
    auto& field = db.Fields().Add();
    field.SetFieldName(name);
    field.SetDataType(type);
  }
}

// A well-formed AppInfo block for a name and fields, built by the engine itself.
core::Bytes BlockFor(const std::string& name, const std::vector<std::pair<std::string, TPDBAFFieldType>>& fields) {
  TPDBAppForge db;
  Define(db, fields);
  return db.BuildAppInfoBlock(name);
}

// A file whose AppInfo block is `block`, with the given records.
core::Bytes FileWithAppInfo(const core::Bytes& block, std::vector<core::Bytes> records = {}) {
  pdbtest::FileSpec spec;
  spec.between = block;
  spec.appInfoOffset = block.empty() ? 0 : static_cast<std::uint32_t>(80 + 8 * records.size());
  spec.records = std::move(records);
  if (spec.records.empty()) spec.appInfoOffset = block.empty() ? 0 : 80;
  return pdbtest::BuildFile(spec);
}

TEST(PDBAppForge, ReopensWithoutDeclaredFieldsAndTheHeaderTakesTheFileName) {
  testsupport::TempDir dir;
  {
    TPDBAppForge db;
    Define(db, {{"Amount", AFLong}, {"Customer", AFString}});
    pdbtest::PrepareWrite(db, dir, "Kestor_Orders.pdb", "OrdersDB");
    db.BeginAppend();
    db.Fields()[0].SetAsLong(-42);
    db.Fields()[1].SetAsString("Acme");
    db.Post();
    db.Close();
  }
  const auto file = dir.ReadBytes("Kestor_Orders.pdb");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data())), "Kestor_Orders");
  EXPECT_EQ(pdbtest::RecordOf(file, 0), B({0xFF, 0xFF, 0xFF, 0xD6, 'A', 'c', 'm', 'e', 0}));

  TPDBAppForge db;
  pdbtest::PrepareRead(db, dir, "Kestor_Orders.pdb");
  EXPECT_EQ(db.DatabaseName(), "OrdersDB");
  ASSERT_EQ(db.Fields().Count(), 2u);
  EXPECT_EQ(db.Fields()[0].FieldName(), "Amount");
  EXPECT_EQ(db.Fields()[0].DataType(), AFLong);
  EXPECT_EQ(db.Fields()[1].FieldName(), "Customer");
  EXPECT_EQ(db.Fields()[1].DataType(), AFString);
  EXPECT_EQ(db.Fields()[0].AsLong(), -42);
  EXPECT_EQ(db.Fields()[1].AsString(), "Acme");
}

TEST(PDBAppForge, AppInfoBlockLayout) {
  const auto block = BlockFor("Orders", {{"Id", AFLong}, {"Sum", AFCurrency}});
  // 300 + 6 * 2 + "Orders\0" + "Id\0" + "Sum\0"
  ASSERT_EQ(block.size(), 300u + 12 + 7 + 3 + 4);
  core::BigEndianReader in(block);
  EXPECT_EQ(in.U16(), 0);
  in.Seek(258);
  EXPECT_EQ(in.Take(17)[16], 15);  // the last unique ID of a new database
  EXPECT_EQ(in.U8(), 0);
  EXPECT_EQ(core::AsText(in.Take(8)), "APPFORG2");
  EXPECT_EQ(in.U32(), 0u);
  EXPECT_EQ(in.U16(), block.size() - 276);
  EXPECT_EQ(in.U16(), 24 + 6 * 2);
  EXPECT_EQ(in.U16(), 2);
  EXPECT_EQ(in.U16(), 10);
  EXPECT_EQ(in.U32(), 0u);
  // Descriptors: name position from offset 276, type + 1, 0. The first name follows the
  // database name at 6n + name length + 25.
  EXPECT_EQ(in.U16(), 6 * 2 + 6 + 25);
  EXPECT_EQ(in.U16(), AFLong + 1);
  EXPECT_EQ(in.U16(), 0);
  EXPECT_EQ(in.U16(), 6 * 2 + 6 + 25 + 3);
  EXPECT_EQ(in.U16(), AFCurrency + 1);
  EXPECT_EQ(in.U16(), 0);
  EXPECT_EQ(in.ZeroTerminated(), "Orders");
  EXPECT_EQ(in.ZeroTerminated(), "Id");
  EXPECT_EQ(in.ZeroTerminated(), "Sum");
  EXPECT_EQ(in.Remaining(), 0u);
}

TEST(PDBAppForge, ValueForms) {
  testsupport::TempDir dir;
  {
    TPDBAppForge db;
    Define(db, {{"D", AFDate}, {"E", AFDate}, {"C", AFCurrency}, {"B", AFBoolean}});
    pdbtest::PrepareWrite(db, dir);
    db.BeginAppend();
    db.Fields()[0].SetAsDate(At(1904, 1, 1, 0, 0, 1));
    db.Fields()[2].SetAsCurrency(125000);
    db.Fields()[3].SetAsBoolean(true);
    db.Post();
    db.Close();
  }
  EXPECT_EQ(pdbtest::RecordOf(dir.ReadBytes("db.pdb"), 0),
            B({0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0xE8, 0x48, 0xFF}));

  TPDBAppForge db;
  pdbtest::PrepareRead(db, dir);
  EXPECT_EQ(db.Fields()[0].AsDate(), At(1904, 1, 1, 0, 0, 1));
  EXPECT_TRUE(db.Fields()[1].AsDate().IsZero());
  EXPECT_EQ(db.Fields()[2].AsCurrency(), 125000);
  EXPECT_EQ(db.Fields()[2].AsDouble(), 12.5);
  EXPECT_TRUE(db.Fields()[3].AsBoolean());
}

TEST(PDBAppForge, DatesBeyondThirtyTwoBitsAreRefused) {
  testsupport::TempDir dir;
  TPDBAppForge db;
  Define(db, {{"D", AFDate}});
  pdbtest::PrepareWrite(db, dir);
  db.BeginAppend();
  db.Fields()[0].SetAsDate(At(2040, 2, 6, 6, 28, 15));  // 0xFFFFFFFF seconds
  db.Post();
  db.BeginAppend();
  db.Fields()[0].SetAsDate(At(2040, 2, 6, 6, 28, 16));
  EXPECT_THROW(db.Post(), core::EConvertError);
  EXPECT_EQ(db.RecordCount(), 1);
}

TEST(PDBAppForge, CurrencyIsCountedInTenThousandths) {
  TPDBAFField field;
  field.SetDataType(AFCurrency);
  field.SetAsDouble(12.5);
  EXPECT_EQ(field.AsCurrency(), 125000);
  field.SetAsDouble(0.00005);  // half a ten-thousandth: ties go to even
  EXPECT_EQ(field.AsCurrency(), 0);
  field.SetAsDouble(-0.000251);
  EXPECT_EQ(field.AsCurrency(), -3);
  field.SetAsCurrency(922337203685477LL * 10000);  // whole amounts stay exact
  EXPECT_EQ(field.AsCurrency(), 922337203685477LL * 10000);
  field.SetAsDouble(1e300);
  EXPECT_THROW((void)field.AsCurrency(), core::EConvertError);
}

TEST(PDBAppForge, CurrencyKeepsEverySixtyFourBitCount) {
  struct Case {
    TAFCurrency count;
    const char* text;
  };
  const std::vector<Case> cases = {
      {9007199254740993, "900719925474,0993"},  // 2^53 + 1
      {-9007199254740993, "-900719925474,0993"},
      {std::numeric_limits<TAFCurrency>::max(), "922337203685477,5807"},
      {std::numeric_limits<TAFCurrency>::min(), "-922337203685477,5808"},
      {125000, "12,5"},
      {-30000, "-3"},
      {5, "0,0005"},
  };
  testsupport::TempDir dir;
  {
    TPDBAppForge db;
    Define(db, {{"Money", AFCurrency}});
    pdbtest::PrepareWrite(db, dir);
    for (const auto& c : cases) {
      db.BeginAppend();
      db.Fields()[0].SetAsCurrency(c.count);
      db.Post();
    }
    db.Close();
  }
  const auto file = dir.ReadBytes("db.pdb");
  TPDBAppForge db;
  pdbtest::PrepareRead(db, dir);
  for (std::size_t i = 0; i < cases.size(); ++i, db.Next()) {
    SCOPED_TRACE(cases[i].text);
    core::Bytes stored;
    core::BigEndianWriter(stored).U64(static_cast<std::uint64_t>(cases[i].count));
    EXPECT_EQ(pdbtest::RecordOf(file, i), stored);
    EXPECT_EQ(db.Fields()[0].AsCurrency(), cases[i].count);
    EXPECT_EQ(db.Fields()[0].AsString(), cases[i].text);
  }
}

TEST(PDBAppForge, EveryTypeRoundTripsThroughAFile) {
  const std::vector<std::pair<std::string, TPDBAFFieldType>> fields = {
      {"Byte", AFByte},       {"Int", AFInteger}, {"Long", AFLong},     {"Single", AFSingle},    {"Str", AFString},
      {"Bool", AFBoolean},    {"Date", AFDate},   {"Double", AFDouble}, {"Money", AFCurrency}};
  auto fill = [](TPDBAppForge& db, int i) {
    auto& f = db.Fields();
    f[0].SetAsByte(static_cast<std::uint8_t>(250 + i));
    f[1].SetAsInteger(static_cast<std::int16_t>(-30000 + i));
    f[2].SetAsLong(-2000000000 + i);
    f[3].SetAsSingle(1.5f * static_cast<float>(i));
    f[4].SetAsString(std::string(static_cast<std::size_t>(i * 3), '\xE9'));
    f[5].SetAsBoolean(i % 2 == 1);
    f[6].SetAsDate(i == 0 ? core::TDateTime() : At(2030 + i, 12, 31, 23, 59, 59));
    f[7].SetAsDouble(-1.0 / (i + 7));
    f[8].SetAsCurrency(-123456789012345LL + i);
  };
  testsupport::TempDir dir;
  {
    TPDBAppForge db;
    Define(db, fields);
    pdbtest::PrepareWrite(db, dir);
    for (int i = 0; i < 3; ++i) {
      db.BeginAppend();
      fill(db, i);
      db.Post();
    }
    db.Close();
  }
  TPDBAppForge expected;
  Define(expected, fields);
  TPDBAppForge db;
  pdbtest::PrepareRead(db, dir);
  ASSERT_EQ(db.Fields().Count(), fields.size());
  int seen = 0;
  for (db.First(); !db.Eof(); db.Next(), ++seen) {
    fill(expected, seen);
    auto& f = db.Fields();
    auto& e = expected.Fields();
    EXPECT_EQ(f[0].AsByte(), e[0].AsByte());
    EXPECT_EQ(f[1].AsInteger(), e[1].AsInteger());
    EXPECT_EQ(f[2].AsLong(), e[2].AsLong());
    EXPECT_EQ(f[3].AsSingle(), e[3].AsSingle());
    EXPECT_EQ(f[4].AsString(), e[4].AsString());
    EXPECT_EQ(f[5].AsBoolean(), e[5].AsBoolean());
    EXPECT_EQ(f[6].AsDate(), e[6].AsDate());
    EXPECT_EQ(f[7].AsDouble(), e[7].AsDouble());
    EXPECT_EQ(f[8].AsCurrency(), e[8].AsCurrency());
  }
  EXPECT_EQ(seen, 3);
}

TEST(PDBAppForge, AccessorTypeRules) {
  TPDBAFField field;
  EXPECT_EQ(field.DataType(), AFString);
  ExpectPDBError([&] { field.SetAsByte(1); }, "Invalid DataType for this Field (AFByte)!", 1);
  field.SetDataType(AFByte);
  EXPECT_EQ(field.Size(), 1);
  ExpectPDBError([&] { field.SetAsInteger(1); }, "Invalid DataType for this Field (AFInteger)!", 1);
  field.SetDataType(AFDouble);
  field.SetAsLong(9);
  ExpectPDBError([&] { (void)field.AsLong(); }, "Invalid DataType for this Field (AFLong)!", 1);
  ExpectPDBError([&] { field.SetAsDate(core::TDateTime()); }, "Invalid DataType for this Field (AFDate)!", 1);
  EXPECT_EQ(field.AsDouble(), 9.0);
  pdbtest::PortugueseMessages pt;
  ExpectPDBError([&] { (void)field.AsBoolean(); }, "Tipo de dado Inválido para este campo (AFBoolean)!", 1);
}

TEST(PDBAppForge, BeginAppendChecks) {
  testsupport::TempDir dir;
  TPDBAppForge db;
  ExpectPDBError([&] { db.BeginAppend(); }, "Database is not open!", 1);
  pdbtest::PrepareWrite(db, dir);
  ExpectPDBError([&] { db.BeginAppend(); }, "There are no fields specified in Database!", 3);
}

TEST(PDBAppForge, AppInfoBlocksThatAreNoAppForgeBlockAreRefused) {
  const auto good = BlockFor("Orders", {{"Id", AFLong}, {"Name", AFString}});
  auto with = [&](std::size_t at, std::initializer_list<int> bytes) {
    core::Bytes block = good;
    for (int b : bytes) block[at++] = static_cast<std::uint8_t>(b);
    return block;
  };
  struct Case {
    const char* what;
    core::Bytes block;
  };
  const std::vector<Case> cases = {
      {"no AppInfo block", {}},
      {"only the category block", core::Bytes(good.begin(), good.begin() + 276)},
      {"cut inside the header", core::Bytes(good.begin(), good.begin() + 290)},
      {"cut inside the descriptors", core::Bytes(good.begin(), good.begin() + 305)},
      {"cut inside the names", core::Bytes(good.begin(), good.end() - 1)},
      {"another tag", with(276, {'A', 'P', 'P', 'F', 'O', 'R', 'G', '1'})},
      {"name position past the end", with(290, {0xFF, 0xF0})},
      {"more descriptors than bytes", with(292, {0x7F, 0xFF})},
      {"field name position past the end", with(300, {0x10, 0x00})},
      {"type 0", with(302, {0, 0})},
      {"type above AFCurrency", with(302, {0, 10})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir dir;
    dir.WriteFile("in.pdb", FileWithAppInfo(c.block));
    TPDBAppForge db;
    try {
      pdbtest::PrepareRead(db, dir, "in.pdb");
      ADD_FAILURE() << "opened";
    } catch (const EPDBException& e) {
      // A missing block fails in the category reader, every other case in the block check.
      if (!c.block.empty()) {
        EXPECT_STREQ(e.what(), "AppInfo Block is not a valid AppForge block!");
      }
    }
    EXPECT_FALSE(db.IsOpen());
  }
}

TEST(PDBAppForge, RecordsThatDoNotHoldTheirFieldsAreRefused) {
  const auto block = BlockFor("Orders", {{"Id", AFLong}, {"Name", AFString}, {"Sum", AFCurrency}});
  for (const auto& record : {B({0, 0, 1}), B({0, 0, 0, 1, 'a', 'b'}), B({0, 0, 0, 1, 'a', 0, 0, 0, 0, 0, 0, 0, 1})}) {
    testsupport::TempDir dir;
    dir.WriteFile("in.pdb", FileWithAppInfo(block, {record}));
    TPDBAppForge db;
    ExpectPDBError([&] { pdbtest::PrepareRead(db, dir, "in.pdb"); },
                   "Record is not stored as detailed in Fields structure!", 1);
  }
}


// A data set over db.pdb in the directory, with the given engine.
void PrepareDataSet(TPDBDataSet& ds, const testsupport::TempDir& dir, TEngine engine) {
  ds.SetDirectory(dir.Str());
  ds.SetPDBFilename("db.pdb");
  ds.SetDatabaseName("TestDB");
  ds.SetCreatorID("PmOr");
  ds.SetDatabaseType("DATA");
  ds.SetEngine(engine);
}

TEST(PDBAppForgeDataSet, EveryTypeRoundTripsThroughTheDataSet) {
  testsupport::TempDir dir;
  const std::vector<std::pair<std::string, TPDBAFFieldType>> fields = {
      {"Byte", AFByte}, {"Int", AFInteger}, {"Long", AFLong},     {"Single", AFSingle},  {"Str", AFString},
      {"Bool", AFBoolean}, {"Date", AFDate}, {"Double", AFDouble}, {"Money", AFCurrency}};
  auto define = [&](TPDBDataSet& ds, bool reversed) {
    ds.FieldsAppForge().Clear();
    auto order = fields;
    if (reversed) std::reverse(order.begin(), order.end());
    for (const auto& [name, type] : order) {
      auto& item = ds.FieldsAppForge().Add();
      item.SetFieldName(name);
      item.SetDataType(type);
    }
  };
  const auto when = At(2010, 7, 4, 10, 20, 30);
  {
    TPDBDataSet ds;
    PrepareDataSet(ds, dir, TEngine::AppForge);
    define(ds, false);
    ds.Open();
    ds.Append();
    ds.FieldByName("Byte").AsInteger(255);
    ds.FieldByName("Int").AsInteger(-32768);
    ds.FieldByName("Long").AsInteger(2147483647);
    ds.FieldByName("Single").AsFloat(-2.5);
    ds.FieldByName("Str").AsString("abc");
    ds.FieldByName("Bool").AsBoolean(true);
    ds.FieldByName("Date").AsDateTime(when);
    ds.FieldByName("Double").AsFloat(1.0 / 3);
    ds.FieldByName("Money").AsFloat(12.34565);  // four places kept
    ds.Post();
    ds.Close();
  }
  // Loaded by name into a data set that lists the fields in another order, and written back
  // with the fields as that data set defines them; the second pass reads that file.
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass);
    TPDBDataSet ds;
    PrepareDataSet(ds, dir, TEngine::AppForge);
    define(ds, true);
    ds.Open();
    ASSERT_FALSE(ds.Eof());
    EXPECT_EQ(ds.FieldByName("Byte").AsInteger(), 255);
    EXPECT_EQ(ds.FieldByName("Int").AsInteger(), -32768);
    EXPECT_EQ(ds.FieldByName("Long").AsInteger(), 2147483647);
    EXPECT_EQ(ds.FieldByName("Single").AsFloat(), -2.5);
    EXPECT_EQ(ds.FieldByName("Str").AsString(), "abc");
    EXPECT_TRUE(ds.FieldByName("Bool").AsBoolean());
    EXPECT_EQ(ds.FieldByName("Date").AsDateTime(), when);
    EXPECT_EQ(ds.FieldByName("Double").AsFloat(), 1.0 / 3);
    EXPECT_EQ(ds.FieldByName("Money").AsFloat(), 12.3456);
    ds.Close();
  }
  TPDBAppForge db;
  pdbtest::PrepareRead(db, dir);
  EXPECT_EQ(db.Fields()[0].FieldName(), "Money");
  EXPECT_EQ(db.Fields()[0].AsCurrency(), 123456);
}

// db.pdb with the one field "V" and a record per value, each set through `set`.
template <class T, class Set>
void WriteOneField(const testsupport::TempDir& dir, TPDBAFFieldType type, const std::vector<T>& values, Set set) {
  TPDBAppForge db;
  Define(db, {{"V", type}});
  pdbtest::PrepareWrite(db, dir);
  for (const T& value : values) {
    db.BeginAppend();
    set(db.Fields()[0], value);
    db.Post();
  }
  db.Close();
}

// A data set over db.pdb that defines the one field "V".
void PrepareOneFieldDataSet(TPDBDataSet& ds, const testsupport::TempDir& dir, TPDBAFFieldType type) {
  PrepareDataSet(ds, dir, TEngine::AppForge);
  auto& item = ds.FieldsAppForge().Add();
  item.SetFieldName("V");
  item.SetDataType(type);
}

TEST(PDBAppForgeDataSet, TheLargestCurrencyCountsLoadAndAreWrittenBack) {
  // The data set holds amounts as doubles; the extremes still come back as they were.
  const std::vector<TAFCurrency> counts = {std::numeric_limits<TAFCurrency>::max(),
                                           std::numeric_limits<TAFCurrency>::min(), 125000};
  testsupport::TempDir dir;
  WriteOneField(dir, AFCurrency, counts, [](TPDBAFField& f, TAFCurrency count) { f.SetAsCurrency(count); });
  {
    TPDBDataSet ds;
    PrepareOneFieldDataSet(ds, dir, AFCurrency);
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 3);
    ds.Close();
  }
  TPDBAppForge db;
  pdbtest::PrepareRead(db, dir);
  for (const TAFCurrency count : counts) {
    EXPECT_EQ(db.Fields()[0].AsCurrency(), count);
    db.Next();
  }
}

TEST(PDBAppForgeDataSet, FieldsStoredWithAnotherTypeLoadWhereTheDefinedTypeHoldsThem) {
  struct Case {
    TPDBAFFieldType stored, defined;
    const char* loaded;  // null: the open fails
  };
  const std::vector<Case> cases = {
      {AFByte, AFLong, "42"},       {AFInteger, AFLong, "42"},    {AFLong, AFDouble, "42"},
      {AFSingle, AFDouble, "42"},   {AFLong, AFCurrency, "42"},   {AFCurrency, AFString, "42"},
      {AFDate, AFString, "01/01/2005"},
      {AFLong, AFInteger, nullptr}, {AFString, AFLong, nullptr},  {AFDouble, AFCurrency, nullptr},
      {AFCurrency, AFDouble, nullptr}, {AFLong, AFSingle, nullptr}, {AFByte, AFBoolean, nullptr},
      {AFDouble, AFDate, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(AFFieldTypeName(c.stored)) + " as " + AFFieldTypeName(c.defined));
    testsupport::TempDir dir;
    const std::string text = c.stored == AFDate ? "01/01/2005" : "42";
    WriteOneField(dir, c.stored, std::vector{text}, [](TPDBAFField& f, const std::string& t) { f.SetAsString(t); });
    TPDBDataSet ds;
    PrepareOneFieldDataSet(ds, dir, c.defined);
    if (c.loaded) {
      ds.Open();
      EXPECT_EQ(ds.FieldByName("V").AsString(), c.loaded);
      continue;
    }
    ExpectPDBError([&] { ds.Open(); },
                   std::string("Record is not stored as detailed in Fields structure!\nField 'V' is stored as ") +
                       AFFieldTypeName(c.stored) + ", defined as " + AFFieldTypeName(c.defined) + ".",
                   1);
    EXPECT_FALSE(ds.Active());
  }
}

}  // namespace
}  // namespace pdb
