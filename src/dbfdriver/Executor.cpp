#include "dbfdriver/Executor.h"

#include <algorithm>
#include <numeric>

#include "dbfdriver/DriverError.h"
#include "dbfdriver/TableNames.h"

namespace dbf {

namespace {

using sql::Condition;
using sql::Operand;

const FieldDef& FieldOf(const TableData& table, const std::string& column, const std::string& tableName) {
  const int index = table.FieldIndex(column);
  if (index < 0) throw DriverError("42S22", "Column not found: " + column + " in table " + tableName);
  return table.fields[static_cast<std::size_t>(index)];
}

// Unknown columns fail the statement before any row is looked at.
void CheckColumns(const Condition* condition, const TableData& table, const std::string& tableName) {
  if (!condition) return;
  for (const Operand* operand : {&condition->left, &condition->right})
    if (operand->kind == Operand::Kind::Column) FieldOf(table, operand->column, tableName);
  CheckColumns(condition->first.get(), table, tableName);
  CheckColumns(condition->second.get(), table, tableName);
}

class RowContext {
 public:
  RowContext(const TableData& table, std::span<const Value> parameters) : table_(table), parameters_(parameters) {}

  Value ValueOf(const Operand& operand, const std::string& row) const {
    switch (operand.kind) {
      case Operand::Kind::Literal: return operand.literal;
      case Operand::Kind::Parameter: return parameters_[static_cast<std::size_t>(operand.parameter)];
      case Operand::Kind::Column: {
        const FieldDef& field = table_.fields[static_cast<std::size_t>(table_.FieldIndex(operand.column))];
        return DecodeField(field, std::string_view(row).substr(static_cast<std::size_t>(field.offset),
                                                               static_cast<std::size_t>(field.width)));
      }
    }
    return {};
  }

  // SQL's three-valued logic: nullopt is "unknown", which selects no row.
  std::optional<bool> Evaluate(const Condition& c, const std::string& row) const {
    switch (c.kind) {
      case Condition::Kind::IsNull: return IsNull(ValueOf(c.left, row)) != c.negated;
      case Condition::Kind::Not: {
        const auto inner = Evaluate(*c.first, row);
        if (!inner) return std::nullopt;
        return !*inner;
      }
      case Condition::Kind::And: {
        const auto a = Evaluate(*c.first, row);
        if (a == false) return false;
        const auto b = Evaluate(*c.second, row);
        if (b == false) return false;
        if (!a || !b) return std::nullopt;
        return true;
      }
      case Condition::Kind::Or: {
        const auto a = Evaluate(*c.first, row);
        if (a == true) return true;
        const auto b = Evaluate(*c.second, row);
        if (b == true) return true;
        if (!a || !b) return std::nullopt;
        return false;
      }
      case Condition::Kind::Compare: {
        const Value a = ValueOf(c.left, row);
        const Value b = ValueOf(c.right, row);
        if (IsNull(a) || IsNull(b)) return std::nullopt;
        const int order = CompareValues(a, b);
        switch (c.op) {
          case sql::CompareOp::Equal: return order == 0;
          case sql::CompareOp::NotEqual: return order != 0;
          case sql::CompareOp::Less: return order < 0;
          case sql::CompareOp::LessEqual: return order <= 0;
          case sql::CompareOp::Greater: return order > 0;
          case sql::CompareOp::GreaterEqual: return order >= 0;
        }
      }
    }
    return std::nullopt;
  }

  bool Selects(const Condition* where, const std::string& row) const {
    if (TableData::IsDeleted(row)) return false;
    return !where || Evaluate(*where, row) == true;
  }

 private:
  const TableData& table_;
  std::span<const Value> parameters_;
};

// NULLs first, then by value.
int CompareForOrder(const Value& a, const Value& b) {
  if (IsNull(a) || IsNull(b)) return IsNull(a) == IsNull(b) ? 0 : (IsNull(a) ? -1 : 1);
  return CompareValues(a, b);
}

std::optional<FieldDef> FieldInCondition(const Condition* c, const TableData& table, int marker) {
  if (!c) return std::nullopt;
  if (c->kind == Condition::Kind::Compare) {
    const Operand* other = nullptr;
    if (c->left.kind == Operand::Kind::Parameter && c->left.parameter == marker) other = &c->right;
    if (c->right.kind == Operand::Kind::Parameter && c->right.parameter == marker) other = &c->left;
    if (other && other->kind == Operand::Kind::Column) {
      const int index = table.FieldIndex(other->column);
      if (index >= 0) return table.fields[static_cast<std::size_t>(index)];
    }
  }
  if (auto found = FieldInCondition(c->first.get(), table, marker)) return found;
  return FieldInCondition(c->second.get(), table, marker);
}

std::string TableNameOf(const sql::Statement& statement) {
  return std::visit([](const auto& s) { return s.table; }, statement);
}

}  // namespace

Value ResultSet::At(std::size_t row, std::size_t column) const {
  const FieldDef& field = columns[column].field;
  const std::string& record = rows[row];
  const auto offset = static_cast<std::size_t>(field.offset);
  if (offset >= record.size()) return {};
  return DecodeField(field, std::string_view(record).substr(offset, static_cast<std::size_t>(field.width)));
}

const std::filesystem::path& Executor::PathOf(const std::string& table) const {
  return workspace_.Resolve(directory_, table);
}

Executor::TableAt Executor::Existing(const std::string& table) {
  TableData* data = workspace_.Find(PathOf(table));
  // When the name led to no table it is searched again: another spelling may exist now.
  const std::filesystem::path& path = PathOf(table);
  if (!data) data = workspace_.Find(path);
  if (!data) throw DriverError("42S02", "Table not found: " + table + " (" + path.string() + ")");
  return {path, *data};
}

std::vector<ResultColumn> Executor::Describe(const sql::ParsedStatement& parsed) {
  const auto* select = std::get_if<sql::Select>(&parsed.statement);
  if (!select) return {};
  const auto [path, table] = Existing(select->table);
  std::vector<ResultColumn> columns;
  const std::string name = dbf::TableNameOf(path);
  if (select->columns.empty()) {
    for (const FieldDef& field : table.fields) columns.push_back({field, 0, name});
  } else {
    for (const std::string& column : select->columns) columns.push_back({FieldOf(table, column, select->table), 0, name});
  }
  return columns;
}

std::optional<FieldDef> Executor::ParameterField(const sql::ParsedStatement& parsed, int marker) {
  const TableData* table = workspace_.Find(PathOf(TableNameOf(parsed.statement)));
  if (!table) return std::nullopt;
  if (const auto* insert = std::get_if<sql::Insert>(&parsed.statement)) {
    for (std::size_t i = 0; i < insert->values.size(); ++i) {
      const Operand& value = insert->values[i];
      if (value.kind != Operand::Kind::Parameter || value.parameter != marker) continue;
      const int index = insert->columns.empty() ? static_cast<int>(i) : table->FieldIndex(insert->columns[i]);
      if (index >= 0 && index < static_cast<int>(table->fields.size())) return table->fields[static_cast<std::size_t>(index)];
    }
  } else if (const auto* update = std::get_if<sql::Update>(&parsed.statement)) {
    for (const sql::Assignment& a : update->assignments)
      if (a.value.kind == Operand::Kind::Parameter && a.value.parameter == marker) {
        const int index = table->FieldIndex(a.column);
        if (index >= 0) return table->fields[static_cast<std::size_t>(index)];
      }
    return FieldInCondition(update->where.get(), *table, marker);
  } else if (const auto* select = std::get_if<sql::Select>(&parsed.statement)) {
    return FieldInCondition(select->where.get(), *table, marker);
  } else if (const auto* del = std::get_if<sql::Delete>(&parsed.statement)) {
    return FieldInCondition(del->where.get(), *table, marker);
  }
  return std::nullopt;
}

ExecutionResult Executor::Run(const sql::ParsedStatement& parsed, std::span<const Value> parameters) {
  ExecutionResult result;
  if (const auto* create = std::get_if<sql::CreateTable>(&parsed.statement)) {
    TableData table;
    for (const sql::ColumnSpec& spec : create->columns)
      table.fields.push_back(FieldDef{spec.name, spec.type, spec.width, spec.decimals, 0});
    table.recordLength = LayOutFields(table.fields);
    workspace_.Create(PathOf(create->table), std::move(table));
  } else if (const auto* drop = std::get_if<sql::DropTable>(&parsed.statement)) {
    workspace_.Drop(PathOf(drop->table));
  } else if (const auto* insert = std::get_if<sql::Insert>(&parsed.statement)) {
    TableData& table = Existing(insert->table).data;
    if (insert->columns.empty() && insert->values.size() > table.fields.size()) {
      throw DriverError("21S01", "Insert value list does not match column list: table " + insert->table + " has " +
                                     std::to_string(table.fields.size()) + " columns");
    }
    std::string row(static_cast<std::size_t>(table.recordLength), ' ');
    RowContext context(table, parameters);
    for (std::size_t i = 0; i < insert->values.size(); ++i) {
      const FieldDef& field = insert->columns.empty() ? table.fields[i] : FieldOf(table, insert->columns[i], insert->table);
      EncodeField(field, context.ValueOf(insert->values[i], row), row, result.warnings);
    }
    table.rows.push_back(std::move(row));
    result.affected = 1;
  } else if (const auto* select = std::get_if<sql::Select>(&parsed.statement)) {
    const std::vector<ResultColumn> columns = Describe(parsed);
    const TableData& table = Existing(select->table).data;
    CheckColumns(select->where.get(), table, select->table);
    std::vector<const FieldDef*> keys;
    for (const sql::OrderKey& key : select->order) keys.push_back(&FieldOf(table, key.column, select->table));
    RowContext context(table, parameters);
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < table.rows.size(); ++i)
      if (context.Selects(select->where.get(), table.rows[i])) chosen.push_back(i);
    if (!keys.empty()) {
      std::vector<std::vector<Value>> values(chosen.size());
      for (std::size_t i = 0; i < chosen.size(); ++i)
        for (const FieldDef* key : keys)
          values[i].push_back(DecodeField(*key, std::string_view(table.rows[chosen[i]])
                                                    .substr(static_cast<std::size_t>(key->offset),
                                                            static_cast<std::size_t>(key->width))));
      std::vector<std::size_t> order(chosen.size());
      std::iota(order.begin(), order.end(), 0);
      std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        for (std::size_t k = 0; k < keys.size(); ++k) {
          int c = CompareForOrder(values[a][k], values[b][k]);
          if (select->order[k].descending) c = -c;
          if (c != 0) return c < 0;
        }
        return false;
      });
      std::vector<std::size_t> sorted;
      sorted.reserve(order.size());
      for (std::size_t i : order) sorted.push_back(chosen[i]);
      chosen = std::move(sorted);
    }
    ResultSet set;
    set.columns = columns;
    set.rows.reserve(chosen.size());
    for (std::size_t i : chosen) set.rows.push_back(table.rows[i]);
    result.affected = static_cast<long long>(set.rows.size());
    result.rows = std::move(set);
    return result;  // reading changes nothing
  } else if (const auto* update = std::get_if<sql::Update>(&parsed.statement)) {
    const auto [path, table] = Existing(update->table);
    CheckColumns(update->where.get(), table, update->table);
    std::vector<const FieldDef*> targets;
    for (const sql::Assignment& a : update->assignments) targets.push_back(&FieldOf(table, a.column, update->table));
    RowContext context(table, parameters);
    // Every new row is built before any is stored: a value that fails leaves the table as it was.
    std::vector<std::pair<std::size_t, std::string>> changed;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
      if (!context.Selects(update->where.get(), table.rows[i])) continue;
      std::string row = table.rows[i];
      for (std::size_t a = 0; a < targets.size(); ++a) {
        EncodeField(*targets[a], context.ValueOf(update->assignments[a].value, row), row, result.warnings);
      }
      changed.emplace_back(i, std::move(row));
    }
    for (auto& [index, row] : changed) {
      table.rows[index] = std::move(row);
      workspace_.MarkChanged(path, index);
    }
    result.affected = static_cast<long long>(changed.size());
  } else if (const auto* del = std::get_if<sql::Delete>(&parsed.statement)) {
    const auto [path, table] = Existing(del->table);
    CheckColumns(del->where.get(), table, del->table);
    RowContext context(table, parameters);
    std::vector<std::size_t> doomed;
    for (std::size_t i = 0; i < table.rows.size(); ++i)
      if (context.Selects(del->where.get(), table.rows[i])) doomed.push_back(i);
    for (std::size_t i : doomed) {
      table.rows[i][0] = '*';
      workspace_.MarkChanged(path, i);
    }
    result.affected = static_cast<long long>(doomed.size());
  }
  workspace_.StatementDone();
  return result;
}

}  // namespace dbf
