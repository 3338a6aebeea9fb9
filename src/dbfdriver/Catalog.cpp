#include "dbfdriver/Catalog.h"

#include <algorithm>
#include <system_error>

#include "dbfdriver/CData.h"
#include "dbfdriver/TableNames.h"

namespace dbf::odbc {

namespace {

// Builds a result set column by column, then row by row.
class ResultBuilder {
 public:
  ResultBuilder& Text(const char* name, int width = 128) { return Add(name, 'C', width, SQL_VARCHAR); }
  ResultBuilder& Small(const char* name) { return Add(name, 'N', 6, SQL_SMALLINT); }
  ResultBuilder& Integer(const char* name) { return Add(name, 'N', 11, SQL_INTEGER); }

  void Row(const std::vector<Value>& values) {
    std::string row(static_cast<std::size_t>(length_), ' ');
    std::vector<Warning> ignored;
    for (std::size_t i = 0; i < values.size() && i < set_.columns.size(); ++i) {
      const FieldDef& field = set_.columns[i].field;
      EncodeField(field, values[i], row, ignored);
    }
    set_.rows.push_back(std::move(row));
  }
  ResultSet Take() { return std::move(set_); }

 private:
  ResultBuilder& Add(const char* name, char type, int width, SQLSMALLINT sqlType) {
    set_.columns.push_back({FieldDef{name, type, width, 0, length_}, sqlType, {}});
    length_ += width;
    return *this;
  }
  ResultSet set_;
  int length_ = 1;
};

Value Number(double v) { return v; }
Value Null() { return {}; }

// SQL LIKE with % and _, \ escaping; letter case ignored as file names are.
bool Like(std::string_view text, std::string_view pattern) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  if (pattern.empty()) return text.empty();
  if (pattern[0] == '%') {
    for (std::size_t i = 0; i <= text.size(); ++i)
      if (Like(text.substr(i), pattern.substr(1))) return true;
    return false;
  }
  if (text.empty()) return false;
  if (pattern[0] == '\\' && pattern.size() > 1) {
    return lower(text[0]) == lower(pattern[1]) && Like(text.substr(1), pattern.substr(2));
  }
  if (pattern[0] == '_' || lower(pattern[0]) == lower(text[0])) return Like(text.substr(1), pattern.substr(1));
  return false;
}

std::vector<std::filesystem::path> TableFiles(const std::filesystem::path& directory, const std::string& pattern) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (!HasDbfExtension(name) || !it->is_regular_file(error)) continue;
    // Patterns are short; a long one is bounded by the name lengths it is matched with.
    if (pattern.empty() || Like(TableNameOf(it->path()), pattern.substr(0, 256)) || Like(name, pattern.substr(0, 256)))
      files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct TypeRow {
  const char* name;
  SQLSMALLINT type;
  int size;
  const char* prefix;
  const char* suffix;
  const char* params;
  int minScale, maxScale;
};

// Ordered by data type, as the type list is returned.
constexpr TypeRow kTypeRows[] = {
    {"LOGICAL", SQL_BIT, 1, nullptr, nullptr, nullptr, 0, 0},
    {"CHAR", SQL_CHAR, 254, "'", "'", "length", 0, 0},
    {"NUMERIC", SQL_NUMERIC, 20, nullptr, nullptr, "precision,scale", 0, 15},
    {"DECIMAL", SQL_DECIMAL, 20, nullptr, nullptr, "precision,scale", 0, 15},
    {"INTEGER", SQL_INTEGER, 10, nullptr, nullptr, nullptr, 0, 0},
    {"SMALLINT", SQL_SMALLINT, 5, nullptr, nullptr, nullptr, 0, 0},
    {"FLOAT", SQL_FLOAT, 15, nullptr, nullptr, nullptr, 6, 6},
    {"REAL", SQL_REAL, 15, nullptr, nullptr, nullptr, 6, 6},
    {"DOUBLE", SQL_DOUBLE, 15, nullptr, nullptr, nullptr, 6, 6},
    {"VARCHAR", SQL_VARCHAR, 254, "'", "'", "max length", 0, 0},
    {"DATE", SQL_TYPE_DATE, 10, "'", "'", nullptr, 0, 0},
};

Value TextOrNull(const char* text) { return text ? Value(std::string(text)) : Value(); }

}  // namespace

std::optional<InfoValue> GetInfoValue(SQLUSMALLINT infoType, const std::filesystem::path& directory,
                                      const std::string& dataSource) {
  using S = std::string;
  switch (infoType) {
    case SQL_DRIVER_NAME: return S("libvestibo-dbf.so");
    case SQL_DRIVER_VER: return S("01.00.0000");
    case SQL_DRIVER_ODBC_VER: return S("03.00");
    case SQL_DBMS_NAME: return S("dBase");
    case SQL_DBMS_VER: return S("03.00.0000");
    case SQL_DATABASE_NAME: return directory.string();
    case SQL_DATA_SOURCE_NAME: return dataSource;
    case SQL_SERVER_NAME: case SQL_USER_NAME: case SQL_CATALOG_NAME_SEPARATOR: case SQL_CATALOG_TERM:
    case SQL_SCHEMA_TERM: case SQL_PROCEDURE_TERM: case SQL_SPECIAL_CHARACTERS: case SQL_KEYWORDS:
    case SQL_COLLATION_SEQ:
      return S();
    case SQL_TABLE_TERM: return S("table");
    case SQL_IDENTIFIER_QUOTE_CHAR: return S("\"");
    case SQL_SEARCH_PATTERN_ESCAPE: return S("\\");
    case SQL_XOPEN_CLI_YEAR: return S("1995");
    case SQL_DESCRIBE_PARAMETER: case SQL_ACCESSIBLE_TABLES: return S("Y");
    case SQL_DATA_SOURCE_READ_ONLY: case SQL_ACCESSIBLE_PROCEDURES: case SQL_CATALOG_NAME: case SQL_COLUMN_ALIAS:
    case SQL_EXPRESSIONS_IN_ORDERBY: case SQL_LIKE_ESCAPE_CLAUSE: case SQL_MULT_RESULT_SETS:
    case SQL_MULTIPLE_ACTIVE_TXN: case SQL_NEED_LONG_DATA_LEN: case SQL_ORDER_BY_COLUMNS_IN_SELECT:
    case SQL_OUTER_JOINS: case SQL_PROCEDURES: case SQL_ROW_UPDATES: case SQL_INTEGRITY:
    case SQL_MAX_ROW_SIZE_INCLUDES_LONG:
      return S("N");
    case SQL_TXN_CAPABLE: return SQLUSMALLINT{SQL_TC_ALL};
    case SQL_CURSOR_COMMIT_BEHAVIOR: case SQL_CURSOR_ROLLBACK_BEHAVIOR: return SQLUSMALLINT{SQL_CB_PRESERVE};
    case SQL_IDENTIFIER_CASE: return SQLUSMALLINT{SQL_IC_UPPER};
    case SQL_QUOTED_IDENTIFIER_CASE: return SQLUSMALLINT{SQL_IC_MIXED};
    case SQL_MAX_COLUMN_NAME_LEN: return SQLUSMALLINT{10};
    case SQL_MAX_TABLE_NAME_LEN: case SQL_MAX_IDENTIFIER_LEN: return SQLUSMALLINT{255};
    case SQL_MAX_COLUMNS_IN_TABLE: case SQL_MAX_COLUMNS_IN_SELECT: case SQL_MAX_COLUMNS_IN_ORDER_BY:
      return SQLUSMALLINT{255};
    case SQL_MAX_DRIVER_CONNECTIONS: case SQL_MAX_CONCURRENT_ACTIVITIES: case SQL_MAX_SCHEMA_NAME_LEN:
    case SQL_MAX_CATALOG_NAME_LEN: case SQL_MAX_PROCEDURE_NAME_LEN: case SQL_ACTIVE_ENVIRONMENTS:
    case SQL_MAX_COLUMNS_IN_GROUP_BY: case SQL_MAX_COLUMNS_IN_INDEX: case SQL_MAX_TABLES_IN_SELECT:
    case SQL_MAX_USER_NAME_LEN:
      return SQLUSMALLINT{0};
    case SQL_MAX_CURSOR_NAME_LEN: return SQLUSMALLINT{18};
    case SQL_NULL_COLLATION: return SQLUSMALLINT{SQL_NC_LOW};
    case SQL_CONCAT_NULL_BEHAVIOR: return SQLUSMALLINT{SQL_CB_NULL};
    case SQL_CORRELATION_NAME: return SQLUSMALLINT{SQL_CN_NONE};
    case SQL_GROUP_BY: return SQLUSMALLINT{SQL_GB_NOT_SUPPORTED};
    case SQL_NON_NULLABLE_COLUMNS: return SQLUSMALLINT{SQL_NNC_NULL};
    case SQL_FILE_USAGE: return SQLUSMALLINT{SQL_FILE_TABLE};
    case SQL_ODBC_API_CONFORMANCE: return SQLUSMALLINT{SQL_OAC_LEVEL1};
    case SQL_ODBC_SQL_CONFORMANCE: return SQLUSMALLINT{SQL_OSC_MINIMUM};
    case SQL_ODBC_SAG_CLI_CONFORMANCE: return SQLUSMALLINT{SQL_OSCC_NOT_COMPLIANT};
    case SQL_TXN_ISOLATION_OPTION: case SQL_DEFAULT_TXN_ISOLATION: return SQLUINTEGER{SQL_TXN_READ_COMMITTED};
    case SQL_SCROLL_OPTIONS: return SQLUINTEGER{SQL_SO_FORWARD_ONLY | SQL_SO_STATIC};
    case SQL_STATIC_CURSOR_ATTRIBUTES1:
      return SQLUINTEGER{SQL_CA1_NEXT | SQL_CA1_ABSOLUTE | SQL_CA1_RELATIVE | SQL_CA1_LOCK_NO_CHANGE |
                         SQL_CA1_POS_POSITION | SQL_CA1_POS_REFRESH};
    case SQL_STATIC_CURSOR_ATTRIBUTES2: return SQLUINTEGER{SQL_CA2_READ_ONLY_CONCURRENCY};
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1: return SQLUINTEGER{SQL_CA1_NEXT};
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2: return SQLUINTEGER{SQL_CA2_READ_ONLY_CONCURRENCY};
    case SQL_SCROLL_CONCURRENCY: return SQLUINTEGER{SQL_SCCO_READ_ONLY};
    case SQL_GETDATA_EXTENSIONS:
      return SQLUINTEGER{SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND | SQL_GD_BLOCK};
    case SQL_POS_OPERATIONS: return SQLUINTEGER{SQL_POS_POSITION | SQL_POS_REFRESH};
    case SQL_CURSOR_SENSITIVITY: return SQLUINTEGER{SQL_INSENSITIVE};
    case SQL_SQL_CONFORMANCE: return SQLUINTEGER{SQL_SC_SQL92_ENTRY};
    case SQL_ODBC_INTERFACE_CONFORMANCE: return SQLUINTEGER{SQL_OIC_CORE};
    case SQL_PARAM_ARRAY_ROW_COUNTS: return SQLUINTEGER{SQL_PARC_NO_BATCH};
    case SQL_PARAM_ARRAY_SELECTS: return SQLUINTEGER{SQL_PAS_NO_SELECT};
    case SQL_CREATE_TABLE: return SQLUINTEGER{SQL_CT_CREATE_TABLE};
    case SQL_DROP_TABLE: return SQLUINTEGER{SQL_DT_DROP_TABLE};
    case SQL_INSERT_STATEMENT: return SQLUINTEGER{SQL_IS_INSERT_LITERALS};
    case SQL_MAX_CHAR_LITERAL_LEN: return SQLUINTEGER{254};
    case SQL_MAX_ROW_SIZE: return SQLUINTEGER{65535};
    case SQL_ASYNC_MODE: return SQLUINTEGER{SQL_AM_NONE};
    case SQL_STATIC_SENSITIVITY: case SQL_BOOKMARK_PERSISTENCE: case SQL_KEYSET_CURSOR_ATTRIBUTES1:
    case SQL_KEYSET_CURSOR_ATTRIBUTES2: case SQL_DYNAMIC_CURSOR_ATTRIBUTES1: case SQL_DYNAMIC_CURSOR_ATTRIBUTES2:
    case SQL_CONVERT_FUNCTIONS: case SQL_NUMERIC_FUNCTIONS: case SQL_STRING_FUNCTIONS: case SQL_SYSTEM_FUNCTIONS:
    case SQL_TIMEDATE_FUNCTIONS: case SQL_TIMEDATE_ADD_INTERVALS: case SQL_TIMEDATE_DIFF_INTERVALS:
    case SQL_ALTER_TABLE: case SQL_BATCH_SUPPORT: case SQL_BATCH_ROW_COUNT: case SQL_CATALOG_USAGE:
    case SQL_SCHEMA_USAGE: case SQL_SUBQUERIES: case SQL_UNION: case SQL_OJ_CAPABILITIES:
    case SQL_AGGREGATE_FUNCTIONS: case SQL_DATETIME_LITERALS: case SQL_LOCK_TYPES: case SQL_MAX_STATEMENT_LEN:
    case SQL_MAX_ASYNC_CONCURRENT_STATEMENTS: case SQL_INDEX_KEYWORDS: case SQL_DDL_INDEX:
    case SQL_INFO_SCHEMA_VIEWS: case SQL_MAX_INDEX_SIZE:
    case SQL_MAX_BINARY_LITERAL_LEN: case SQL_CONVERT_CHAR:
    case SQL_CONVERT_INTEGER: case SQL_CONVERT_NUMERIC: case SQL_CONVERT_VARCHAR: case SQL_CONVERT_DATE:
    case SQL_STANDARD_CLI_CONFORMANCE: case SQL_SQL92_PREDICATES:
    case SQL_SQL92_RELATIONAL_JOIN_OPERATORS: case SQL_SQL92_VALUE_EXPRESSIONS: case SQL_SQL92_STRING_FUNCTIONS:
    case SQL_SQL92_NUMERIC_VALUE_FUNCTIONS: case SQL_SQL92_DATETIME_FUNCTIONS:
      return SQLUINTEGER{0};
    default:
      return std::nullopt;
  }
}

ResultSet TypeInfo(SQLSMALLINT dataType) {
  ResultBuilder b;
  b.Text("TYPE_NAME").Small("DATA_TYPE").Integer("COLUMN_SIZE").Text("LITERAL_PREFIX").Text("LITERAL_SUFFIX")
      .Text("CREATE_PARAMS").Small("NULLABLE").Small("CASE_SENSITIVE").Small("SEARCHABLE")
      .Small("UNSIGNED_ATTRIBUTE").Small("FIXED_PREC_SCALE").Small("AUTO_UNIQUE_VALUE").Text("LOCAL_TYPE_NAME")
      .Small("MINIMUM_SCALE").Small("MAXIMUM_SCALE").Small("SQL_DATA_TYPE").Small("SQL_DATETIME_SUB")
      .Integer("NUM_PREC_RADIX").Small("INTERVAL_PRECISION");
  for (const TypeRow& t : kTypeRows) {
    if (dataType != SQL_ALL_TYPES && dataType != t.type) continue;
    const bool numeric = !t.prefix && t.type != SQL_BIT;
    const bool date = t.type == SQL_TYPE_DATE;
    b.Row({std::string(t.name), Number(t.type), Number(t.size), TextOrNull(t.prefix), TextOrNull(t.suffix),
           TextOrNull(t.params), Number(SQL_NULLABLE), Number(t.type == SQL_CHAR || t.type == SQL_VARCHAR ? 1 : 0),
           Number(SQL_SEARCHABLE), numeric ? Number(0) : Null(), Number(0), numeric ? Number(0) : Null(),
           std::string(t.name), numeric ? Number(t.minScale) : Null(), numeric ? Number(t.maxScale) : Null(),
           Number(date ? SQL_DATETIME : t.type), date ? Number(SQL_CODE_DATE) : Null(),
           numeric ? Number(10) : Null(), Null()});
  }
  return b.Take();
}

ResultSet TablesOf(Workspace&, const std::filesystem::path& directory, const std::string& tablePattern,
                   const std::string& typeList) {
  ResultBuilder b;
  b.Text("TABLE_CAT").Text("TABLE_SCHEM").Text("TABLE_NAME", 254).Text("TABLE_TYPE").Text("REMARKS", 254);
  if (typeList.empty() || typeList.find("TABLE") != std::string::npos || typeList == "%") {
    for (const auto& file : TableFiles(directory, tablePattern))
      b.Row({Null(), Null(), TableNameOf(file), std::string("TABLE"), Null()});
  }
  return b.Take();
}

ResultSet ColumnsOf(Workspace& workspace, const std::filesystem::path& directory, const std::string& tablePattern,
                    const std::string& columnPattern) {
  ResultBuilder b;
  b.Text("TABLE_CAT").Text("TABLE_SCHEM").Text("TABLE_NAME", 254).Text("COLUMN_NAME").Small("DATA_TYPE")
      .Text("TYPE_NAME").Integer("COLUMN_SIZE").Integer("BUFFER_LENGTH").Small("DECIMAL_DIGITS")
      .Small("NUM_PREC_RADIX").Small("NULLABLE").Text("REMARKS", 254).Text("COLUMN_DEF").Small("SQL_DATA_TYPE")
      .Small("SQL_DATETIME_SUB").Integer("CHAR_OCTET_LENGTH").Integer("ORDINAL_POSITION").Text("IS_NULLABLE");
  for (const auto& file : TableFiles(directory, tablePattern)) {
    const TableData* table = workspace.Find(file);
    if (!table) continue;
    int ordinal = 0;
    for (const FieldDef& field : table->fields) {
      ++ordinal;
      if (!columnPattern.empty() && !Like(field.name, columnPattern.substr(0, 256))) continue;
      const SqlDescription d = DescribeField(field);
      const bool character = d.type == SQL_CHAR;
      const bool date = d.type == SQL_TYPE_DATE;
      const bool numeric = d.type == SQL_INTEGER || d.type == SQL_NUMERIC;
      b.Row({Null(), Null(), TableNameOf(file), field.name, Number(d.type), std::string(d.typeName),
             Number(static_cast<double>(d.size)), Number(field.width), numeric ? Number(d.digits) : Null(),
             numeric ? Number(10) : Null(), Number(SQL_NULLABLE), Null(), Null(),
             Number(date ? SQL_DATETIME : d.type), date ? Number(SQL_CODE_DATE) : Null(),
             character ? Number(field.width) : Null(), Number(ordinal), std::string("YES")});
    }
  }
  return b.Take();
}

bool Implements(SQLUSMALLINT function) {
  static constexpr SQLUSMALLINT kFunctions[] = {
      SQL_API_SQLALLOCHANDLE, SQL_API_SQLCONNECT, SQL_API_SQLDRIVERCONNECT, SQL_API_SQLEXECDIRECT,
      SQL_API_SQLPREPARE, SQL_API_SQLEXECUTE, SQL_API_SQLBINDPARAMETER, SQL_API_SQLNUMPARAMS,
      SQL_API_SQLDESCRIBEPARAM, SQL_API_SQLNUMRESULTCOLS, SQL_API_SQLDESCRIBECOL, SQL_API_SQLCOLATTRIBUTE,
      SQL_API_SQLBINDCOL, SQL_API_SQLFETCH, SQL_API_SQLFETCHSCROLL, SQL_API_SQLSETPOS, SQL_API_SQLGETDATA,
      SQL_API_SQLROWCOUNT, SQL_API_SQLGETDIAGREC, SQL_API_SQLGETDIAGFIELD, SQL_API_SQLSETSTMTATTR,
      SQL_API_SQLGETSTMTATTR, SQL_API_SQLSETCONNECTATTR, SQL_API_SQLGETCONNECTATTR, SQL_API_SQLSETENVATTR,
      SQL_API_SQLGETENVATTR, SQL_API_SQLENDTRAN, SQL_API_SQLFREESTMT, SQL_API_SQLCLOSECURSOR,
      SQL_API_SQLFREEHANDLE, SQL_API_SQLDISCONNECT, SQL_API_SQLTABLES, SQL_API_SQLCOLUMNS,
      SQL_API_SQLGETTYPEINFO, SQL_API_SQLGETINFO, SQL_API_SQLGETFUNCTIONS, SQL_API_SQLMORERESULTS,
      SQL_API_SQLCANCEL, SQL_API_SQLNATIVESQL, SQL_API_SQLBINDPARAM};
  return std::find(std::begin(kFunctions), std::end(kFunctions), function) != std::end(kFunctions);
}

}  // namespace dbf::odbc
