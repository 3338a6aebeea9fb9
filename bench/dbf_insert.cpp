// 60,000 order lines appended into the bundled dBase driver through the data-set query
// (Append / field writes / Post running its InsertSQL, as "PDB -> DBF" writes orderitem.dbf),
// against the same rows written straight into a dBase file with shapelib, in the same run.
// The driver runs as the dBase variant uses it: autocommit, every statement leaving a file whose
// header counts its records. Target: the query takes at most 1.5 times the direct time.
// A second row (INFO) shows the same inserts inside one transaction.
#include <shapefil.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "BenchReport.h"
#include "BenchSupport.h"
#include "odbc/TmQuery.h"
#include "odbc/TmDataBase.h"

namespace {

constexpr int kRows = 60000;
constexpr double kTarget = 1.5;
constexpr int kRounds = 3;

using Line = bench::OrderLine;
using bench::OrderLineAt;

void Exec(odbc::TmDataBase& db, const std::string& sql) {
  odbc::TmStatement statement;
  statement.SetDataBase(&db);
  statement.SetSQL({sql});
  statement.ExecSQL();
}

void InsertThroughQuery(const std::filesystem::path& dir, bool transaction) {
  odbc::TmDataBase db;
  db.SetParams({std::string("DRIVER=") + VESTIBO_DBF_DRIVER, "DefaultDir=" + dir.string()});
  db.SetDriverCompletion(odbc::TmDriverCompletion::sdNoPrompt);
  db.Connect();
  Exec(db, "Create table \"orderitem.dbf\" (idorder integer,IdProduct Integer, Quantity Float, Price Float)");
  if (transaction) db.StartTransaction();
  odbc::TmQuery query;
  query.SetDataBase(&db);
  query.SetSQL({"select * from \"orderitem.dbf\""});
  query.InsertSQL() = {
      "insert into  \"orderItem.dbf\" (IdOrder,IdProduct,Quantity,Price) values (:idOrder,:IdProduct,:Quantity,:Price)"};
  query.SetRequestLive(true);
  query.Open();
  bench::AppendOrderLines(query, kRows);
  query.Close();
  if (transaction) db.Commit();
  db.Disconnect();
}

void WriteDirectly(const std::filesystem::path& dir) {
  DBFHandle dbf = DBFCreateEx((dir / "orderitem.dbf").c_str(), "LDID/201");
  if (!dbf) throw std::runtime_error("cannot create the reference file");
  DBFAddNativeFieldType(dbf, "IDORDER", 'N', 11, 0);
  DBFAddNativeFieldType(dbf, "IDPRODUCT", 'N', 11, 0);
  DBFAddNativeFieldType(dbf, "QUANTITY", 'N', 19, 6);
  DBFAddNativeFieldType(dbf, "PRICE", 'N', 19, 6);
  for (int i = 0; i < kRows; ++i) {
    const Line line = OrderLineAt(i);
    DBFWriteIntegerAttribute(dbf, i, 0, line.idOrder);
    DBFWriteIntegerAttribute(dbf, i, 1, line.idProduct);
    DBFWriteDoubleAttribute(dbf, i, 2, line.quantity);
    DBFWriteDoubleAttribute(dbf, i, 3, line.price);
  }
  DBFClose(dbf);
}

int RecordsIn(const std::filesystem::path& file) {
  DBFHandle dbf = DBFOpen(file.c_str(), "rb");
  if (!dbf) return -1;
  const int count = DBFGetRecordCount(dbf);
  DBFClose(dbf);
  return count;
}

}  // namespace

int main() {
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("vestibo-bench-dbf-" + std::to_string(::getpid()));
  bool pass = true;
  try {
    auto fresh = [&](const char* name) {
      const auto dir = root / name;
      std::filesystem::remove_all(dir);
      std::filesystem::create_directories(dir);
      return dir;
    };
    double query = 1e30, transaction = 1e30, direct = 1e30;
    for (int round = 0; round < kRounds; ++round) {
      const auto a = fresh("query"), b = fresh("transaction"), c = fresh("direct");
      query = std::min(query, bench::BestSeconds([&] { InsertThroughQuery(a, false); }, 1));
      transaction = std::min(transaction, bench::BestSeconds([&] { InsertThroughQuery(b, true); }, 1));
      direct = std::min(direct, bench::BestSeconds([&] { WriteDirectly(c); }, 1));
      for (const auto& dir : {a, b, c}) {
        if (RecordsIn(dir / "orderitem.dbf") != kRows) {
          std::printf("FAIL: %s does not hold %d records\n", dir.c_str(), kRows);
          return 1;
        }
      }
    }
    std::printf("dBase driver, %d order lines: TmQuery Append/Post %.3f s (%.2f us/row), in one transaction %.3f s,"
                " shapelib directly %.3f s (%.2f us/row)\n",
                kRows, query, query * 1e6 / kRows, transaction, direct, direct * 1e6 / kRows);
    pass = bench::Row("dBase driver insert: TmQuery Append/Post / shapelib", bench::Seconds(query),
                      bench::Seconds(direct), query / direct, bench::Goal::AtMost, kTarget);
    bench::Row("dBase driver insert in one transaction / shapelib", bench::Seconds(transaction), bench::Seconds(direct),
               transaction / direct, bench::Goal::None, 0);
  } catch (const std::exception& e) {
    std::printf("FAIL: %s\n", e.what());
    pass = false;
  }
  std::filesystem::remove_all(root);
  return pass ? 0 : 1;
}
