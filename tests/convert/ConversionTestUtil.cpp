#include "ConversionTestUtil.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "app/ErrorDisplay.h"
#include "core/Encoding.h"
#include "pdb/PDBDataSet.h"
#include "sync/SyaPack.h"
#include "sync/SyaUnpack.h"

namespace converttest {

void WriteOfficeFile(const testsupport::TempDir& dir, std::string_view name, const std::vector<std::string>& lines) {
  std::string content;
  for (const auto& line : lines) content += core::Utf8ToAnsi(line) + "\r\n";
  dir.WriteFile(name, content);
}

std::string ReadOfficeFile(const testsupport::TempDir& dir, std::string_view name) {
  return core::AnsiToUtf8(dir.ReadFile(name));
}

namespace {

void DefineFields(pdb::TPDBDataSet& pt, const FieldList& fields) {
  pt.FieldsPocketStudio().Clear();
  for (const auto& [name, type] : fields) {
    pdb::TPDBPSField& item = pt.FieldsPocketStudio().Add();
    item.SetDataType(type);
    // Texts longer than the data set's default of 100 characters stay whole.
    if (type == pdb::TPDBPSFieldType::PSString) item.SetInternalSize(pdb::kPSMaxFieldSize);
    item.SetFieldName(name);
  }
}

void Prepare(pdb::TPDBDataSet& pt, const std::string& dir, const std::string& name, const FieldList& fields) {
  pt.SetDirectory(dir);
  pt.SetPDBFilename(name + ".pdb");
  pt.SetDatabaseName(name);
  pt.SetCreatorID("PmOr");
  pt.SetDatabaseType("DATA");
  DefineFields(pt, fields);
  pt.Open();
}

using enum pdb::TPDBPSFieldType;

}  // namespace

DatabaseContent ReadDatabase(const std::string& dir, const std::string& fileName, const FieldList& fields) {
  pdb::TPDBDataSet pt;
  pt.SetDirectory(dir);
  pt.SetPDBFilename(fileName);
  DefineFields(pt, fields);
  pt.Open();
  DatabaseContent content{pt.DatabaseName(), pt.DatabaseType(), pt.CreatorID(), {}};
  for (; !pt.Eof(); pt.Next()) {
    std::string line;
    for (int i = 0; i < pt.FieldCount(); ++i) {
      if (i > 0) line += '|';
      line += core::AnsiToUtf8(pt.Fields(i).AsString());
    }
    content.records.push_back(line);
  }
  return content;  // destroyed open: the file is not written again
}

int Unpack(const std::string& containerDir, std::string_view containerFile, const std::string& outDir) {
  return sya::SyaUnpack(containerDir, containerFile, outDir);
}

void WriteDocuments(const std::string& dir, const std::vector<TestOrder>* orders,
                    const std::vector<TestOrderItem>* items, const std::vector<TestCash>* cash) {
  pdb::TPDBDataSet pt;
  if (orders) {
    Prepare(pt, dir, "Kestor_OrderDb",
            {{"Id", PSUInt32}, {"OrderDate", PSDate}, {"OrderTime", PSString}, {"DeliverDate", PSDate},
             {"IdCustomer", PSUInt32}, {"IdPayment", PSUInt32}, {"Total", PSDouble}, {"CountRow", PSUInt32},
             {"NPrice", PSUInt32}, {"PercentDiscount", PSDouble}, {"Note", PSString}, {"Note1", PSString},
             {"Note2", PSString}, {"Selected", PSBoolean}});
    for (const TestOrder& order : *orders) samples::AppendOrder(pt, order);
    pt.Close();
  }
  if (items) {
    Prepare(pt, dir, "Kestor_OrderItemDb",
            {{"IdOrder", PSUInt32}, {"IdProduct", PSUInt32}, {"Quantity", PSDouble}, {"Price", PSDouble}});
    for (const TestOrderItem& item : *items) samples::AppendOrderLine(pt, item);
    pt.Close();
  }
  if (cash) {
    Prepare(pt, dir, "Kestor_CashDb",
            {{"Id", PSUInt32}, {"IdCustomer", PSUInt32}, {"CashDate", PSDate}, {"IdCurrency", PSUInt32},
             {"Currencycurs", PSDouble}, {"CurrencySumma", PSDouble}, {"Summa", PSDouble}, {"Note", PSString},
             {"Iddoc", PSUInt32}});
    for (const TestCash& receipt : *cash) samples::AppendCashReceipt(pt, receipt);
    pt.Close();
  }
}

void PackContainer(const std::string& sourceDir, const std::vector<std::string>& files, const std::string& outDir) {
  sya::TSyaPacker packer;
  ASSERT_EQ(packer.BeginPack(outDir, "Kestor_Out.pdb", "Kestor_Out", "PDBP"), 0);
  for (const auto& file : files) ASSERT_EQ(packer.PackDatabase(sourceDir, file, 30000), 0) << file;
  ASSERT_EQ(packer.EndPack(), 0);
}

convert::ConversionResult Window::Run(app::Command command) {
  convert::ConversionContext context{state, reporter, objects};
  return app::RunConversion(command, context);
}

app::RunOutcome Window::RunGuarded(app::Command command) {
  convert::ConversionContext context{state, reporter, objects};
  app::ErrorDisplay errors(reporter);
  return app::RunConversionGuarded(command, context, errors);
}

namespace {
std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}
}  // namespace

int RunProgram(const std::string& arguments, std::string* out, std::string* err) {
#ifdef VESTIBO_PROGRAM
  testsupport::TempDir dir;
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY " + Quoted(VESTIBO_PROGRAM) + " " + arguments +
                              " >" + Quoted((dir / "out").string()) + " 2>" + Quoted((dir / "err").string()) +
                              " </dev/null";
  const int status = std::system(command.c_str());
  if (out) *out = dir.ReadFile("out");
  if (err) *err = dir.ReadFile("err");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#else
  (void)arguments;
  (void)out;
  (void)err;
  return -1;
#endif
}

}  // namespace converttest
