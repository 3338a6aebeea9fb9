// "PDB -> DBF" end to end through the PostgreSQL ODBC driver, registered under a dBase-like and a
// FoxPro-like name. A fresh SQL_ASCII database per test stands in for the dBase directory; the
// set-up makes up what PostgreSQL does differently from a directory of table files: an event
// trigger renames a table created as "<dir>/orders.dbf" to its last path component, and a view
// "orderItem.dbf" serves the insert that spells the table that way. The rows that arrive are read
// with psql, independently of the program's own ODBC code.
#include "convert/PdbToDbf.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ConversionTestUtil.h"
#include "app/ConsoleStart.h"
#include "app/ODBCErrorHandler.h"
#include "core/Encoding.h"
#include "core/TextUtil.h"
#include "support/OdbcTestEnv.h"
#include "support/TempDir.h"

namespace converttest {
namespace {

using convert::ConversionResult;
using app::Command;
using app::RunOutcome;
using testsupport::TempDir;
using Rows = std::vector<std::string>;

core::TDateTime Day(int year, int month, int day) { return *core::TDateTime::FromDate(year, month, day); }

// Runs `sql` with psql on `database`; the rows, columns joined by "|", NULL as "<null>", texts
// converted from Windows-1251 to UTF-8.
Rows Psql(const std::string& database, const std::string& sql) {
  TempDir dir;
  dir.WriteFile("in.sql", sql);
  const std::string command = "psql -X -q -v ON_ERROR_STOP=1 -A -t -F '|' -P null='<null>' -d " + database +
                              " -f '" + (dir / "in.sql").string() + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run psql");
  std::string output;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int status = pclose(pipe);
  if (status != 0) throw std::runtime_error("psql failed on " + sql + ":\n" + output);
  Rows rows;
  std::istringstream lines(core::AnsiToUtf8(output));
  for (std::string line; std::getline(lines, line);) rows.push_back(line);
  return rows;
}

// What PostgreSQL needs to stand in for a directory of table files. `created` logs every table
// name as the statement gave it. Two switches make inserts fail: dbf.no_view leaves out the view,
// dbf.refuse_once makes the server refuse the first order line only (a sequence counts attempts,
// whatever becomes of their transactions).
constexpr const char* kStandIn = R"sql(
CREATE TABLE created (name text);
CREATE SEQUENCE attempts;
CREATE FUNCTION refuse_once() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF nextval('attempts') = 1 THEN RAISE EXCEPTION 'refused once'; END IF;
  RETURN NEW;
END $$;
CREATE FUNCTION dbf_stand_in() RETURNS event_trigger LANGUAGE plpgsql AS $$
DECLARE
  command record;
  name text;
BEGIN
  FOR command IN SELECT * FROM pg_event_trigger_ddl_commands() WHERE command_tag = 'CREATE TABLE' LOOP
    SELECT relname INTO name FROM pg_class WHERE oid = command.objid;
    INSERT INTO created VALUES (name);
    IF name ~ '[/\\]' THEN
      name := regexp_replace(name, '^.*[/\\]', '');
      EXECUTE format('ALTER TABLE %s RENAME TO %I', command.objid::regclass, name);
    END IF;
    IF name = 'orderitem.dbf' AND current_setting('dbf.no_view', true) IS DISTINCT FROM 'on' THEN
      CREATE VIEW "orderItem.dbf" AS SELECT * FROM "orderitem.dbf";
    END IF;
    IF name = 'orderitem.dbf' AND current_setting('dbf.refuse_once', true) = 'on' THEN
      CREATE TRIGGER refuse_once BEFORE INSERT ON "orderitem.dbf" FOR EACH ROW EXECUTE FUNCTION refuse_once();
    END IF;
  END LOOP;
END $$;
CREATE EVENT TRIGGER dbf_stand_in ON ddl_command_end WHEN TAG IN ('CREATE TABLE') EXECUTE FUNCTION dbf_stand_in();
)sql";

const std::string kOrdersColumns =
    "rtrim(idorder), rtrim(iditem), rtrim(orderdate), rtrim(delivdate), rtrim(idcustomer), rtrim(idpayment), "
    "rtrim(total), rtrim(countrow), rtrim(idprice), rtrim(discount), rtrim(prim), rtrim(ordertime), rtrim(note1), "
    "rtrim(note2)";
const std::string kOrderColumns =
    "id, idcustomer, orderdate, delivdate, idpayment, countrow, nprice, discount, total, rtrim(prim), "
    "rtrim(ordertime), rtrim(note1), rtrim(note2)";

std::string Message(int orders, int cash) {
  return "Обработано документов: " + std::to_string(orders) + "\r       Кассовых ордеров: " + std::to_string(cash);
}

// A text of `length` characters, Cyrillic and Latin.
std::string Text(std::size_t length) {
  std::string text;
  for (int i = 10; core::Utf8ToAnsi(text).size() < length; ++i) text += "Доставить к обеду, код " + std::to_string(i) + "; ";
  return core::AnsiToUtf8(core::Utf8ToAnsi(text).substr(0, length));
}

const std::vector<TestOrder> kOrders = {
    {7, 3, Day(2004, 3, 5), Day(2004, 3, 6), "09:40", 1, 1234.5, 1, 2, 0, Text(250), Text(150), "Тара"},
    {5, 4, Day(2004, 12, 31), Day(2005, 1, 2), "17:05", 2, 10, 2, 1, 2.5, "", "", ""},
};
// Lines of order 3 and 9, which are not there, are written to orderitem.dbf only.
const std::vector<TestOrderItem> kItems = {
    {5, 11, 2.5, 10}, {7, 13, 1, 99.99}, {3, 50, 1, 1}, {5, 12, 0.125, 3.333}, {9, 60, 4, 2},
};
const std::vector<TestCash> kCash = {{901, 3, Day(2004, 3, 5), 1, 1, 1000, 1000, "Оплата"}};

// Header rows and line rows in id order, lines numbered on across orders; texts the handheld
// left empty arrive as NULL.
const Rows kMergedRows = {
    "5|0|31.12.2004|02.01.2005|4|2|10,00|2|1|2,50|<null>|17:05|<null>|<null>",
    "5|1|11|2,500|10,00|<null>|25,00|<null>|<null>|<null>|<null>|<null>|<null>|<null>",
    "5|2|12|0,125|3,33|<null>|0,42|<null>|<null>|<null>|<null>|<null>|<null>|<null>",
    "7|0|05.03.2004|06.03.2004|3|1|1234,50|1|2|0,00|" + Text(200) + "|09:40|" + Text(150) + "|Тара",
    "7|3|13|1,000|99,99|<null>|99,99|<null>|<null>|<null>|<null>|<null>|<null>|<null>",
};

const std::vector<std::string> kUnpacked = {"Kestor_CashDb.pdb", "Kestor_OrderDb.pdb", "Kestor_OrderItemDb.pdb"};

class PdbToDbfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VESTIBO_REQUIRE_POSTGRES();
    static int serial = 0;
    database_ = "vestibo_dbf_" + std::to_string(getpid()) + "_" + std::to_string(++serial);
    Psql("postgres", "CREATE DATABASE " + database_ +
                         " ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0");
    Psql(database_, kStandIn);
    // The program's connect lines name no database: the driver takes libpq's default.
    useDatabase_.emplace("PGDATABASE", database_.c_str());
    // Table names of the FoxPro statements carry the directory; PostgreSQL keeps 63 bytes.
    ASSERT_LT(office.Str().size() + std::string("/orderitem.dbf").size(), 64u);

    window.state.edtSource = handheld.Str();
    window.state.edtDest = office.Str();
    window.state.Interactive = true;
    window.state.OdbcDriver = odbctest::kPostgresAsDBaseDriver;
  }
  void TearDown() override {
    useDatabase_.reset();
    if (!database_.empty()) Psql("postgres", "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
  }

  void MakeContainer(const std::vector<TestOrder>& orders, const std::vector<TestOrderItem>& items,
                     const std::vector<TestCash>* cash) {
    TempDir work;
    WriteDocuments(work.Str(), &orders, &items, cash);
    std::vector<std::string> files{"Kestor_OrderDb.pdb", "Kestor_OrderItemDb.pdb"};
    if (cash) files.push_back("Kestor_CashDb.pdb");
    PackContainer(work.Str(), files, handheld.Str());
  }

  Rows Query(const std::string& sql) const { return Psql(database_, sql); }
  Rows OrdersRows() const { return Query("SELECT " + kOrdersColumns + " FROM \"orders.dbf\" ORDER BY ctid"); }
  Rows OrderRows() const { return Query("SELECT " + kOrderColumns + " FROM \"order.dbf\" ORDER BY ctid"); }
  Rows ItemRows() const {
    return Query("SELECT idorder, idproduct, quantity, price FROM \"orderitem.dbf\" ORDER BY ctid");
  }
  Rows Count(const std::string& table) const { return Query("SELECT count(*) FROM \"" + table + "\""); }

  // Sessions on the test database other than psql's own; waits a little for closed ones to end.
  int OpenSessions() const {
    int sessions = 0;
    for (int attempt = 0; attempt < 50; ++attempt) {
      sessions = std::stoi(Psql("postgres", "SELECT count(*) FROM pg_stat_activity WHERE datname = '" + database_ +
                                                "'")
                               .at(0));
      if (sessions == 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return sessions;
  }

  std::string database_;
  std::optional<testsupport::ScopedEnv> useDatabase_;
  TempDir handheld, office;
  Window window;
};

TEST_F(PdbToDbfTest, DBaseTablesHoldTheDocumentsAndTheMergedOrders) {
  MakeContainer(kOrders, kItems, &kCash);
  // Earlier tables go first, whatever their spelling; so do unpacked databases at the end.
  for (const char* earlier : {"ORDER.DBF", "orders.dbf", "OrderItem.DBF", "cash.dbf"}) office.WriteFile(earlier, "x");

  ASSERT_EQ(window.Run(Command::PdbToDbf), ConversionResult::Done) << ::testing::PrintToString(window.Texts());

  EXPECT_EQ(window.Texts(), Rows{Message(2, 0)});
  EXPECT_EQ(OrderRows(), (Rows{
                             "7|3|2004-03-05|2004-03-06|1|1|2|0|1234.5|" + Text(200) + "|09:40|" + Text(150) + "|Тара",
                             "5|4|2004-12-31|2005-01-02|2|2|1|2.5|10|<null>|17:05|<null>|<null>",
                         }));
  EXPECT_EQ(ItemRows(), (Rows{"5|11|2.5|10", "7|13|1|99.99", "3|50|1|1", "5|12|0.125|3.333", "9|60|4|2"}));
  EXPECT_EQ(OrdersRows(), kMergedRows);
  EXPECT_EQ(Query("SELECT name FROM created ORDER BY name"), (Rows{"order.dbf", "orderitem.dbf", "orders.dbf"}));
  EXPECT_TRUE(office.List().empty()) << ::testing::PrintToString(office.List());
  EXPECT_TRUE(handheld.Exists("Kestor_Out.pdb"));
  EXPECT_EQ(OpenSessions(), 0);
}

// The driver argument of the command line selects the FoxPro statements: full paths in CREATE
// TABLE, numeric columns, and transactions that must be committed for another session to see the
// rows.
TEST_F(PdbToDbfTest, FoxProDriverFromTheCommandLine) {
  MakeContainer(kOrders, kItems, nullptr);
  const std::vector<std::string> args{"pdbtodbf", handheld.Str(), office.Str(), odbctest::kPostgresAsFoxProDriver};
  std::ostringstream out, err;

  const app::ExitCode code =
      app::RunConsole(app::EvaluateCommandLine(args, "unused"), out, err, false, app::InstallODBCConsoleHandler);

  ASSERT_EQ(code, app::ExitCode::Success) << err.str();
  EXPECT_EQ(out.str(), "");  // unattended: no completion message
  const std::string dir = office.Str() + "/";
  EXPECT_EQ(Query("SELECT name FROM created ORDER BY name"),
            (Rows{dir + "order.dbf", dir + "orderitem.dbf", dir + "orders.dbf"}));
  EXPECT_EQ(Query("SELECT id, discount, total FROM \"order.dbf\" ORDER BY ctid"),
            (Rows{"7|0.000|1234.500", "5|2.500|10.000"}));
  EXPECT_EQ(Query("SELECT idorder, quantity, price FROM \"orderitem.dbf\" ORDER BY ctid LIMIT 1"),
            (Rows{"5|2.500|10.000"}));
  EXPECT_EQ(OrdersRows(), kMergedRows);
  EXPECT_TRUE(office.List().empty()) << ::testing::PrintToString(office.List());
  EXPECT_EQ(OpenSessions(), 0);
}

// Without orders the tables are created and order lines still written; a file-based driver
// would have its three table files deleted again, which a server's tables are not.
TEST_F(PdbToDbfTest, NoOrders) {
  MakeContainer({}, kItems, &kCash);
  office.WriteFile("Cash.DBF", "x");

  ASSERT_EQ(window.Run(Command::PdbToDbf), ConversionResult::Done);

  EXPECT_EQ(window.Texts(), Rows{Message(0, 0)});
  EXPECT_EQ(Count("order.dbf"), Rows{"0"});
  EXPECT_EQ(Count("orders.dbf"), Rows{"0"});
  EXPECT_EQ(Count("orderitem.dbf"), Rows{"5"});
  EXPECT_TRUE(office.List().empty()) << ::testing::PrintToString(office.List());
}

// A refused statement stops the conversion. The connection is closed all the same (with the
// FoxPro driver its open transaction is rolled back), and the unpacked databases stay.
struct RefusalCase {
  const char* name;
  const char* driver;
  const char* setUp;       // run on the test database first; {db} is its name
  const char* sqlState;    // of the error shown
  const char* orderCount;  // rows of order.dbf afterwards; null when the table is not the program's
  const char* itemCount;   // rows of orderitem.dbf afterwards; null when it was not created
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class PdbToDbfRefusal : public PdbToDbfTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(PdbToDbfRefusal, StopsTheConversionAndClosesTheConnection) {
  const RefusalCase& c = GetParam();
  MakeContainer(kOrders, kItems, &kCash);
  std::string setUp = c.setUp;
  if (const auto at = setUp.find("{db}"); at != std::string::npos) setUp.replace(at, 4, database_);
  Query(setUp);
  window.state.OdbcDriver = c.driver;

  EXPECT_EQ(window.RunGuarded(Command::PdbToDbf), RunOutcome::Stopped);

  ASSERT_EQ(window.Texts().size(), 1u);
  EXPECT_EQ(window.Texts()[0].find(c.sqlState), 0u) << window.Texts()[0];
  EXPECT_EQ(OpenSessions(), 0);
  EXPECT_EQ(Count("orders.dbf"), Rows{"0"});
  if (c.orderCount != nullptr) {
    EXPECT_EQ(Count("order.dbf"), Rows{c.orderCount});
  }
  if (c.itemCount != nullptr) {
    EXPECT_EQ(Count("orderitem.dbf"), Rows{c.itemCount});
  }
  EXPECT_EQ(office.List(), kUnpacked);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PdbToDbfRefusal,
    ::testing::Values(
        RefusalCase{"TableExists", odbctest::kPostgresAsDBaseDriver, "CREATE TABLE \"order.dbf\" (x integer)", "42P07",
                    nullptr, nullptr},
        // Without the view the insert that spells "orderItem.dbf" fails on the first order line;
        // the orders posted before stay, unless a transaction held them.
        RefusalCase{"InsertRefused", odbctest::kPostgresAsDBaseDriver, "ALTER DATABASE {db} SET dbf.no_view = 'on'",
                    "42P01", "2", "0"},
        RefusalCase{"InsertRefusedInTransaction", odbctest::kPostgresAsFoxProDriver,
                    "ALTER DATABASE {db} SET dbf.no_view = 'on'", "42P01", "0", "0"},
        // A refused line is not tried again when the run is wound up: it would go in this time.
        RefusalCase{"RefusedLineNotRetried", odbctest::kPostgresAsDBaseDriver,
                    "ALTER DATABASE {db} SET dbf.refuse_once = 'on'", "P0001", "2", "0"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

// The merge into orders.dbf through every kind of driver: each reads order.dbf and orderitem.dbf
// back through its own cursors (scrollable ones on SQLite and PostgreSQL). The SQLite driver
// makes its database file in the current directory, named after the connect lines, so the
// destination is given relative to a fresh current directory.
struct MergeDriver {
  const char* name;
  const char* driver;
  bool onPostgres;  // needs the stand-in database of the PostgreSQL test server
};

void PrintTo(const MergeDriver& d, std::ostream* os) { *os << d.name; }

class PdbToDbfMerge : public PdbToDbfTest, public ::testing::WithParamInterface<MergeDriver> {
 protected:
  void SetUp() override {
    if (GetParam().onPostgres) PdbToDbfTest::SetUp();
    odbctest::EnsureDriverRegistry();
  }
  void TearDown() override {
    if (GetParam().onPostgres) PdbToDbfTest::TearDown();
  }
};

class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::filesystem::path& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedCurrentDir() { std::filesystem::current_path(old_); }
  ScopedCurrentDir(const ScopedCurrentDir&) = delete;
  ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

 private:
  std::filesystem::path old_;
};

TEST_P(PdbToDbfMerge, OrdersHoldEveryOrderWithItsLines) {
  const std::vector<TestOrder> orders = {
      {9, 1, Day(2004, 3, 5), Day(2004, 3, 6), "09:40", 1, 10, 2, 1, 0, "", "", ""},
      {5, 2, Day(2004, 3, 5), Day(2004, 3, 6), "09:41", 1, 20, 2, 1, 0, "", "", ""},
      {7, 3, Day(2004, 3, 5), Day(2004, 3, 6), "09:42", 1, 30, 1, 1, 0, "", "", ""},
  };
  const std::vector<TestOrderItem> items = {{9, 91, 1, 1}, {5, 51, 1, 1}, {7, 71, 1, 1}, {5, 52, 1, 1}, {9, 92, 1, 1}};
  MakeContainer(orders, items, nullptr);
  TempDir root;
  ScopedCurrentDir inRoot(root.Path());
  window.state.edtSource = handheld.Str();
  window.state.edtDest = "office";
  window.state.Interactive = false;
  window.state.OdbcDriver = GetParam().driver;

  ASSERT_EQ(window.RunGuarded(Command::PdbToDbf), RunOutcome::Done) << ::testing::PrintToString(window.Texts());

  odbc::TmDataBase db;
  db.SetParams(convert::DbfConnectParams(convert::DbfVariant::dBase, GetParam().driver, "office"));
  Rows rows;
  for (const auto& row : odbctest::FetchAll(db, "select Idorder, Iditem, OrderDate from \"orders.dbf\"")) {
    std::string line;
    for (const std::string& value : row) line += (line.empty() ? "" : "|") + std::string(core::TrimBlanks(value));
    rows.push_back(line);
  }
  EXPECT_EQ(rows, (Rows{"5|0|05.03.2004", "5|1|51", "5|2|52", "7|0|05.03.2004", "7|3|71", "9|0|05.03.2004", "9|4|91",
                        "9|5|92"}));
}

INSTANTIATE_TEST_SUITE_P(Drivers, PdbToDbfMerge,
                         ::testing::Values(MergeDriver{"SQLite", odbctest::kSqliteDriver, false},
                                           MergeDriver{"PostgreSQL", odbctest::kPostgresAsDBaseDriver, true},
                                           MergeDriver{"dBase", odbctest::kDBaseDriver, false}),
                         [](const ::testing::TestParamInfo<MergeDriver>& info) { return std::string(info.param.name); });

// A driver nobody registered: its diagnostics reach the console's error output, the exit status
// says the conversion was stopped, and nothing but the unpacked databases is left. Without a
// driver argument the default driver is asked for, which is not installed here either.
TEST(PdbToDbfDriver, UnknownDriverStopsWithItsDiagnostics) {
  odbctest::EnsureDriverRegistry();
  for (const std::vector<std::string>& extra : {std::vector<std::string>{"No Such Driver"}, std::vector<std::string>{}}) {
    TempDir handheld, office;
    {
      TempDir work;
      const std::vector<TestOrder> orders{{5, 1, Day(2004, 3, 5), Day(2004, 3, 6), "09:40", 1, 10, 1, 1, 0, "", "", ""}};
      const std::vector<TestOrderItem> items{{5, 11, 1, 10}};
      WriteDocuments(work.Str(), &orders, &items, nullptr);
      PackContainer(work.Str(), {"Kestor_OrderDb.pdb", "Kestor_OrderItemDb.pdb"}, handheld.Str());
    }
    std::vector<std::string> args{"PDBTODBF", handheld.Str(), office.Str()};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream out, err;

    const app::ExitCode code =
        app::RunConsole(app::EvaluateCommandLine(args, "unused"), out, err, false, app::InstallODBCConsoleHandler);

    EXPECT_EQ(code, app::ExitCode::ConversionStopped);
    // The driver manager's own words about the driver it could not load.
    const std::string driver = extra.empty() ? std::string(convert::kDefaultOdbcDriver) : extra[0];
    EXPECT_NE(err.str().find("Vestibo: 01000 (native 0): [unixODBC][Driver Manager]Can't open lib '" + driver + "'"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(office.List(), (std::vector<std::string>{"Kestor_OrderDb.pdb", "Kestor_OrderItemDb.pdb"}));
  }
}

TEST(PdbToDbfDriver, DefaultDriverAndVariantByName) {
  Window window;
  TempDir empty;
  window.state.edtSource = empty.Str();
  window.state.edtDest = empty.Str();
  // Nothing to do, but the default is settled first and kept.
  EXPECT_EQ(window.Run(Command::PdbToDbf), ConversionResult::NothingToDo);
  EXPECT_EQ(window.state.OdbcDriver, convert::kDefaultOdbcDriver);
  // Receipts alone are nothing to do either (they have no table), even beside an earlier
  // upload's order databases.
  TempDir handheld, work;
  WriteDocuments(work.Str(), nullptr, nullptr, &kCash);
  PackContainer(work.Str(), {"Kestor_CashDb.pdb"}, handheld.Str());
  WriteDocuments(empty.Str(), &kOrders, &kItems, nullptr);
  window.state.edtSource = handheld.Str();
  EXPECT_EQ(window.Run(Command::PdbToDbf), ConversionResult::NothingToDo);
  EXPECT_EQ(empty.List(), std::vector<std::string>{"Kestor_CashDb.pdb"});
  EXPECT_EQ(convert::DbfVariantFor(convert::kDefaultOdbcDriver), convert::DbfVariant::dBase);
  testsupport::ScopedEnv locale("LC_ALL", "ru_RU.UTF-8");
  for (const char* foxPro : {"Microsoft Visual FoxPro Driver (VFP)", "my vfp driver", "VfPOLEDB"})
    EXPECT_EQ(convert::DbfVariantFor(foxPro), convert::DbfVariant::FoxPro) << foxPro;
  for (const char* dBase : {"PostgreSQL ANSI", "SQLite3", "V F P", "Visual FoxPro"})
    EXPECT_EQ(convert::DbfVariantFor(dBase), convert::DbfVariant::dBase) << dBase;
}

}  // namespace
}  // namespace converttest
