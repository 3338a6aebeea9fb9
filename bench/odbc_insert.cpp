// Inserting order lines through the data-set query (Append / field writes / Post running its
// InsertSQL) against the same rows inserted through one prepared statement driven directly
// through the ODBC API, in the same run, on the same connection and entry-point table.
// SQLite always (inside one transaction); PostgreSQL too when VESTIBO_PG_SOCKET names the test
// server's socket directory. Target: the query takes at most 1.3 times the direct time.
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "BenchReport.h"
#include "BenchSupport.h"
#include "odbc/TmQuery.h"
#include "odbc/TmDataBase.h"

namespace {

constexpr int kRows = 60000;
constexpr double kTarget = 1.3;
constexpr const char* kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
constexpr const char* kPostgresDriver = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so";

using Line = bench::OrderLine;
using bench::OrderLineAt;

void Exec(odbc::TmDataBase& db, const std::string& sql) {
  odbc::TmStatement statement;
  statement.SetDataBase(&db);
  statement.SetSQL({sql});
  statement.ExecSQL();
}

long CountRows(odbc::TmDataBase& db, const std::string& table) {
  odbc::TmQuery query;
  query.SetDataBase(&db);
  query.SetSQL({"select count(*) as n from " + table});
  query.Open();
  const long n = static_cast<long>(query.FieldByName("n").AsFloat());
  query.Close();
  return n;
}

void InsertThroughQuery(odbc::TmDataBase& db, const std::string& table) {
  db.StartTransaction();
  odbc::TmQuery query;
  query.SetDataBase(&db);
  query.SetSQL({"select IdOrder, IdProduct, Quantity, Price from " + table});
  query.InsertSQL() = {"insert into " + table + " (IdOrder, IdProduct, Quantity, Price)",
                       "values (:IdOrder, :IdProduct, :Quantity, :Price)"};
  query.SetRequestLive(true);
  query.Open();
  bench::AppendOrderLines(query, kRows);
  query.ApplyUpdates();
  query.CommitUpdates();
  query.Close();
  db.Commit();
}

void Check(const odbc::TOdbcApi& api, SQLRETURN rc, SQLHSTMT statement) { odbc::StatementCheck(api, rc, statement); }

void InsertDirectly(odbc::TmDataBase& db, const std::string& table) {
  db.StartTransaction();
  const odbc::TOdbcApi& api = db.Api();
  SQLHANDLE handle = SQL_NULL_HANDLE;
  if (api.SQLAllocHandle(SQL_HANDLE_STMT, db.ConnectionHandle(), &handle) != SQL_SUCCESS)
    throw std::runtime_error("cannot allocate a statement");
  auto* statement = static_cast<SQLHSTMT>(handle);
  std::string sql = "insert into " + table + " (IdOrder, IdProduct, Quantity, Price) values (?, ?, ?, ?)";
  try {
    Check(api, api.SQLPrepare(statement, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS), statement);
    Line line{};
    SQLLEN intLength = sizeof(SQLINTEGER), floatLength = sizeof(double);
    SQLINTEGER idOrder = 0, idProduct = 0;
    Check(api, api.SQLBindParameter(statement, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &idOrder, 0, &intLength), statement);
    Check(api, api.SQLBindParameter(statement, 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &idProduct, 0, &intLength), statement);
    Check(api, api.SQLBindParameter(statement, 3, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &line.quantity, 0, &floatLength), statement);
    Check(api, api.SQLBindParameter(statement, 4, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &line.price, 0, &floatLength), statement);
    for (int i = 0; i < kRows; ++i) {
      line = OrderLineAt(i);
      idOrder = line.idOrder;
      idProduct = line.idProduct;
      Check(api, api.SQLExecute(statement), statement);
    }
  } catch (...) {
    api.SQLFreeHandle(SQL_HANDLE_STMT, statement);
    throw;
  }
  api.SQLFreeHandle(SQL_HANDLE_STMT, statement);
  db.Commit();
}

// Runs both ways `rounds` times, alternating which goes first, and keeps each way's best time.
bool Compare(const char* name, odbc::TmDataBase& db, const std::string& queryTable, const std::string& directTable,
             int rounds) {
  double bestQuery = 1e30, bestDirect = 1e30;
  for (int round = 0; round < rounds; ++round) {
    for (const std::string& table : {queryTable, directTable}) Exec(db, "delete from " + table);
    auto viaQuery = [&] {
      bestQuery = std::min(bestQuery, bench::BestSeconds([&] { InsertThroughQuery(db, queryTable); }, 1));
    };
    auto direct = [&] {
      bestDirect = std::min(bestDirect, bench::BestSeconds([&] { InsertDirectly(db, directTable); }, 1));
    };
    if (round % 2 == 0) {
      viaQuery();
      direct();
    } else {
      direct();
      viaQuery();
    }
    if (CountRows(db, queryTable) != kRows || CountRows(db, directTable) != kRows) {
      std::printf("%s: FAIL (row count differs from %d)\n", name, kRows);
      return false;
    }
  }
  const double ratio = bestQuery / bestDirect;
  const bool pass = ratio <= kTarget;
  std::printf("%-10s %d rows  TmQuery Append/Post: %8.3f s (%6.2f us/row)  direct prepared: %8.3f s (%6.2f us/row)"
              "  ratio %.2f (target <= %.1f)  %s\n",
              name, kRows, bestQuery, bestQuery * 1e6 / kRows, bestDirect, bestDirect * 1e6 / kRows, ratio, kTarget,
              pass ? "PASS" : "FAIL");
  bench::Row(std::string(name) + " insert: TmQuery / direct prepared", bench::Seconds(bestQuery),
             bench::Seconds(bestDirect), ratio, bench::Goal::AtMost, kTarget);
  return pass;
}

}  // namespace

int main() {
  bool pass = true;
  try {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vestibo-bench-odbc-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
      odbc::TmDataBase db;
      db.SetParams({std::string("DRIVER=") + kSqliteDriver, "Database=" + (dir / "bench.db").string()});
      db.SetDriverCompletion(odbc::TmDriverCompletion::sdNoPrompt);
      db.Connect();
      for (const char* table : {"orderitem", "orderitem_direct"})
        Exec(db, std::string("create table ") + table +
                     " (IdOrder integer, IdProduct integer, Quantity float, Price float)");
      pass = Compare("SQLite", db, "orderitem", "orderitem_direct", 7) && pass;
      db.Disconnect();
    }
    std::filesystem::remove_all(dir);

    const char* socket = std::getenv("VESTIBO_PG_SOCKET");
    if (socket && *socket) {
      const char* database = std::getenv("PGDATABASE");
      const char* user = std::getenv("PGUSER");
      odbc::TmDataBase db;
      db.SetParams({std::string("DRIVER=") + kPostgresDriver, std::string("Servername=") + socket,
                    std::string("Database=") + (database ? database : ""), std::string("UID=") + (user ? user : "")});
      db.SetDriverCompletion(odbc::TmDriverCompletion::sdNoPrompt);
      db.Connect();
      Exec(db, "drop table if exists \"orderitem.dbf\"");
      Exec(db, "drop table if exists \"orderitem_direct.dbf\"");
      Exec(db, "CREATE TABLE \"orderitem.dbf\" (IdOrder integer, IdProduct integer, Quantity float, Price float)");
      Exec(db, "CREATE TABLE \"orderitem_direct.dbf\" (IdOrder integer, IdProduct integer, Quantity float, Price float)");
      pass = Compare("PostgreSQL", db, "\"orderitem.dbf\"", "\"orderitem_direct.dbf\"", 3) && pass;
      Exec(db, "drop table \"orderitem.dbf\"");
      Exec(db, "drop table \"orderitem_direct.dbf\"");
      db.Disconnect();
    } else {
      std::printf("PostgreSQL: skipped (VESTIBO_PG_SOCKET not set)\n");
    }
  } catch (const std::exception& e) {
    std::printf("FAIL: %s\n", e.what());
    return 1;
  }
  return pass ? 0 : 1;
}
