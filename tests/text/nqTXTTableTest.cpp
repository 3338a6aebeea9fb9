#include "text/nqTXTTable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Encoding.h"
#include "core/Files.h"
#include "core/NumberFormat.h"
#include "support/RecordingReporter.h"
#include "support/TempDir.h"

namespace text {
namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;

std::vector<std::string> LinesOf(const TnqTXTTable& table) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < table.Lines().Count(); ++i) out.emplace_back(table.Lines()[i]);
  return out;
}

std::vector<std::string> ColumnNames(const TnqTXTTable& table) {
  std::vector<std::string> out;
  for (const auto& column : table.Fields()) out.push_back(column.Name);
  return out;
}

// Walks the table from First to Eof and collects one column.
std::vector<std::string> Walk(TnqTXTTable& table, std::string_view column) {
  std::vector<std::string> out;
  for (; !table.Eof(); table.Next()) out.push_back(table.FieldByName(column)->AsString());
  return out;
}

class TextTableTest : public ::testing::Test {
 protected:
  // Writes `name` and opens it.
  TnqTXTTable& OpenWith(std::string_view content, std::string_view name = "t.txt") {
    dir.WriteFile(name, content);
    table.Path = dir.Str();
    table.FileName = std::string(name);
    EXPECT_TRUE(table.Open());
    return table;
  }

  TempDir dir;
  testsupport::RecordingReporter reporter;
  TnqTXTTable table{reporter};
};

TEST_F(TextTableTest, LineBreaksOfEveryStyle) {
  const struct {
    std::string content;
    std::vector<std::string> lines;
  } cases[] = {
      {"H\r\na\r\nb", {"H", "a", "b"}},
      {"H\na\nb\n", {"H", "a", "b"}},  // a final break makes no extra line
      {"H\ra\rb\r", {"H", "a", "b"}},
      {"H\r\n\r\nb\r\n", {"H", "", "b"}},  // an empty line between others is a record
      {"H\r\r\n", {"H", ""}},
      {"H\n\ra", {"H", "", "a"}},  // LF then CR are two breaks
      {"H", {"H"}},
  };
  for (const auto& c : cases) {
    OpenWith(c.content);
    EXPECT_EQ(LinesOf(table), c.lines) << c.content;
    EXPECT_EQ(table.RecordCount(), static_cast<int>(c.lines.size()) - 1);
  }
  EXPECT_TRUE(reporter.entries.empty());
}

TEST_F(TextTableTest, HeaderVariants) {
  const struct {
    std::string header;
    std::vector<std::string> columns;
  } cases[] = {
      {"A;B;C", {"A", "B", "C"}},
      {"A;B;C;", {"A", "B", "C"}},
      {"\"A\";\"B\";\"C\";", {"A", "B", "C"}},
      {"ID;NAME;", {"ID", "NAME"}},
      {"ID;;NAME", {"ID", "", "NAME"}},
      {"A\"x\"y;", {"Axy"}},
      {"", {}},
  };
  for (const auto& c : cases) {
    OpenWith(c.header + "\r\n");
    EXPECT_EQ(ColumnNames(table), c.columns) << c.header;
  }
}

TEST_F(TextTableTest, RecordSplitPadsShortLinesDropsExtraPiecesKeepsQuotes) {
  OpenWith("Id;Name;Code\r\n5;abc\r\n1;2;3;4\r\n\"7\";\"x y\";;\r\n");
  auto* id = table.FieldByName("id");
  auto* name = table.FieldByName("NAME");
  auto* code = table.FieldByName("Code");
  ASSERT_TRUE(id && name && code);
  EXPECT_EQ(table.RecNo(), 1);  // Open goes to the first record
  EXPECT_EQ(id->AsString(), "5");
  EXPECT_EQ(name->AsString(), "abc");
  EXPECT_EQ(code->AsString(), "");
  table.Next();
  EXPECT_EQ(id->AsString(), "1");
  EXPECT_EQ(code->AsString(), "3");
  table.Next();
  EXPECT_EQ(id->AsString(), "\"7\"");
  EXPECT_EQ(name->AsString(), "\"x y\"");
  table.Next();
  EXPECT_TRUE(table.Eof());
}

// Moving to a record sets every column: those its line does not reach become empty, also after
// a longer line and after a value written (and not posted) through a field pointer.
TEST_F(TextTableTest, ColumnsALineDoesNotReachAreEmptyAfterAnyMove) {
  OpenWith("A;B;C;D\r\n1;2;3;4\r\n5\r\n6;7\r\n8\r\n");
  const auto values = [&] {
    std::string joined;
    for (const auto& column : table.Fields()) joined += column.Field.AsString() + "|";
    return joined;
  };
  EXPECT_EQ(values(), "1|2|3|4|");
  table.Next();
  EXPECT_EQ(values(), "5||||");
  table.FieldByName("D")->AsString("written");
  table.FieldByName("b")->AsString("also");
  EXPECT_EQ(values(), "5|also||written|");
  table.Next();
  EXPECT_EQ(values(), "6|7|||");
  table.FieldByName("D")->AsString("again");
  table.Next();
  EXPECT_EQ(values(), "8||||");
  table.GotoRecord(1);
  EXPECT_EQ(values(), "1|2|3|4|");
}

TEST_F(TextTableTest, HeaderOnlyFileIsAtItsEndAtOnce) {
  OpenWith("Id;Name\r\n");
  EXPECT_EQ(table.RecordCount(), 0);
  table.First();
  EXPECT_TRUE(table.Eof());
  table.CreateIndex("Id");
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.IndexSize(), 0u);
  EXPECT_TRUE(reporter.entries.empty());
}

TEST_F(TextTableTest, EmptyFileCannotBeOpened) {
  dir.WriteFile("e.txt", "");
  table.Path = dir.Str();
  table.FileName = "e.txt";
  EXPECT_THROW(table.Open(), EnqTXTTableError);
  EXPECT_EQ(table.RecordCount(), 0);
}

// Files the table cannot read stop the caller with the file, and for a text the line and column
// (in characters), named: nothing of them is taken and nothing is cut off silently.
TEST_F(TextTableTest, UnreadableOfficeFilesAreRefusedNamingFileLineAndColumn) {
  enum class Entry { Text, Folder, Pipe };
  const struct {
    Entry entry;
    std::string content;
    std::string why;
  } cases[] = {
      {Entry::Text, "Id;Name\r\n1;a\r\n2;b" + std::string(1, '\0') + "\r\n3;c\r\n",
       "строка 3, столбец 4: нулевой байт (файл повреждён или это не текст)"},
      {Entry::Text, "\xEF\xBB\xBFName\nЖук" + std::string(1, '\0'), "строка 2, столбец 4: нулевой байт (файл повреждён или это не текст)"},
      {Entry::Text, "\xEF\xBB\xBFId;Name\r\n1;Чай 中\r\n",
       "строка 2, столбец 7: символ «中» (U+4E2D), которого нет в кодировке Windows-1251"},
      {Entry::Text, "Id;Name\n1;Ёж\n2;😀\n", "строка 3, столбец 3: символ «😀» (U+1F600), которого нет в кодировке Windows-1251"},
      {Entry::Text, "\xEF\xBB\xBFId;Name\r1;Чай\r2;\xF7\r",
       "строка 3, столбец 3: байт 0xF7 не из текста UTF-8, хотя файл начинается с метки UTF-8"},
      {Entry::Folder, "", "это папка, а не обычный файл"},
      {Entry::Pipe, "", "это именованный канал, а не обычный файл"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const std::filesystem::path path = dir / "t.txt";
    std::filesystem::remove_all(path);
    int writer = -1;  // holds the pipe open, so that a reader that waits on it is not stuck for ever
    if (c.entry == Entry::Text) dir.WriteFile("t.txt", c.content);
    if (c.entry == Entry::Folder) std::filesystem::create_directory(path);
    if (c.entry == Entry::Pipe) {
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
      writer = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
    }
    table.Path = dir.Str();
    table.FileName = "t.txt";
    try {
      table.Open();
      ADD_FAILURE() << "opened";
    } catch (const EnqTXTTableError& e) {
      EXPECT_EQ(std::string(e.what()), "Файл \"" + core::JoinPath(dir.Str(), "t.txt") + "\" не прочитан: " + c.why);
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what();
    }
    if (writer >= 0) ::close(writer);
    EXPECT_EQ(table.RecordCount(), 0);
    EXPECT_TRUE(table.Fields().empty());
  }
  EXPECT_TRUE(reporter.entries.empty());
}

// UTF-8 files (marked, or well-formed UTF-8 throughout with letters beyond ASCII) are read as the
// same letters in Windows-1251; every other file is taken byte for byte.
TEST_F(TextTableTest, Utf8FilesAreReadInWindows1251AndOthersByteForByte) {
  const struct {
    std::string content;
    std::vector<std::string> names;  // UTF-8 for the converted ones, else the bytes themselves
    bool converted;
  } cases[] = {
      {"\xEF\xBB\xBFId;Name\r\n1;Чай №5 «ёЁ»\r\n", {"Чай №5 «ёЁ»"}, true},
      {"\xEF\xBB\xBFId;Name\r\n1;tea\r\n", {"tea"}, true},
      {"Id;Name\n1;Щука\n2;€\n", {"Щука", "€"}, true},
      {core::Utf8ToAnsi("Id;Name\r\n1;Щука\r\n"), {core::Utf8ToAnsi("Щука")}, false},
      // A Windows-1251 file whose bytes are UTF-8 by chance ("Р«" is the UTF-8 of "Ы") is taken as
      // UTF-8; one line that is not UTF-8 keeps the whole file as it is.
      {"Id;Name\r\n1;\xD0\xAB\r\n", {"Ы"}, true},
      {"Id;Name\r\n1;\xD0\xAB\r\n2;\xEF\xE8\r\n", {"\xD0\xAB", "\xEF\xE8"}, false},
  };
  for (const auto& c : cases) {
    OpenWith(c.content);
    std::vector<std::string> expected = c.names;
    if (c.converted)
      for (auto& name : expected) name = core::Utf8ToAnsi(name);
    EXPECT_EQ(Walk(table, "Name"), expected) << c.content;
    EXPECT_EQ(ColumnNames(table), (std::vector<std::string>{"Id", "Name"}));
  }
}

// Blanks around a column name or a number are not part of it, for every column alike.
TEST_F(TextTableTest, BlanksAroundNamesAndNumbersAreIgnored) {
  OpenWith(" Id ;\tAliquot ; Name \r\n21 ;\t4\t; a \r\n 3;x;b\r\n");
  EXPECT_EQ(ColumnNames(table), (std::vector<std::string>{"Id", "Aliquot", "Name"}));
  table.CreateIndex("Id");
  auto* id = table.FieldByName("Id");
  auto* aliquot = table.FieldByName("Aliquot");
  ASSERT_TRUE(id && aliquot);
  EXPECT_EQ(id->AsInteger(), 3);
  EXPECT_EQ(aliquot->AsIntegerDef(-1), -1);
  table.Next();
  EXPECT_EQ(id->AsInteger(), 21);
  EXPECT_EQ(id->AsIntegerDef(0), 21);
  EXPECT_EQ(aliquot->AsInteger(), 4);
  EXPECT_EQ(table.FieldByName("Name")->AsString(), " a ");  // texts stay as they are
  EXPECT_TRUE(reporter.entries.empty());
}

TEST_F(TextTableTest, IdIndexIsNumericOrderWithEqualKeysByLineNumberAsText) {
  OpenWith("Id;Name\r\n10;a\r\n9;b\r\n100;c\r\n");
  table.CreateIndex("Id");
  EXPECT_EQ(Walk(table, "Name"), (std::vector<std::string>{"b", "a", "c"}));

  // 7 on line 3 and 007 on line 12 share the key 000000007; "12" sorts before "3".
  std::string content = "Id;Name\r\n";
  for (int line = 1; line <= 12; ++line)
    content += (line == 3 ? "7" : line == 12 ? "007" : std::to_string(100 + line)) + ";n" + std::to_string(line) + "\r\n";
  OpenWith(content);
  table.CreateIndex("ID");
  EXPECT_EQ(table.Index(0), "000000007=12");
  EXPECT_EQ(table.Index(1), "000000007=3");
  EXPECT_EQ(table.IndexLine(0), 12);
  EXPECT_EQ(table.RecNo(), 12);
  EXPECT_EQ(table.IndexPos(), 0);
  const auto names = Walk(table, "Name");
  ASSERT_EQ(names.size(), 12u);
  EXPECT_EQ(names[0], "n12");
  EXPECT_EQ(names[1], "n3");
}

TEST_F(TextTableTest, IdIndexOrderIsTheSameWithOrWithoutNonDigitKeys) {
  // All-digit keys are ordered by their bytes, others through collation keys; one non-digit id
  // switches the whole index over, and the digit ids must keep their order.
  ScopedEnv all("LC_ALL", "ru_RU.UTF-8");
  std::string content = "Id\r\n";
  unsigned seed = 12345;
  for (int line = 1; line <= 500; ++line) {
    seed = seed * 1103515245u + 12345u;
    // Every seventh line shares one of two ids, so equal keys meet line numbers such as 7 and 77.
    const unsigned id = line % 7 == 0 ? line % 2u : (seed >> 8) % 2000000000u;
    content += (line % 11 == 0 ? "00" : "") + std::to_string(id) + "\r\n";
  }
  OpenWith(content);
  table.CreateIndex("Id");
  std::vector<std::string> digitsOnly;
  for (std::size_t i = 0; i < table.IndexSize(); ++i) digitsOnly.emplace_back(table.Index(i));

  OpenWith(content + "x1\r\n");
  table.CreateIndex("Id");
  std::vector<std::string> mixed;
  for (std::size_t i = 0; i < table.IndexSize(); ++i)
    if (table.Index(i).find('x') == std::string_view::npos) mixed.emplace_back(table.Index(i));
  EXPECT_EQ(mixed, digitsOnly);
}

TEST_F(TextTableTest, IdKeyKeepsLastNineCharactersAndOnlyIdColumnIsPadded) {
  OpenWith("id;IDX\r\n1234567890;5\r\n2;40\r\n");
  table.CreateIndex("Id");
  EXPECT_EQ(table.Index(0), "000000002=2");
  EXPECT_EQ(table.Index(1), "234567890=1");
  table.CreateIndex("idx");  // not the id rule: text order, "40" before "5"
  EXPECT_EQ(table.Index(0), "40=2");
  EXPECT_EQ(table.Index(1), "5=1");
  EXPECT_EQ(table.IndexFieldName(), "idx");
}

TEST_F(TextTableTest, NameIndexUpperCasesCyrillicAndSortsInRussianCollation) {
  ScopedEnv all("LC_ALL", "ru_RU.UTF-8");
  // Bytewise, Ё (0xA8) would come before Д (0xC4) and lower case after upper case.
  OpenWith(core::Utf8ToAnsi("Id;Name\r\n1;жук\r\n2;ёж\r\n3;Дом\r\n4;абв=1\r\n5;Zebra\r\n6;apple\r\n"));
  table.CreateIndex("Name");
  std::vector<std::string> entries;
  for (std::size_t i = 0; i < table.IndexSize(); ++i) entries.push_back(core::AnsiToUtf8(table.Index(i)));
  // The Russian collation puts Cyrillic before Latin.
  EXPECT_EQ(entries, (std::vector<std::string>{"АБВ=1=4", "ДОМ=3", "ЁЖ=2", "ЖУК=1", "APPLE=6", "ZEBRA=5"}));
  // The record of an entry is the number after its last "=".
  EXPECT_EQ(table.IndexLine(0), 4);
  EXPECT_EQ(Walk(table, "Id"), (std::vector<std::string>{"4", "3", "2", "1", "6", "5"}));
}

TEST_F(TextTableTest, IndexOnMissingColumnIsReportedAndLeavesFileOrder) {
  OpenWith("Id;Name\r\n2;a\r\n1;b\r\n");
  table.CreateIndex("Code");
  ASSERT_EQ(reporter.entries.size(), 1u);
  EXPECT_EQ(reporter.entries[0].text, "Поля \"Code\" нет в таблице t.txt");
  EXPECT_EQ(table.IndexSize(), 0u);
  EXPECT_EQ(Walk(table, "Id"), (std::vector<std::string>{"2", "1"}));
}

TEST_F(TextTableTest, NavigationBeyondTheEnd) {
  OpenWith("Id\r\n1\r\n2\r\n");
  auto* id = table.FieldByName("Id");
  table.GotoRecord(3);  // past the end: values stay
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(id->AsString(), "1");
  table.Next();
  EXPECT_EQ(table.RecNo(), 3);
  EXPECT_TRUE(reporter.entries.empty());
  for (int bad : {4, 0, -1}) table.GotoRecord(bad);
  EXPECT_EQ(reporter.Texts(), std::vector<std::string>(3, "Попытка обращения к несуществующей записи"));
  EXPECT_EQ(reporter.entries[0].caption, "Ошибка");
  EXPECT_EQ(table.RecNo(), 3);

  table.CreateIndex("Id");
  table.Next();
  table.Next();
  EXPECT_TRUE(table.Eof());
  table.Next();  // at the end already: stays there
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.IndexPos(), 2);
}

TEST_F(TextTableTest, AppendPostSaveWritesEveryValueWithSeparatorAndCrLfLines) {
  OpenWith("A;B;C\r\n", "Out.txt");
  const std::vector<std::vector<std::string>> records = {{"1", "x", ""}, {"2", "a;b", "z"}, {"", "", ""}};
  for (const auto& values : records) {
    table.Append();
    EXPECT_EQ(table.RecNo(), table.RecordCount());
    for (const auto& column : table.Fields()) EXPECT_TRUE(column.Field.Value.empty());
    table.FieldByName("A")->AsString(values[0]);
    table.FieldByName("B")->AsString(values[1]);
    table.FieldByName("C")->AsString(values[2]);
    table.Post();
  }
  EXPECT_TRUE(table.Save());
  EXPECT_EQ(dir.ReadFile("Out.txt"), "A;B;C\r\n1;x;;\r\n2;a;b;z;\r\n;;;\r\n");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"Out.txt"});  // no temporary file left

  // The ";" inside a value reads back as two values.
  table.Open();
  table.GotoRecord(2);
  EXPECT_EQ(table.FieldByName("B")->AsString(), "a");
  EXPECT_EQ(table.FieldByName("C")->AsString(), "b");
}

TEST_F(TextTableTest, AppendRecordWritesTheLineAppendSettersAndPostWrite) {
  OpenWith("I;F;D;S\r\n");
  const core::TDateTime date = *core::TDateTime::FromDate(2026, 3, 14);
  struct Values {
    std::int32_t integer;
    double number;
    std::string text;
  };
  const std::vector<Values> records = {{0, 0.0, ""}, {-2147483648, 756.79, "note"}, {42, -1.5e-7, std::string(300, 'n')}};
  for (const Values& v : records) {
    table.Append();
    table.FieldByName("I")->AsInteger(v.integer);
    table.FieldByName("F")->AsFloat(v.number);
    table.FieldByName("D")->AsDateTime(date);
    table.FieldByName("S")->AsString(v.text);
    table.Post();
    const std::string posted(table.Lines()[table.Lines().Count() - 1]);
    table.AppendRecord([&](TnqTXTLineWriter& line) {
      line.AsInteger(v.integer);
      line.AsFloat(v.number);
      line.AsDateTime(date);
      line.AsString(v.text);
    });
    EXPECT_EQ(table.Lines()[table.Lines().Count() - 1], posted);
    EXPECT_TRUE(table.Eof());
  }
  // Columns without a value are empty; a value's bytes can be changed where they were written.
  table.AppendRecord([](TnqTXTLineWriter& line) { line.AsString("a\nb")[1] = ' '; });
  EXPECT_EQ(table.Lines()[table.Lines().Count() - 1], "a b;;;;");
  EXPECT_THROW(table.AppendRecord([](TnqTXTLineWriter& line) {
    for (int i = 0; i < 5; ++i) line.AsInteger(i);
  }),
               std::logic_error);
}

TEST_F(TextTableTest, PostReplacesExistingLinesAndRejectsPastTheEnd) {
  OpenWith("A;B\r\nlong-value;1\r\nq;2\r\n");
  table.FieldByName("A")->AsString("s");
  table.Post();  // shorter than before
  table.Next();
  table.FieldByName("A")->AsString(std::string(100, 'w'));
  table.Post();  // longer than before
  table.Next();
  table.Post();  // past the end
  EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"Попытка обращения к несуществующей записи"});
  EXPECT_EQ(LinesOf(table), (std::vector<std::string>{"A;B", "s;1;", std::string(100, 'w') + ";2;"}));
}

TEST_F(TextTableTest, PostAtTheEndOfTheStoreAndAfterAppendsKeepsEveryLine) {
  OpenWith("A;B\r\nq;2");  // the last line has no break after it
  table.FieldByName("A")->AsString("longer");
  table.Post();
  table.Append();  // the values the record split gave are gone
  for (const auto& column : table.Fields()) EXPECT_TRUE(column.Field.Value.empty());
  table.FieldByName("B")->AsString("3");
  table.Post();
  table.Append();
  table.Post();
  table.GotoRecord(2);
  table.FieldByName("A")->AsString("x");
  table.Post();  // an appended record that is no longer the last
  EXPECT_EQ(LinesOf(table), (std::vector<std::string>{"A;B", "longer;2;", "x;3;", ";;"}));
}

TEST_F(TextTableTest, FieldConversions) {
  OpenWith("V\r\n 12\r\n12a\r\n");
  auto* v = table.FieldByName("V");
  EXPECT_EQ(v->AsInteger(), 12);
  table.Next();
  EXPECT_THROW((void)v->AsInteger(), core::EConvertError);
  v->AsFloat(12.5);
  EXPECT_EQ(v->Value, "12,5");
  v->AsDateTime(core::TDateTime(core::TDateTime::FromDate(2024, 3, 5)->Days() + 0.75));
  EXPECT_EQ(v->Value, "05.03.2024");  // the time of day is dropped
}

TEST_F(TextTableTest, MissingFileAndMissingColumnAreReported) {
  table.Path = dir.Str();
  table.FileName = "product.txt";
  EXPECT_FALSE(table.Open());
  ASSERT_EQ(reporter.entries.size(), 1u);
  EXPECT_EQ(reporter.entries[0].kind, testsupport::RecordingReporter::Entry::Error);
  EXPECT_EQ(reporter.entries[0].caption, "Ошибка");
  EXPECT_EQ(reporter.entries[0].text, "Файл \"" + core::JoinPath(dir.Str(), "product.txt") + "\" не найден");
  EXPECT_EQ(table.RecordCount(), 0);
  EXPECT_TRUE(table.Fields().empty());
  table.First();
  EXPECT_TRUE(table.Eof());

  // A Windows-1251 name is shown in UTF-8.
  table.FileName = core::Utf8ToAnsi("Товар.txt");
  EXPECT_FALSE(table.Open());
  EXPECT_EQ(reporter.entries.back().text, "Файл \"" + core::JoinPath(dir.Str(), "Товар.txt") + "\" не найден");
  reporter.entries.clear();

  OpenWith("Id;Name\r\n1;a\r\n", "product.txt");
  EXPECT_EQ(table.FindField("Code"), nullptr);
  EXPECT_TRUE(reporter.entries.empty());  // FindField is silent
  EXPECT_EQ(table.FieldByName("Code"), nullptr);
  EXPECT_EQ(reporter.entries.back().text, "Поля \"Code\" нет в таблице product.txt");
}

TEST_F(TextTableTest, FileNameMatchesInAnyLetterCaseAndSaveKeepsTheExistingName) {
  dir.WriteFile("PRODUCT.TXT", "Id\r\n1\r\n");
  table.Path = dir.Str();
  table.FileName = "Product.txt";
  ASSERT_TRUE(table.Open());
  EXPECT_EQ(table.FieldByName("id")->AsString(), "1");
  table.Append();
  table.FieldByName("Id")->AsInteger(2);
  table.Post();
  table.Save();
  EXPECT_EQ(dir.List(), std::vector<std::string>{"PRODUCT.TXT"});
  EXPECT_EQ(dir.ReadFile("PRODUCT.TXT"), "Id\r\n1\r\n2;\r\n");
}

TEST_F(TextTableTest, ReopeningAnotherFileForgetsColumnsAndIndex) {
  OpenWith("Id;Name\r\n2;a\r\n1;b\r\n", "a.txt");
  table.CreateIndex("Id");
  OpenWith("X\r\nq\r\n", "b.txt");
  EXPECT_EQ(ColumnNames(table), std::vector<std::string>{"X"});
  EXPECT_EQ(table.IndexSize(), 0u);
  EXPECT_EQ(Walk(table, "X"), std::vector<std::string>{"q"});
  table.Close();
  EXPECT_EQ(table.RecordCount(), 0);
  EXPECT_TRUE(table.Lines().Empty());
}

}  // namespace
}  // namespace text
