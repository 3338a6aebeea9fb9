// "TXT -> PDB" end to end: office files in, Kestor_In.pdb out, unpacked again with the project's
// unpacker and every database read back through the data set.
#include "convert/TxtToPdb.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConversionTestUtil.h"
#include "core/Encoding.h"
#include "support/TempDir.h"

namespace converttest {
namespace {

using convert::ConversionResult;
using app::Command;
using app::RunOutcome;
using enum pdb::TPDBPSFieldType;
using testsupport::ScopedEnv;
using testsupport::TempDir;

const FieldList kProductFields = {
    {"Id", PSUInt32},  {"IdCategory", PSUInt32}, {"CODE", PSString},     {"Name", PSString},   {"FullName", PSString},
    {"Ed", PSString},  {"Standard", PSDouble},   {"Quantity", PSDouble}, {"Price1", PSDouble}, {"Price2", PSDouble},
    {"Price3", PSDouble}, {"Price4", PSDouble},  {"Aliquot", PSUInt32}};
const FieldList kCategoryFields = {{"Id", PSUInt32},    {"IDParent", PSUInt32},     {"Name", PSString},
                                   {"Level", PSUInt32}, {"ProductCount", PSUInt32}, {"Expanded", PSUInt32},
                                   {"ChildCount", PSUInt32}};
const FieldList kCustomerFields = {{"Id", PSUInt32},           {"CODE", PSString},         {"Name", PSString},
                                   {"Address", PSString},      {"IdQuest", PSUInt32},      {"DateForDelivery", PSString},
                                   {"CurrentSaldo", PSDouble}, {"NPrice", PSUInt32},       {"PercentDiscount", PSDouble},
                                   {"IdCategory", PSUInt32}};
const FieldList kFourIndexFields = {
    {"Index_Name", PSUInt32}, {"Index_Code", PSUInt32}, {"Index_CatName", PSUInt32}, {"Index_CatCode", PSUInt32}};
const FieldList kOneIndexField = {{"Index_Name", PSUInt32}};
const FieldList kNoteFields = {{"Name", PSString}};

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

const std::string kProductHeader = "Id;IdCategory;Code;Name;Fullname;Ed;Standard;Quantity;Price1;Price2;Price3;Price4";
const std::string kCustomerHeader = "Id;Code;Name;Address;Currentsaldo;nPrice;PercentDiscount";

class TxtToPdbTest : public ::testing::Test {
 protected:
  TxtToPdbTest() {
    window.state.edtSource = source.Str();
    window.state.edtDest = dest.Str();
    window.state.CategorySource = convert::CategorySource::TextFile;
  }

  // A small, valid set of office files.
  void WriteValidOffice() {
    WriteOfficeFile(source, "product.txt", {kProductHeader, "1;1;P1;Хлеб;Хлеб белый;шт;1;2;3;4;5;6"});
    WriteOfficeFile(source, "category.txt", {"Id;IdParent;Name", "1;0;Выпечка"});
    WriteOfficeFile(source, "customer.txt", {kCustomerHeader, "1;C1;Кафе;Тверь;0;1;0"});
  }

  ScopedEnv locale{"LC_ALL", "ru_RU.UTF-8"};
  TempDir source, dest, unpacked;
  Window window;
};

TEST_F(TxtToPdbTest, WritesEveryDatabaseByItsMappingAndLeavesOnlyTheContainer) {
  const std::string name80 = Repeat("абвгдежзий", 8);
  const std::string name60 = Repeat("клмнопрсту", 6);
  WriteOfficeFile(source, "PRODUCT.TXT",
                  {kProductHeader,
                   "20;3;P20;Сок;Сок яблочный;шт;1.5;10;12.5;12,5;0;7",
                   "0;3;P0;Нулевой;;шт;x;x;x;x;x;x",
                   "abc;3;PA;Буквы;;шт;x;x;x;x;x;x",
                   ";3;PE;Пустой;;шт;x;x;x;x;x;x",
                   "-5;3;PM;Минус;;шт;x;x;x;x;x;x",
                   "3;99;P3;" + name80 + ";Полное;кг;2;0;1;2;3;4",
                   "100;5;P100;Кефир;Кефир 1%;шт; 1 ;0,25;3;3;3;3"});
  WriteOfficeFile(source, "category.txt",
                  {"Id;IdParent;Name", "1;0;b", "2;0;A", "3;1;x", "4;2;y", "5;2;C", "6;5;" + name60});
  WriteOfficeFile(source, "customer.txt",
                  {kCustomerHeader, "7;C7;ООО \"Ромашка\";Тверь;-10.5;2;5", "x;CX;Нет;;;;", "2;C2;Кафе;Адрес;0;1;0"});
  WriteOfficeFile(source, "note2.txt", {"Name", "Яблоко", "", "апельсин", "Банан"});
  // Earlier outputs in other spellings are replaced or removed.
  dest.WriteFile("kestor_productdb.PDB", "stale");
  dest.WriteFile("KESTOR_NOTE1DB.pdb", "stale");
  window.state.Interactive = true;

  ASSERT_EQ(window.Run(Command::TxtToPdb), ConversionResult::Done) << ::testing::PrintToString(window.Texts());
  EXPECT_EQ(dest.List(), std::vector<std::string>{"Kestor_In.pdb"});
  EXPECT_EQ(window.Texts(),
            std::vector<std::string>{"Операция завершена. Сформирован файл \"" + dest.Str() + "/Kestor_In.pdb\""});
  EXPECT_EQ(window.state.SourceDir, source.Str());
  EXPECT_EQ(window.reporter.progressNames, (std::vector<std::string>{"product.txt", "customer.txt", "note2.txt"}));
  EXPECT_EQ(window.reporter.progressSteps, 7 + 3 + 4);

  ASSERT_EQ(Unpack(dest.Str(), "Kestor_In.pdb", unpacked.Str()), 0);
  EXPECT_EQ(unpacked.List(),
            (std::vector<std::string>{"Kestor_CategoryDB.pdb", "Kestor_CustomerDB.pdb", "Kestor_CustomerIndexDB.pdb",
                                      "Kestor_Note2DB.pdb", "Kestor_ProdCatIndexDB.pdb", "Kestor_ProductDB.pdb",
                                      "Kestor_ProductIndexDB.pdb"}));

  struct Expected {
    std::string file, type;
    const FieldList* fields;
    std::vector<std::string> records;
  };
  const std::vector<Expected> expected = {
      {"Kestor_ProductDB", "PROD", &kProductFields,
       {"3|99|P3|" + Repeat("абвгдежзий", 5) + "|Полное|кг|2|0|1|2|3|4|0",
        "20|3|P20|Сок|Сок яблочный|шт|1,5|10|12,5|12,5|0|7|0", "100|5|P100|Кефир|Кефир 1%|шт|1|0,25|3|3|3|3|0"}},
      {"Kestor_ProductIndexDB", "PROC", &kFourIndexFields, {}},
      {"Kestor_CategoryDB", "PRCA", &kCategoryFields,
       {"2|0|A|1|0|0|2", "5|2|    |-C|2|1|0|1", "6|5|       |-" + Repeat("клмнопрсту", 5) + "к|3|0|0|0",
        "4|2|    |-y|2|0|0|0", "1|0|b|1|0|0|1", "3|1|    |-x|2|1|0|0"}},
      {"Kestor_ProdCatIndexDB", "PROC", &kOneIndexField, {}},
      {"Kestor_CustomerDB", "CUST", &kCustomerFields,
       {"2|C2|Кафе|Адрес|1||0|1|0|0", "7|C7|ООО \"Ромашка\"|Тверь|1||-10,5|2|5|0"}},
      {"Kestor_CustomerIndexDB", "CUSC", &kFourIndexFields, {}},
      {"Kestor_Note2DB", "NOTE", &kNoteFields, {"", "апельсин", "Банан", "Яблоко"}},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.file);
    const DatabaseContent db = ReadDatabase(unpacked.Str(), e.file + ".pdb", *e.fields);
    EXPECT_EQ(db.name, e.file);
    EXPECT_EQ(db.type, e.type);
    EXPECT_EQ(db.creator, "PmOr");
    EXPECT_EQ(db.records, e.records);
  }
}

TEST_F(TxtToPdbTest, OptionalColumnsAreTakenWhenPresent) {
  WriteOfficeFile(source, "product.txt", {kProductHeader + ";Aliquot", "1;0;P1;Хлеб;;шт;0;0;0;0;0;0;18"});
  WriteOfficeFile(source, "customer.txt",
                  {kCustomerHeader + ";IdCategory;IdQuest;DateForDelivery", "1;C1;Кафе;Тверь;0;1;0;4;3;пн,чт"});
  WriteOfficeFile(source, "note1.txt", {"Name", "Позвонить"});

  ASSERT_EQ(window.Run(Command::TxtToPdb), ConversionResult::Done);
  // category.txt is missing: the table says so, and the category database stays empty.
  EXPECT_EQ(window.Texts(), std::vector<std::string>{"Файл \"" + source.Str() + "/category.txt\" не найден"});
  ASSERT_EQ(Unpack(dest.Str(), "Kestor_In.pdb", unpacked.Str()), 0);
  EXPECT_EQ(ReadDatabase(unpacked.Str(), "Kestor_ProductDB.pdb", kProductFields).records,
            std::vector<std::string>{"1|0|P1|Хлеб||шт|0|0|0|0|0|0|18"});
  EXPECT_EQ(ReadDatabase(unpacked.Str(), "Kestor_CustomerDB.pdb", kCustomerFields).records,
            std::vector<std::string>{"1|C1|Кафе|Тверь|3|пн,чт|0|1|0|4"});
  EXPECT_TRUE(ReadDatabase(unpacked.Str(), "Kestor_CategoryDB.pdb", kCategoryFields).records.empty());
  EXPECT_EQ(ReadDatabase(unpacked.Str(), "Kestor_Note1DB.pdb", kNoteFields).records,
            std::vector<std::string>{"Позвонить"});
  EXPECT_FALSE(unpacked.Exists("Kestor_Note2DB.pdb"));
}

TEST_F(TxtToPdbTest, WithoutProductFileNothingIsTouched) {
  WriteOfficeFile(source, "customer.txt", {kCustomerHeader});
  dest.WriteFile("Kestor_ProductDB.pdb", "earlier");
  window.state.Interactive = true;
  EXPECT_EQ(window.Run(Command::TxtToPdb), ConversionResult::NothingToDo);
  EXPECT_TRUE(window.Texts().empty());
  EXPECT_EQ(dest.List(), std::vector<std::string>{"Kestor_ProductDB.pdb"});
}

// A malformed number stops the conversion: no container, the earlier one kept whole, and the
// window's data set ready for the next run.
TEST_F(TxtToPdbTest, MalformedNumberStopsWithoutContainerAndTheNextRunSucceeds) {
  WriteValidOffice();
  ASSERT_EQ(window.Run(Command::TxtToPdb), ConversionResult::Done);
  const std::string earlier = dest.ReadFile("Kestor_In.pdb");

  WriteOfficeFile(source, "product.txt", {kProductHeader, "1;1;P1;Хлеб;;шт;1;2;1.234,5;4;5;6"});
  EXPECT_EQ(window.RunGuarded(Command::TxtToPdb), RunOutcome::Stopped);
  EXPECT_TRUE(window.Texts().back().starts_with("'1,234,5' is not a valid floating point value\n"));
  EXPECT_EQ(dest.ReadFile("Kestor_In.pdb"), earlier);
  EXPECT_FALSE(window.objects.pt().Active());

  WriteOfficeFile(source, "customer.txt", {kCustomerHeader, "1;C1;Кафе;Тверь;0;два;0"});
  WriteOfficeFile(source, "product.txt", {kProductHeader, "1;1;P1;Хлеб;;шт;1;2;3;4;5;6"});
  EXPECT_EQ(window.RunGuarded(Command::TxtToPdb), RunOutcome::Stopped);
  EXPECT_TRUE(window.Texts().back().starts_with("'два' is not a valid integer value\n"));
  EXPECT_EQ(dest.ReadFile("Kestor_In.pdb"), earlier);

  WriteValidOffice();
  std::filesystem::remove(dest / "Kestor_In.pdb");
  EXPECT_EQ(window.RunGuarded(Command::TxtToPdb), RunOutcome::Done);
  EXPECT_EQ(dest.List(), std::vector<std::string>{"Kestor_In.pdb"});
}

TEST_F(TxtToPdbTest, MissingRequiredColumnStopsAfterTheTablesMessage) {
  struct Case {
    std::string file;
    std::vector<std::string> lines;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"product.txt", {"Id;IdCategory;Code;Name;Fullname;Ed;Standard;Quantity;Price1;Price2;Price3", "1;1;P;N;F;E;1;1;1;1;1"},
       "Поля \"Price4\" нет в таблице product.txt"},
      {"customer.txt", {"Id;Code;Name;Currentsaldo;nPrice;PercentDiscount", "1;C;N;0;1;0"},
       "Поля \"Address\" нет в таблице customer.txt"},
      {"category.txt", {"Id;Name", "1;A"}, "Поля \"IdParent\" нет в таблице category.txt"},
      {"note2.txt", {"Text", "x"}, "Поля \"Name\" нет в таблице note2.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    WriteValidOffice();
    std::filesystem::remove(source / "note2.txt");
    WriteOfficeFile(source, c.file, c.lines);
    window.reporter.entries.clear();
    EXPECT_EQ(window.RunGuarded(Command::TxtToPdb), RunOutcome::FailureReported);
    EXPECT_EQ(window.Texts(), std::vector<std::string>{c.message});
    EXPECT_FALSE(dest.Exists("Kestor_In.pdb"));
    EXPECT_FALSE(window.objects.pt().Active());
  }
}

// A container the packer still holds from an earlier failure is dropped, so the next run packs.
TEST_F(TxtToPdbTest, PackFailureLeavesNoContainerAndTheNextRunPacks) {
  WriteValidOffice();
  ASSERT_EQ(window.objects.Packer.BeginPack(dest.Str(), "Other.pdb", "Other", "PDBP"), 0);
  EXPECT_EQ(window.Run(Command::TxtToPdb), ConversionResult::FailureReported);
  EXPECT_EQ(window.Texts(), std::vector<std::string>{"Error starting the pack operation!"});
  EXPECT_FALSE(window.objects.Packer.Packing());
  EXPECT_FALSE(dest.Exists("Kestor_In.pdb"));
  EXPECT_TRUE(dest.Exists("Kestor_ProductDB.pdb"));  // the separate databases stay

  EXPECT_EQ(window.Run(Command::TxtToPdb), ConversionResult::Done);
  EXPECT_EQ(dest.List(), std::vector<std::string>{"Kestor_In.pdb"});
}

TEST_F(TxtToPdbTest, MoreRecordsThanAPalmDatabaseHoldsStopTheConversion) {
  WriteValidOffice();
  std::string notes = "Name\r\n";
  for (int i = 0; i <= 65535; ++i) notes += "n\r\n";
  source.WriteFile("note1.txt", notes);
  EXPECT_EQ(window.RunGuarded(Command::TxtToPdb), RunOutcome::Stopped);
  EXPECT_EQ(window.Texts().back(), "В базе Kestor_Note1DB.pdb не может быть больше 65535 записей");
  EXPECT_FALSE(dest.Exists("Kestor_In.pdb"));
  EXPECT_FALSE(dest.Exists("Kestor_Note1DB.pdb"));
}

// An office file that cannot be read whole stops the run with the file (and the line) named: no
// container is made and the earlier one stays.
TEST_F(TxtToPdbTest, UnreadableOfficeFilesStopTheRunWithoutContainer) {
  const std::string product2 = "2;1;P2;B;;sht;1;1;1;1;1;1";
  std::string withZero = core::Utf8ToAnsi(kProductHeader) + "\r\n1;1;P1;A;;sht;1;1;1;1;1;1\r\n" + product2 + '\0' + "\r\n";
  for (int id = 3; id <= 6; ++id) withZero += std::to_string(id) + ";1;P;C;;sht;1;1;1;1;1;1\r\n";
  enum class Entry { Text, Folder, Pipe };
  const struct {
    std::string file;
    Entry entry;
    std::string content, why;
  } cases[] = {
      {"product.txt", Entry::Text, withZero,
       "строка 3, столбец " + std::to_string(product2.size() + 1) + ": нулевой байт (файл повреждён или это не текст)"},
      {"product.txt", Entry::Folder, "", "это папка, а не обычный файл"},
      {"customer.txt", Entry::Pipe, "", "это именованный канал, а не обычный файл"},
      {"note1.txt", Entry::Text, "\xEF\xBB\xBFName\r\n中\r\n",
       "строка 2, столбец 1: символ «中» (U+4E2D), которого нет в кодировке Windows-1251"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    WriteValidOffice();
    dest.WriteFile("Kestor_In.pdb", "earlier");
    const std::filesystem::path path = source / c.file;
    std::filesystem::remove_all(path);
    int writer = -1;  // holds the pipe open, so that a reader that waits on it is not stuck for ever
    if (c.entry == Entry::Text) source.WriteFile(c.file, c.content);
    if (c.entry == Entry::Folder) std::filesystem::create_directory(path);
    if (c.entry == Entry::Pipe) {
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
      writer = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
    }
    window.reporter.entries.clear();
    EXPECT_EQ(window.RunGuarded(Command::TxtToPdb), RunOutcome::Stopped);
    if (writer >= 0) ::close(writer);
    EXPECT_EQ(window.Texts().back(), "Файл \"" + (source / c.file).string() + "\" не прочитан: " + c.why);
    EXPECT_EQ(dest.ReadFile("Kestor_In.pdb"), "earlier");
    EXPECT_FALSE(window.objects.pt().Active());
    std::filesystem::remove_all(path);
  }
}

// Blanks around column names and numbers, and office files written in UTF-8, give the databases
// a plain Windows-1251 file gives.
TEST_F(TxtToPdbTest, PaddedNamesAndNumbersAndUtf8FilesExportEveryProduct) {
  WriteValidOffice();
  source.WriteFile("product.txt", "\xEF\xBB\xBF" + kProductHeader + ";Aliquot \r\n21 ;4 ;P21;Чай;Чай №1;шт; 1.5 ;2;3;4;5;6;18 \r\n");
  WriteOfficeFile(source, "category.txt", {"Id ; IdParent ;Name", " 4 ;0 ;Напитки"});
  ASSERT_EQ(window.Run(Command::TxtToPdb), ConversionResult::Done) << ::testing::PrintToString(window.Texts());
  ASSERT_EQ(Unpack(dest.Str(), "Kestor_In.pdb", unpacked.Str()), 0);
  EXPECT_EQ(ReadDatabase(unpacked.Str(), "Kestor_ProductDB.pdb", kProductFields).records,
            std::vector<std::string>{"21|4|P21|Чай|Чай №1|шт|1,5|2|3|4|5|6|18"});
  EXPECT_EQ(ReadDatabase(unpacked.Str(), "Kestor_CategoryDB.pdb", kCategoryFields).records,
            std::vector<std::string>{"4|0|Напитки|1|1|0|0"});
}

#ifdef VESTIBO_PROGRAM
TEST_F(TxtToPdbTest, ProgramExitCodesTellFailuresApart) {
  const std::string args = "TXTTOPDB '" + source.Str() + "' '" + dest.Str() + "'";
  WriteValidOffice();
  EXPECT_EQ(RunProgram(args), 0);
  EXPECT_EQ(dest.List(), std::vector<std::string>{"Kestor_In.pdb"});
  std::filesystem::remove(dest / "Kestor_In.pdb");

  WriteOfficeFile(source, "product.txt", {kProductHeader, "1;1;P1;Хлеб;;шт;1;2;abc;4;5;6"});
  std::string err;
  EXPECT_EQ(RunProgram(args, nullptr, &err), 2);
  EXPECT_NE(err.find("'abc' is not a valid floating point value"), std::string::npos) << err;
  EXPECT_FALSE(dest.Exists("Kestor_In.pdb"));

  WriteOfficeFile(source, "product.txt", {"Id;Name", "1;Хлеб"});
  EXPECT_EQ(RunProgram(args, nullptr, &err), 1);
  EXPECT_NE(err.find("Поля \"IdCategory\" нет в таблице product.txt"), std::string::npos) << err;
  EXPECT_FALSE(dest.Exists("Kestor_In.pdb"));
}
#endif

}  // namespace
}  // namespace converttest
