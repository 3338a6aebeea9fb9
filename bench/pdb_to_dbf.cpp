// "PDB -> DBF" end to end in the FoxPro variant on a container with 20,000 orders and 60,000
// order lines, against PostgreSQL standing in for the dBase directory (the test server of
// scripts/test-services/postgres.sh: source it first, so that VESTIBO_PG_SOCKET, PGHOST and
// PGUSER are set). The conversion writes 160,000 rows: 20,000 into order.dbf, 60,000 into
// orderitem.dbf and 80,000 into orders.dbf (a header row per order and a row per line).
//
// Reference, measured in the same run on a database of its own: the same 160,000 rows inserted
// through three prepared statements driven directly through the ODBC API, in one transaction,
// values bound with the types of their columns and the orders.dbf texts formatted beforehand. The ratio says what the conversion costs on top of what the driver
// and the server need for those rows anyway.
//
// The same conversion also runs through the bundled dBase driver into a directory of .dbf
// files, in the same run; both are reported as rows per second.
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <cstring>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "BenchReport.h"
#include "BenchSupport.h"
#include "convert/Conversion.h"
#include "convert/HandheldDatabases.h"
#include "convert/PdbToDbf.h"
#include "core/NumberFormat.h"
#include "core/Reporter.h"
#include "odbc/TmDataBase.h"
#include "odbc/ESQLerror.h"
#include "pdb/PDBDataSet.h"
#include "sync/SyaPack.h"

namespace fs = std::filesystem;

namespace {

constexpr int kOrders = 20000;
constexpr int kLines = 60000;
constexpr int kRowsWritten = kOrders + kLines + kOrders + kLines;
constexpr const char* kDriverName = "Vestibo bench VFP on PostgreSQL";
constexpr const char* kDriverLibrary = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so";
// The bundled dBase driver under a FoxPro name, so that both runs take the same variant.
constexpr const char* kDbfDriverName = "Vestibo VFP Driver";

// What PostgreSQL needs to stand in for a directory of FoxPro tables: tables created under
// "<dir>/name" are renamed to their file name, and "orderItem.dbf" names the order-line table.
constexpr const char* kStandIn = R"sql(
CREATE FUNCTION dbf_stand_in() RETURNS event_trigger LANGUAGE plpgsql AS $$
DECLARE
  command record;
  name text;
BEGIN
  FOR command IN SELECT * FROM pg_event_trigger_ddl_commands() WHERE command_tag = 'CREATE TABLE' LOOP
    SELECT relname INTO name FROM pg_class WHERE oid = command.objid;
    IF name ~ '[/\\]' THEN
      name := regexp_replace(name, '^.*[/\\]', '');
      EXECUTE format('ALTER TABLE %s RENAME TO %I', command.objid::regclass, name);
    END IF;
    IF name = 'orderitem.dbf' THEN
      CREATE VIEW "orderItem.dbf" AS SELECT * FROM "orderitem.dbf";
    END IF;
  END LOOP;
END $$;
CREATE EVENT TRIGGER dbf_stand_in ON ddl_command_end WHEN TAG IN ('CREATE TABLE') EXECUTE FUNCTION dbf_stand_in();
)sql";

void Psql(const fs::path& dir, const std::string& database, const std::string& sql) {
  const fs::path file = dir / "in.sql";
  std::ofstream(file) << sql;
  const std::string command =
      "psql -X -q -v ON_ERROR_STOP=1 -d " + database + " -f '" + file.string() + "' >/dev/null";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("psql failed: " + sql.substr(0, 200));
}

std::string PsqlValue(const fs::path& dir, const std::string& database, const std::string& sql) {
  const fs::path file = dir / "in.sql", out = dir / "out.txt";
  std::ofstream(file) << sql;
  const std::string command =
      "psql -X -q -A -t -v ON_ERROR_STOP=1 -d " + database + " -f '" + file.string() + "' >'" + out.string() + "'";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("psql failed: " + sql);
  std::string value;
  std::getline(std::ifstream(out), value);
  return value;
}

struct Order {
  int id, customer;
  double total;
};
struct Line {
  int order, product;
  double quantity, price;
};

// Orders in shuffled id order; three lines per order, the lines shuffled as well.
void MakeDocuments(std::vector<Order>& orders, std::vector<Line>& lines) {
  std::mt19937 gen(7);
  std::vector<int> ids(kOrders);
  std::iota(ids.begin(), ids.end(), 1);
  std::shuffle(ids.begin(), ids.end(), gen);
  for (int id : ids) orders.push_back({id, static_cast<int>(gen() % 50000), static_cast<double>(gen() % 100000) / 100});
  for (int i = 0; i < kLines; ++i)
    lines.push_back({1 + i / 3, static_cast<int>(gen() % 60000), static_cast<double>(1 + gen() % 20) / 2,
                     static_cast<double>(gen() % 10000) / 100});
  std::shuffle(lines.begin(), lines.end(), gen);
}

void WriteContainer(const fs::path& dir, const std::vector<Order>& orders, const std::vector<Line>& lines) {
  const fs::path work = dir / "work";
  fs::create_directories(work);
  pdb::TPDBDataSet pt;
  const core::TDateTime day = *core::TDateTime::FromDate(2026, 3, 14);
  bench::OpenHandheldDatabase(pt, work, convert::kOrderDb);
  for (const Order& o : orders) {
    bench::AppendOrder(pt, day,
                       {.id = o.id,
                        .customer = o.customer,
                        .total = o.total,
                        .note = "\xC4\xEE\xF1\xF2\xE0\xE2\xE8\xF2\xFC \xE4\xEE \xEE\xE1\xE5\xE4\xE0",
                        .note1 = "\xCD\xE0\xEB\xE8\xF7\xED\xFB\xE5",
                        .note2 = ""});
  }
  pt.Close();
  bench::OpenHandheldDatabase(pt, work, convert::kOrderItemDb);
  for (const Line& l : lines) {
    samples::AppendOrderLine(pt, {.order = l.order,
                                .product = l.product,
                                .quantity = l.quantity,
                                .price = l.price});
  }
  pt.Close();
  bench::PackHandheldContainer(dir, work, {"Kestor_OrderDb.pdb", "Kestor_OrderItemDb.pdb"});
}

// The parameter types of a prepared insert, bound as the columns want them.
enum class Kind { Integer, Double, Date, Text };

// One prepared insert whose parameters are bound once; Run copies a row into the bound buffers.
class DirectInsert {
 public:
  using Value = std::variant<int, double, std::string>;  // a date is its ISO text bound as date

  DirectInsert(odbc::TmDataBase& db, std::string sql, std::vector<Kind> kinds)
      : api_(db.Api()), kinds_(std::move(kinds)), buffers_(kinds_.size()), lengths_(kinds_.size()) {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    if (api_.SQLAllocHandle(SQL_HANDLE_STMT, db.ConnectionHandle(), &handle) != SQL_SUCCESS)
      throw std::runtime_error("cannot allocate a statement");
    statement_ = static_cast<SQLHSTMT>(handle);
    Check(api_.SQLPrepare(statement_, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS));
    for (std::size_t i = 0; i < kinds_.size(); ++i) {
      buffers_[i].fill('\0');
      SQLSMALLINT cType = SQL_C_CHAR, sqlType = SQL_VARCHAR;
      SQLULEN size = 200;
      switch (kinds_[i]) {
        case Kind::Integer: cType = SQL_C_SLONG; sqlType = SQL_INTEGER; size = 0; break;
        case Kind::Double: cType = SQL_C_DOUBLE; sqlType = SQL_DOUBLE; size = 0; break;
        case Kind::Date: cType = SQL_C_TYPE_DATE; sqlType = SQL_TYPE_DATE; size = 0; break;
        case Kind::Text: break;
      }
      Check(api_.SQLBindParameter(statement_, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, cType, sqlType, size,
                                  0, buffers_[i].data(), static_cast<SQLLEN>(buffers_[i].size()), &lengths_[i]));
    }
  }
  ~DirectInsert() { api_.SQLFreeHandle(SQL_HANDLE_STMT, statement_); }
  DirectInsert(const DirectInsert&) = delete;
  DirectInsert& operator=(const DirectInsert&) = delete;

  // Runs the insert; an empty text is bound as NULL.
  void Run(const std::vector<Value>& row) {
    for (std::size_t i = 0; i < kinds_.size(); ++i) {
      char* buffer = buffers_[i].data();
      switch (kinds_[i]) {
        case Kind::Integer: {
          const SQLINTEGER v = std::get<int>(row.at(i));
          std::memcpy(buffer, &v, sizeof v);
          lengths_[i] = sizeof v;
          break;
        }
        case Kind::Double: {
          const double v = std::get<double>(row.at(i));
          std::memcpy(buffer, &v, sizeof v);
          lengths_[i] = sizeof v;
          break;
        }
        case Kind::Date: {
          const SQL_DATE_STRUCT v{2026, 3, 14};
          std::memcpy(buffer, &v, sizeof v);
          lengths_[i] = sizeof v;
          break;
        }
        case Kind::Text: {
          const std::string& text = std::get<std::string>(row.at(i));
          const std::size_t n = std::min(text.size(), buffers_[i].size() - 1);
          std::copy_n(text.data(), n, buffer);
          buffer[n] = '\0';
          lengths_[i] = text.empty() ? SQL_NULL_DATA : SQL_NTS;
          break;
        }
      }
    }
    Check(api_.SQLExecute(statement_));
  }

 private:
  void Check(SQLRETURN rc) const { odbc::StatementCheck(api_, rc, statement_); }

  const odbc::TOdbcApi& api_;
  SQLHSTMT statement_ = SQL_NULL_HSTMT;
  std::vector<Kind> kinds_;
  std::vector<std::array<char, 256>> buffers_;
  std::vector<SQLLEN> lengths_;
};

void Exec(odbc::TmDataBase& db, std::string sql) {
  const odbc::TOdbcApi& api = db.Api();
  SQLHANDLE handle = SQL_NULL_HANDLE;
  api.SQLAllocHandle(SQL_HANDLE_STMT, db.ConnectionHandle(), &handle);
  const SQLRETURN rc = api.SQLExecDirect(static_cast<SQLHSTMT>(handle), reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS);
  try {
    odbc::StatementCheck(api, rc, static_cast<SQLHSTMT>(handle));
  } catch (...) {
    api.SQLFreeHandle(SQL_HANDLE_STMT, handle);
    throw;
  }
  api.SQLFreeHandle(SQL_HANDLE_STMT, handle);
}

// The same rows as the conversion writes, straight through the driver.
void InsertDirectly(const std::vector<Order>& orders, std::vector<Line> lines) {
  odbc::TmDataBase db;
  db.SetParams({std::string("DRIVER=") + kDriverName});
  db.SetDriverCompletion(odbc::TmDriverCompletion::sdNoPrompt);
  db.Connect();
  Exec(db, "create table \"order.dbf\" (id integer, IdCustomer integer, OrderDate Date, DelivDate Date, IDPAYMENT "
           "integer, Countrow Integer, NPrice Integer, Discount Numeric(15,3), Total Numeric(15,3), Prim char(200), "
           "OrderTime Char(10), Note1 char(200), Note2 char(200))");
  Exec(db, "create table \"orderitem.dbf\" (idorder integer, IdProduct Integer, Quantity Numeric(15,3), Price "
           "Numeric(15,3))");
  Exec(db, "create table \"orders.dbf\" (Idorder Char(15), Iditem Char(15), OrderDate Char(15), DelivDate Char(15), "
           "IdCustomer Char(15), IdPayment Char(15), Total Char(18), CountRow Char(15), IdPrice Char(15), Discount "
           "Char(15), Prim Char(200), OrderTime Char(10), Note1 char(200), Note2 char(200))");
  db.StartTransaction();
  {
    using K = Kind;
    const std::string note = "\xC4\xEE\xF1\xF2\xE0\xE2\xE8\xF2\xFC \xE4\xEE \xEE\xE1\xE5\xE4\xE0";
    const std::string note1 = "\xCD\xE0\xEB\xE8\xF7\xED\xFB\xE5";
    DirectInsert order(db, "insert into \"order.dbf\" values (?,?,?,?,?,?,?,?,?,?,?,?,?)",
                       {K::Integer, K::Integer, K::Date, K::Date, K::Integer, K::Integer, K::Integer, K::Double,
                        K::Double, K::Text, K::Text, K::Text, K::Text});
    for (const Order& o : orders)
      order.Run({o.id, o.customer, 0, 0, 1, 3, 1, 2.5, o.total, note, std::string("10:15"), note1, std::string()});
    DirectInsert item(db, "insert into \"orderitem.dbf\" values (?,?,?,?)",
                      {K::Integer, K::Integer, K::Double, K::Double});
    for (const Line& l : lines) item.Run({l.order, l.product, l.quantity, l.price});
    std::vector<Order> sorted = orders;
    std::sort(sorted.begin(), sorted.end(), [](const Order& a, const Order& b) { return a.id < b.id; });
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.order < b.order; });
    DirectInsert merged(db, "insert into \"orders.dbf\" values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                        std::vector<Kind>(14, K::Text));
    std::size_t next = 0;
    int lineNumber = 0;
    for (const Order& o : sorted) {
      merged.Run({std::to_string(o.id), std::string("0"), std::string("14.03.2026"), std::string("14.03.2026"),
                  std::to_string(o.customer), std::string("1"), core::FormatFixed(o.total, 2), std::string("3"),
                  std::string("1"), std::string("2,50"), note, std::string("10:15"), note1, std::string()});
      for (; next < lines.size() && lines[next].order == o.id; ++next) {
        const Line& l = lines[next];
        const std::string none;
        merged.Run({std::to_string(o.id), std::to_string(++lineNumber), std::to_string(l.product),
                    core::FormatFixed(l.quantity, 3), core::FormatFixed(l.price, 2), none,
                    core::FormatFixed(l.quantity * l.price, 2), none, none, none, none, none, none, none});
      }
    }
  }
  db.Commit();
  db.Disconnect();
}

// Runs "PDB -> DBF" from `source` into `dest` through `driver`; returns its seconds.
double Convert(const fs::path& source, const fs::path& dest, const char* driver) {
  convert::MainFormState state;
  state.edtSource = source.string();
  state.edtDest = dest.string();
  state.OdbcDriver = driver;
  core::SilentReporter reporter;
  convert::MainFormObjects objects;
  convert::ConversionContext context{state, reporter, objects};
  convert::ConversionResult result{};
  const double seconds = bench::BestSeconds([&] { result = convert::PdbToDbf(context); }, 1);
  if (result != convert::ConversionResult::Done) throw std::runtime_error(std::string("the conversion through ") + driver + " did not run");
  return seconds;
}

// The record count a dBase header gives.
std::uint32_t RecordsIn(const fs::path& file) {
  unsigned char header[8] = {};
  std::ifstream in(file, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) throw std::runtime_error("no header in " + file.string());
  return header[4] | header[5] << 8 | header[6] << 16 | static_cast<std::uint32_t>(header[7]) << 24;
}

}  // namespace

int main() {
  const char* socket = std::getenv("VESTIBO_PG_SOCKET");
  if (socket == nullptr || *socket == '\0') {
    std::printf("PDB -> DBF: skipped (no PostgreSQL test server; source scripts/test-services/postgres.sh first)\n");
    bench::Row("PDB -> DBF: skipped, no PostgreSQL test server", "-", "-", 0, bench::Goal::None, 0);
    return 0;
  }
  const fs::path root = fs::temp_directory_path() / ("vb-dbf-" + std::to_string(::getpid()));
  const std::string converted = "vestibo_bench_dbf_" + std::to_string(::getpid());
  const std::string direct = converted + "_direct";
  int status = 0;
  try {
    fs::create_directories(root / "handheld");
    fs::create_directories(root / "office");
    fs::create_directories(root / "dbase");
    std::ofstream(root / "odbcinst.ini") << "[" << kDriverName << "]\nDriver=" << kDriverLibrary << "\n["
                                         << kDbfDriverName << "]\nDriver=" << VESTIBO_DBF_DRIVER << "\n";
    std::ofstream(root / "odbc.ini") << "";
    setenv("ODBCSYSINI", root.c_str(), 1);
    setenv("ODBCINSTINI", "odbcinst.ini", 1);
    setenv("ODBCINI", (root / "odbc.ini").c_str(), 1);
    for (const std::string& database : {converted, direct})
      Psql(root, "postgres",
           "CREATE DATABASE " + database + " ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0");
    Psql(root, converted, kStandIn);

    std::vector<Order> orders;
    std::vector<Line> lines;
    MakeDocuments(orders, lines);
    WriteContainer(root / "handheld", orders, lines);

    // The program's connect lines name no database: the driver takes libpq's PGDATABASE.
    setenv("PGDATABASE", converted.c_str(), 1);
    const double conversion = Convert(root / "handheld", root / "office", kDriverName);
    const std::string counts = PsqlValue(root, converted,
                                         "SELECT (SELECT count(*) FROM \"order.dbf\") || ' ' || (SELECT count(*) FROM "
                                         "\"orderitem.dbf\") || ' ' || (SELECT count(*) FROM \"orders.dbf\")");
    const std::string expected =
        std::to_string(kOrders) + " " + std::to_string(kLines) + " " + std::to_string(kOrders + kLines);
    if (counts != expected) throw std::runtime_error("rows written: " + counts + ", expected " + expected);

    const double dbase = Convert(root / "handheld", root / "dbase", kDbfDriverName);
    const std::string dbfCounts = std::to_string(RecordsIn(root / "dbase" / "order.dbf")) + " " +
                                  std::to_string(RecordsIn(root / "dbase" / "orderitem.dbf")) + " " +
                                  std::to_string(RecordsIn(root / "dbase" / "orders.dbf"));
    if (dbfCounts != expected) throw std::runtime_error("dBase records written: " + dbfCounts + ", expected " + expected);

    setenv("PGDATABASE", direct.c_str(), 1);
    const double reference = bench::BestSeconds([&] { InsertDirectly(orders, lines); }, 1);

    std::printf("PDB -> DBF, FoxPro variant on PostgreSQL: %d orders, %d lines -> %d rows written\n", kOrders, kLines,
                kRowsWritten);
    std::printf("  conversion                     %8.2f s  %9.0f rows/s\n", conversion, kRowsWritten / conversion);
    std::printf("  direct prepared inserts (ref)  %8.2f s  %9.0f rows/s\n", reference, kRowsWritten / reference);
    std::printf("  ratio conversion / reference   %8.2f\n", conversion / reference);
    std::printf("  through the dBase driver       %8.2f s  %9.0f rows/s\n", dbase, kRowsWritten / dbase);
    bench::Row("PDB -> DBF (PostgreSQL) / direct prepared inserts", bench::Seconds(conversion),
               bench::Seconds(reference), conversion / reference, bench::Goal::None, 0);
    char rate[64];
    std::snprintf(rate, sizeof rate, "%.0f rows/s", kRowsWritten / conversion);
    const std::string postgresRate = rate;
    std::snprintf(rate, sizeof rate, "%.0f rows/s", kRowsWritten / dbase);
    bench::Row("PDB -> DBF rows/s: dBase driver / PostgreSQL", rate, postgresRate, conversion / dbase,
               bench::Goal::None, 0);
  } catch (const std::exception& e) {
    std::printf("PDB -> DBF: FAIL: %s\n", e.what());
    status = 1;
  }
  try {
    for (const std::string& database : {converted, direct})
      Psql(root, "postgres", "DROP DATABASE IF EXISTS " + database + " WITH (FORCE)");
  } catch (const std::exception& e) {
    std::printf("cleanup: %s\n", e.what());
  }
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return status;
}
