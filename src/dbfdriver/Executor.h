// Runs a parsed statement against a connection's tables.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "dbfdriver/SqlStatement.h"
#include "dbfdriver/Workspace.h"

namespace dbf {

// A column of a result: the field it shows, and the ODBC type it is described as.
struct ResultColumn {
  FieldDef field;
  short sqlType = 0;  // 0: from the field
  std::string table;
};

// The rows of a result, copied when the statement ran (a static cursor): whole records in the
// layout of `columns` fields.
struct ResultSet {
  std::vector<ResultColumn> columns;
  std::vector<std::string> rows;

  Value At(std::size_t row, std::size_t column) const;
};

struct ExecutionResult {
  std::optional<ResultSet> rows;  // SELECT
  long long affected = -1;        // INSERT, UPDATE, DELETE
  std::vector<Warning> warnings;
};

class Executor {
 public:
  // Both outlive the executor (they belong to the connection).
  Executor(Workspace& workspace, const std::filesystem::path& directory) : workspace_(workspace), directory_(directory) {}

  // Parameters are taken in marker order. The statement either happens whole or not at all.
  ExecutionResult Run(const sql::ParsedStatement& statement, std::span<const Value> parameters);
  // The columns a SELECT will return, without running it (empty for other statements).
  std::vector<ResultColumn> Describe(const sql::ParsedStatement& statement);
  // The column a parameter marker stands for, when the statement says.
  std::optional<FieldDef> ParameterField(const sql::ParsedStatement& statement, int marker);

 private:
  struct TableAt {
    const std::filesystem::path& path;
    TableData& data;
  };
  const std::filesystem::path& PathOf(const std::string& table) const;
  TableAt Existing(const std::string& table);

  Workspace& workspace_;
  const std::filesystem::path& directory_;
};

}  // namespace dbf
