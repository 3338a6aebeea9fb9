#include "pdb/PDBPSField.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "PDBTestFiles.h"
#include "core/NumberFormat.h"

namespace pdb {
namespace {

using pdbtest::ExpectPDBError;

TEST(PDBPSField, TypeSetsSizesAndEmptyValue) {
  struct Case {
    TPDBPSFieldType type;
    std::int32_t size;
    std::int32_t internalSize;
    std::string text;  // AsString of the value after setting the type
  };
  const std::vector<Case> cases = {
      {PSBoolean, 1, 0, "False"}, {PSInt8, 1, 0, "0"},    {PSInt16, 2, 0, "0"},    {PSInt32, 4, 0, "0"},
      {PSUInt8, 1, 0, "0"},       {PSUInt16, 2, 0, "0"},  {PSUInt32, 4, 0, "0"},   {PSDate, 2, 0, "0"},
      {PSTime, 2, 0, "0"},        {PSDateTime, 4, 0, "0"}, {PSString, 0, 100, ""}, {PSSingle, 4, 0, "0"},
      {PSDouble, 8, 0, "0"},      {PSBinary, 0, 0, "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(PSFieldTypeName(c.type));
    TPDBPSField field;
    field.SetDataType(PSInt32);
    field.SetRaw({1, 2, 3});
    field.SetDataType(c.type);
    EXPECT_EQ(field.Size(), c.size);
    EXPECT_EQ(field.InternalSize(), c.internalSize);
    EXPECT_EQ(field.AsString(), c.text);
    EXPECT_TRUE(field.Raw().empty());
  }
  TPDBPSField fresh;
  EXPECT_EQ(fresh.DataType(), PSString);
  EXPECT_EQ(fresh.InternalSize(), 100);
  EXPECT_EQ(fresh.DisplayName(), "TPDBPSField");
  fresh.SetFieldName("Name");
  EXPECT_EQ(fresh.DisplayName(), "Name");
}

TEST(PDBPSField, SizeRules) {
  TPDBPSField text;
  text.SetSize(65505);
  EXPECT_EQ(text.Size(), 65505);
  ExpectPDBError([&] { text.SetSize(65506); }, "Invalid Size for this Field!", 1);
  ExpectPDBError([&] { text.SetInternalSize(65506); }, "Invalid Size for this Field!", 1);
  EXPECT_EQ(text.Size(), 65505);
  text.SetInternalSize(0);  // ignored on a string
  EXPECT_EQ(text.InternalSize(), 100);
  text.SetInternalSize(20);
  EXPECT_EQ(text.InternalSize(), 20);

  TPDBPSField number;
  number.SetDataType(PSInt16);
  number.SetSize(10);
  EXPECT_EQ(number.Size(), 2);
  number.SetInternalSize(20);
  EXPECT_EQ(number.InternalSize(), 0);
}

TEST(PDBPSField, AccessorsFollowTheTypeRules) {
  // Which setters and getters each type accepts, as a row of flags in accessor order:
  // Boolean Int8 Int16 Int32 UInt8 UInt16 UInt32 Single Double Date Time DateTime.
  struct Accessor {
    const char* name;
    std::function<void(TPDBPSField&)> get;
    std::function<void(TPDBPSField&)> set;
  };
  const core::TDateTime day(40000);
  const std::vector<Accessor> accessors = {
      {"PSBoolean", [](auto& f) { (void)f.AsBoolean(); }, [](auto& f) { f.SetAsBoolean(true); }},
      {"PSInt8", [](auto& f) { (void)f.AsInt8(); }, [](auto& f) { f.SetAsInt8(-5); }},
      {"PSInt16", [](auto& f) { (void)f.AsInt16(); }, [](auto& f) { f.SetAsInt16(-5); }},
      {"PSInt32", [](auto& f) { (void)f.AsInt32(); }, [](auto& f) { f.SetAsInt32(-5); }},
      {"PSUInt8", [](auto& f) { (void)f.AsUInt8(); }, [](auto& f) { f.SetAsUInt8(5); }},
      {"PSUInt16", [](auto& f) { (void)f.AsUInt16(); }, [](auto& f) { f.SetAsUInt16(5); }},
      {"PSUInt32", [](auto& f) { (void)f.AsUInt32(); }, [](auto& f) { f.SetAsUInt32(5); }},
      {"PSSingle", [](auto& f) { (void)f.AsSingle(); }, [](auto& f) { f.SetAsSingle(5); }},
      {"PSDouble", [](auto& f) { (void)f.AsDouble(); }, [](auto& f) { f.SetAsDouble(5); }},
      {"PSDate", [](auto& f) { (void)f.AsDate(); }, [=](auto& f) { f.SetAsDate(day); }},
      {"PSTime", [](auto& f) { (void)f.AsTime(); }, [=](auto& f) { f.SetAsTime(day); }},
      {"PSDateTime", [](auto& f) { (void)f.AsDateTime(); }, [=](auto& f) { f.SetAsDateTime(day); }},
  };
  struct Row {
    TPDBPSFieldType type;
    const char* getters;
    const char* setters;
  };
  //                                  BoI8I16I32U8U16U32 S D Da T DT
  const std::vector<Row> rows = {
      {PSBoolean, "100000000000", "100000000000"},
      {PSInt8, "010000011000", "010000000000"},
      {PSInt16, "001000011000", "011010000000"},
      {PSInt32, "000100011000", "011111000000"},
      {PSUInt8, "000010011000", "000010000000"},
      {PSUInt16, "000001011000", "000011000000"},
      {PSUInt32, "000000111000", "000011100000"},
      {PSDate, "000000001111", "000000001111"},
      {PSTime, "000000001111", "000000001111"},
      {PSDateTime, "000000001111", "000000001111"},
      {PSSingle, "000000011000", "011111110000"},
      {PSDouble, "000000001000", "011111111000"},
      {PSString, "000000000000", "000000000000"},
      {PSBinary, "000000000000", "000000000000"},
  };
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < accessors.size(); ++i) {
      SCOPED_TRACE(std::string(PSFieldTypeName(row.type)) + " with As" + (accessors[i].name + 2));
      const std::string message = std::string("Invalid DataType for this Field (") + accessors[i].name + ")!";
      TPDBPSField field;
      field.SetDataType(row.type);
      if (row.getters[i] == '1')
        EXPECT_NO_THROW(accessors[i].get(field));
      else
        ExpectPDBError([&] { accessors[i].get(field); }, message, 1);
      const std::string before = field.AsString();
      if (row.setters[i] == '1') {
        EXPECT_NO_THROW(accessors[i].set(field));
      } else {
        ExpectPDBError([&] { accessors[i].set(field); }, message, 1);
        EXPECT_EQ(field.AsString(), before);
      }
    }
  }
}

TEST(PDBPSField, ValuesConvertBetweenAccessors) {
  TPDBPSField field;
  field.SetDataType(PSDouble);
  field.SetAsInt8(-5);
  EXPECT_DOUBLE_EQ(field.AsDouble(), -5.0);
  ExpectPDBError([&] { (void)field.AsInt8(); }, "Invalid DataType for this Field (PSInt8)!", 1);

  field.SetDataType(PSInt16);
  field.SetAsInt16(300);
  EXPECT_FLOAT_EQ(field.AsSingle(), 300.0f);
  EXPECT_EQ(field.AsString(), "300");

  field.SetDataType(PSUInt32);
  field.SetAsUInt32(4294967295u);
  EXPECT_EQ(field.AsUInt32(), 4294967295u);

  field.SetDataType(PSDateTime);
  const auto when = core::TDateTime::Parse("05/01/2007 14:30").value();
  field.SetAsDate(when);
  EXPECT_EQ(field.AsDateTime(), when);
  EXPECT_EQ(field.AsTime(), when);
  EXPECT_EQ(field.AsString(), "05/01/2007 14:30");

  // Text set on a number field converts when read; text that is no number fails.
  field.SetDataType(PSInt32);
  field.SetAsString("-123");
  EXPECT_EQ(field.AsInt32(), -123);
  field.SetAsString("abc");
  EXPECT_THROW((void)field.AsInt32(), core::EConvertError);

  field.SetDataType(PSDouble);
  field.SetAsDouble(1.5);
  EXPECT_EQ(field.AsString(), "1,5");
}

TEST(PDBPSFields, CollectionFindsNamesWithoutRegardToCase) {
  TPDBPSFields fields;
  auto& id = fields.Add();
  id.SetFieldName("Id");
  auto& name = fields.Add();
  name.SetFieldName("Name");
  EXPECT_EQ(fields.Count(), 2u);
  EXPECT_EQ(fields.FindField("NAME"), &name);
  EXPECT_EQ(fields.FindField("id"), &id);
  EXPECT_EQ(fields.FindField("other"), nullptr);
  EXPECT_EQ(name.DataType(), PSString);
  EXPECT_EQ(name.AsString(), "");
  fields.Delete(0);
  EXPECT_EQ(&fields[0], &name);
  fields.Clear();
  EXPECT_TRUE(fields.Empty());
}

}  // namespace
}  // namespace pdb
