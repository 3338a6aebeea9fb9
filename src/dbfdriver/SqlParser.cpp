#include "dbfdriver/SqlParser.h"

#include <algorithm>
#include <charconv>

#include "dbfdriver/DriverError.h"
#include "dbfdriver/SqlLexer.h"

namespace dbf::sql {

namespace {

constexpr std::size_t kMaxFieldName = 10;
constexpr int kMaxCharWidth = 254;
constexpr int kMaxNumericWidth = 20;
constexpr int kMaxFields = 255;

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// A column type of CREATE TABLE and the dBase field it becomes.
struct TypeRule {
  std::string_view name;
  char dbfType;
  int width;      // fixed width; 0: from the statement
  int decimals;
  bool takesSize;  // (n) or (p,s) allowed
};

constexpr TypeRule kTypes[] = {
    {"CHAR", 'C', 0, 0, true},     {"CHARACTER", 'C', 0, 0, true}, {"VARCHAR", 'C', 0, 0, true},
    {"INTEGER", 'N', 11, 0, false}, {"INT", 'N', 11, 0, false},     {"SMALLINT", 'N', 6, 0, false},
    {"FLOAT", 'N', 19, 6, false},   {"DOUBLE", 'N', 19, 6, false},  {"REAL", 'N', 19, 6, false},
    {"NUMERIC", 'N', 0, 0, true},   {"DECIMAL", 'N', 0, 0, true},   {"DATE", 'D', 8, 0, false},
    {"LOGICAL", 'L', 1, 0, false},  {"BIT", 'L', 1, 0, false},      {"BOOLEAN", 'L', 1, 0, false},
};

class Parser {
 public:
  explicit Parser(std::string_view text) : tokens_(Tokenize(text)) {}

  ParsedStatement ParseStatement() {
    ParsedStatement result;
    const Token& first = Peek();
    if (IsWord("CREATE")) {
      result.statement = ParseCreate();
    } else if (IsWord("DROP")) {
      Next();
      ExpectWord("TABLE");
      result.statement = DropTable{ParseTableName()};
    } else if (IsWord("INSERT")) {
      result.statement = ParseInsert();
    } else if (IsWord("SELECT")) {
      result.statement = ParseSelect();
    } else if (IsWord("UPDATE")) {
      result.statement = ParseUpdate();
    } else if (IsWord("DELETE")) {
      Next();
      ExpectWord("FROM");
      Delete del;
      del.table = ParseTableName();
      if (AcceptWord("WHERE")) del.where = ParseOr();
      result.statement = std::move(del);
    } else {
      Unexpected(first);
    }
    AcceptSymbol(";");
    if (Peek().kind != Token::Kind::End) Unexpected(Peek());
    result.parameterCount = parameters_;
    return result;
  }

 private:
  const Token& Peek() const { return tokens_[at_]; }
  const Token& Next() {
    const Token& token = tokens_[at_];
    if (token.kind != Token::Kind::End) ++at_;
    return token;
  }
  bool IsWord(std::string_view word) const {
    return Peek().kind == Token::Kind::Word && Upper(Peek().text) == word;
  }
  bool AcceptWord(std::string_view word) {
    if (!IsWord(word)) return false;
    Next();
    return true;
  }
  void ExpectWord(std::string_view word) {
    if (!AcceptWord(word)) Unexpected(Peek(), word);
  }
  bool IsSymbol(std::string_view symbol) const {
    return Peek().kind == Token::Kind::Symbol && Peek().text == symbol;
  }
  bool AcceptSymbol(std::string_view symbol) {
    if (!IsSymbol(symbol)) return false;
    Next();
    return true;
  }
  void ExpectSymbol(std::string_view symbol) {
    if (!AcceptSymbol(symbol)) Unexpected(Peek(), symbol);
  }

  [[noreturn]] static void Unexpected(const Token& token, std::string_view expected = {}) {
    std::string message = "Syntax error at position " + std::to_string(token.position) + ": " + Describe(token);
    if (!expected.empty()) message += ", expected \"" + std::string(expected) + "\"";
    throw DriverError("42000", message);
  }

  // A quoted name, or a bare one with an optional extension ("orders.dbf").
  std::string ParseTableName() {
    const Token& token = Next();
    if (token.kind == Token::Kind::QuotedName && !token.text.empty()) return token.text;
    if (token.kind != Token::Kind::Word) Unexpected(token, "table name");
    std::string name = token.text;
    if (IsSymbol(".") && tokens_[at_ + 1].kind == Token::Kind::Word) {
      Next();
      name += "." + Next().text;
    }
    return name;
  }

  std::string ParseColumnName() {
    const Token& token = Next();
    if (token.kind == Token::Kind::Word || (token.kind == Token::Kind::QuotedName && !token.text.empty()))
      return token.text;
    Unexpected(token, "column name");
  }

  int ParseSize() {
    const Token& token = Next();
    int value = -1;
    if (token.kind == Token::Kind::Number) {
      const auto [end, error] = std::from_chars(token.text.data(), token.text.data() + token.text.size(), value);
      if (error != std::errc() || end != token.text.data() + token.text.size()) value = -1;
    }
    if (value < 0) Unexpected(token, "a whole number");
    return value;
  }

  ColumnSpec ParseColumnSpec() {
    const Token& nameToken = Peek();
    ColumnSpec spec;
    spec.name = Upper(ParseColumnName());
    if (spec.name.size() > kMaxFieldName) {
      throw DriverError("42000", "Column name \"" + nameToken.text + "\" at position " +
                                     std::to_string(nameToken.position) + " is longer than 10 characters");
    }
    const Token& typeToken = Next();
    const std::string typeName = Upper(typeToken.text);
    const TypeRule* rule = nullptr;
    if (typeToken.kind == Token::Kind::Word)
      for (const TypeRule& r : kTypes)
        if (r.name == typeName) rule = &r;
    if (!rule) Unexpected(typeToken, "a column type");
    if (typeName == "DOUBLE") AcceptWord("PRECISION");
    spec.type = rule->dbfType;
    spec.width = rule->width;
    spec.decimals = rule->decimals;
    const bool character = rule->dbfType == 'C';
    if (rule->takesSize && AcceptSymbol("(")) {
      const Token& sizeToken = Peek();
      spec.width = ParseSize();
      if (!character && AcceptSymbol(",")) spec.decimals = ParseSize();
      ExpectSymbol(")");
      const int maxWidth = character ? kMaxCharWidth : kMaxNumericWidth;
      if (spec.width < 1 || spec.width > maxWidth || spec.decimals > 15 ||
          (spec.decimals > 0 && spec.decimals + 2 > spec.width)) {
        throw DriverError("42000", "Column " + spec.name + " at position " + std::to_string(sizeToken.position) +
                                       ": size out of range (text 1..254, numbers 1..20 with at most 15 decimals)");
      }
    } else if (rule->width == 0) {
      spec.width = character ? 1 : 19;  // CHAR alone is one character; NUMERIC alone a wide number
    }
    if (AcceptWord("NOT")) {
      ExpectWord("NULL");
    } else {
      AcceptWord("NULL");
    }
    return spec;
  }

  CreateTable ParseCreate() {
    Next();
    ExpectWord("TABLE");
    CreateTable create;
    create.table = ParseTableName();
    ExpectSymbol("(");
    do {
      const std::size_t position = Peek().position;
      ColumnSpec spec = ParseColumnSpec();
      for (const ColumnSpec& other : create.columns)
        if (other.name == spec.name)
          throw DriverError("42S21", "Column " + spec.name + " at position " + std::to_string(position) +
                                         " is defined twice");
      create.columns.push_back(std::move(spec));
      if (create.columns.size() > static_cast<std::size_t>(kMaxFields))
        throw DriverError("42000", "A table holds at most 255 columns");
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
    return create;
  }

  Operand ParseValue(bool columnAllowed) {
    Operand operand;
    const Token& token = Peek();
    if (token.kind == Token::Kind::Parameter) {
      Next();
      operand.kind = Operand::Kind::Parameter;
      operand.parameter = parameters_++;
      return operand;
    }
    if (token.kind == Token::Kind::String) {
      operand.literal = Next().text;
      return operand;
    }
    bool negative = false;
    if (IsSymbol("-") || IsSymbol("+")) {
      negative = Next().text == "-";
      if (Peek().kind != Token::Kind::Number) Unexpected(Peek(), "a number");
    }
    if (Peek().kind == Token::Kind::Number) {
      const Token& number = Next();
      double value = 0;
      if (!ParseNumber(number.text, value)) Unexpected(number, "a number");
      operand.literal = negative ? -value : value;
      return operand;
    }
    if (AcceptWord("NULL")) return operand;
    if (AcceptWord("TRUE")) {
      operand.literal = true;
      return operand;
    }
    if (AcceptWord("FALSE")) {
      operand.literal = false;
      return operand;
    }
    if (columnAllowed && (token.kind == Token::Kind::Word || token.kind == Token::Kind::QuotedName)) {
      operand.kind = Operand::Kind::Column;
      operand.column = ParseColumnName();
      return operand;
    }
    Unexpected(token, "a value");
  }

  Insert ParseInsert() {
    Next();
    ExpectWord("INTO");
    Insert insert;
    insert.table = ParseTableName();
    if (AcceptSymbol("(")) {
      do insert.columns.push_back(ParseColumnName());
      while (AcceptSymbol(","));
      ExpectSymbol(")");
    }
    ExpectWord("VALUES");
    ExpectSymbol("(");
    do insert.values.push_back(ParseValue(false));
    while (AcceptSymbol(","));
    ExpectSymbol(")");
    if (!insert.columns.empty() && insert.columns.size() != insert.values.size()) {
      throw DriverError("21S01", "Insert value list does not match column list: " +
                                     std::to_string(insert.columns.size()) + " columns, " +
                                     std::to_string(insert.values.size()) + " values");
    }
    return insert;
  }

  Select ParseSelect() {
    Next();
    Select select;
    if (!AcceptSymbol("*")) {
      do select.columns.push_back(ParseColumnName());
      while (AcceptSymbol(","));
    }
    ExpectWord("FROM");
    select.table = ParseTableName();
    if (AcceptWord("WHERE")) select.where = ParseOr();
    if (AcceptWord("ORDER")) {
      ExpectWord("BY");
      do {
        OrderKey key;
        key.column = ParseColumnName();
        if (AcceptWord("DESC")) {
          key.descending = true;
        } else {
          AcceptWord("ASC");
        }
        select.order.push_back(std::move(key));
      } while (AcceptSymbol(","));
    }
    return select;
  }

  Update ParseUpdate() {
    Next();
    Update update;
    update.table = ParseTableName();
    ExpectWord("SET");
    do {
      Assignment assignment;
      assignment.column = ParseColumnName();
      ExpectSymbol("=");
      assignment.value = ParseValue(false);
      update.assignments.push_back(std::move(assignment));
    } while (AcceptSymbol(","));
    if (AcceptWord("WHERE")) update.where = ParseOr();
    return update;
  }

  std::unique_ptr<Condition> ParseOr() {
    auto left = ParseAnd();
    while (AcceptWord("OR")) left = Join(Condition::Kind::Or, std::move(left), ParseAnd());
    return left;
  }
  std::unique_ptr<Condition> ParseAnd() {
    auto left = ParseNot();
    while (AcceptWord("AND")) left = Join(Condition::Kind::And, std::move(left), ParseNot());
    return left;
  }
  std::unique_ptr<Condition> ParseNot() {
    if (++depth_ > kMaxDepth) throw DriverError("42000", "Condition nested too deeply");
    std::unique_ptr<Condition> result;
    if (AcceptWord("NOT")) {
      result = std::make_unique<Condition>();
      result->kind = Condition::Kind::Not;
      result->first = ParseNot();
    } else {
      result = ParsePrimary();
    }
    --depth_;
    return result;
  }
  std::unique_ptr<Condition> ParsePrimary() {
    if (AcceptSymbol("(")) {
      auto inner = ParseOr();
      ExpectSymbol(")");
      return inner;
    }
    auto condition = std::make_unique<Condition>();
    condition->left = ParseValue(true);
    if (AcceptWord("IS")) {
      condition->kind = Condition::Kind::IsNull;
      condition->negated = AcceptWord("NOT");
      ExpectWord("NULL");
      return condition;
    }
    static constexpr std::pair<std::string_view, CompareOp> kOps[] = {
        {"=", CompareOp::Equal},     {"<>", CompareOp::NotEqual},      {"!=", CompareOp::NotEqual},
        {"<", CompareOp::Less},      {"<=", CompareOp::LessEqual},     {">", CompareOp::Greater},
        {">=", CompareOp::GreaterEqual}};
    const Token& opToken = Next();
    const auto* op = std::find_if(std::begin(kOps), std::end(kOps), [&](const auto& entry) {
      return opToken.kind == Token::Kind::Symbol && entry.first == opToken.text;
    });
    if (op == std::end(kOps)) Unexpected(opToken, "a comparison");
    condition->op = op->second;
    condition->right = ParseValue(true);
    return condition;
  }
  std::unique_ptr<Condition> Join(Condition::Kind kind, std::unique_ptr<Condition> a, std::unique_ptr<Condition> b) {
    // Conditions are trees freed recursively: their size is bounded like their depth.
    if (++joins_ > kMaxJoins) throw DriverError("42000", "Condition has too many terms");
    auto joined = std::make_unique<Condition>();
    joined->kind = kind;
    joined->first = std::move(a);
    joined->second = std::move(b);
    return joined;
  }

  static constexpr int kMaxDepth = 200;
  static constexpr int kMaxJoins = 1000;
  int joins_ = 0;
  std::vector<Token> tokens_;
  std::size_t at_ = 0;
  int parameters_ = 0;
  int depth_ = 0;
};

}  // namespace

ParsedStatement Parse(std::string_view text) { return Parser(text).ParseStatement(); }

}  // namespace dbf::sql
