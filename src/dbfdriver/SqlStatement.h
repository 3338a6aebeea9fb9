// The statements the driver understands, as the parser hands them to the executor.
#pragma once

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "dbfdriver/DbfValue.h"

namespace dbf::sql {

// A value in a statement: a literal, the n-th "?" marker (0-based) or a column.
struct Operand {
  enum class Kind { Literal, Parameter, Column };
  Kind kind = Kind::Literal;
  Value literal;
  int parameter = 0;
  std::string column;
};

enum class CompareOp { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual };

struct Condition {
  enum class Kind { Compare, IsNull, And, Or, Not };
  Kind kind = Kind::Compare;
  CompareOp op = CompareOp::Equal;
  Operand left, right;      // Compare; IsNull uses left
  bool negated = false;     // IS NOT NULL
  std::unique_ptr<Condition> first, second;  // And, Or (both), Not (first)
};

struct ColumnSpec {
  std::string name;
  char type = 'C';
  int width = 1;
  int decimals = 0;
};

struct CreateTable {
  std::string table;
  std::vector<ColumnSpec> columns;
};
struct DropTable {
  std::string table;
};
struct Insert {
  std::string table;
  std::vector<std::string> columns;  // empty: every column in table order
  std::vector<Operand> values;
};
struct OrderKey {
  std::string column;
  bool descending = false;
};
struct Select {
  std::string table;
  std::vector<std::string> columns;  // empty: "*"
  std::unique_ptr<Condition> where;
  std::vector<OrderKey> order;
};
struct Assignment {
  std::string column;
  Operand value;
};
struct Update {
  std::string table;
  std::vector<Assignment> assignments;
  std::unique_ptr<Condition> where;
};
struct Delete {
  std::string table;
  std::unique_ptr<Condition> where;
};

using Statement = std::variant<CreateTable, DropTable, Insert, Select, Update, Delete>;

struct ParsedStatement {
  Statement statement;
  int parameterCount = 0;
};

}  // namespace dbf::sql
