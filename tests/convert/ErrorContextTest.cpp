// What the person sees when bad input or a failing file stops a conversion: the message known
// from before on the first line, where it happened and why on the second.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ConversionTestUtil.h"
#include "sync/SyncTestUtil.h"

namespace converttest {
namespace {

using app::Command;
using app::RunOutcome;
using testsupport::ScopedEnv;
using testsupport::TempDir;
namespace fs = std::filesystem;

const std::string kProductHeader = "Id;IdCategory;Code;Name;Fullname;Ed;Standard;Quantity;Price1;Price2;Price3;Price4";
const std::string kCustomerHeader = "Id;Code;Name;Address;Currentsaldo;nPrice;PercentDiscount";

struct Dirs {
  TempDir office, palm;
};
using Text = std::function<std::string(const Dirs&)>;

Text Fixed(std::string text) {
  return [=](const Dirs&) { return text; };
}
Text InOfficeFile(std::string name, std::string place) {
  return [=](const Dirs& d) { return "Файл \"" + (d.office / name).string() + "\", " + place; };
}

// A container whose one block is no zlib stream.
void WriteDamagedContainer(const TempDir& dir) {
  core::Bytes block = synctest::Block(synctest::Entry(0, synctest::Random(500, 4)));
  block[6] ^= 0xFF;
  block[7] ^= 0xFF;
  synctest::WriteContainer(dir.Path(), "Kestor_Out.pdb",
                           synctest::Concat({synctest::Marker(), synctest::Header("Kestor_OrderDb", 0, 0, 1), block}),
                           30000);
}

TEST(ErrorContext, TheSecondLineSaysWhereAndWhy) {
  ScopedEnv locale{"LC_ALL", "ru_RU.UTF-8"};
  struct Case {
    const char* what;
    Command command;
    std::function<void(const Dirs&)> arrange;
    Text firstLine, secondLine;  // no second line when the first says it all
  };
  const std::vector<Case> cases = {
      {"a number with a dot, shown as the file holds it", Command::TxtToPdb,
       [](const Dirs& d) {
         WriteOfficeFile(d.office, "product.txt", {kProductHeader, "1;1;P1;Хлеб;;шт;1;2;1.234,5;4;5;6"});
       },
       Fixed("'1,234,5' is not a valid floating point value"),
       InOfficeFile("product.txt", "строка 2, столбец 9 (Price1): \"1.234,5\"")},
      {"a whole number, at its line and not at its place in the index", Command::TxtToPdb,
       [](const Dirs& d) {
         WriteOfficeFile(d.office, "customer.txt", {kCustomerHeader, "2;C2;Бар;Тула;0;1;0", "1;C1;Кафе;Тверь;0;два;0"});
       },
       Fixed("'два' is not a valid integer value"), InOfficeFile("customer.txt", "строка 3, столбец 6 (nPrice): \"два\"")},
      {"a category's parent", Command::TxtToPdb,
       [](const Dirs& d) {
         WriteOfficeFile(d.office, "category.txt", {"Id;IdParent;Name", "1;0;Выпечка", "2;x;Торты"});
       },
       Fixed("'x' is not a valid integer value"), InOfficeFile("category.txt", "строка 3, столбец 2 (IdParent): \"x\"")},
      {"a text file that cannot be opened", Command::TxtToPdb,
       [](const Dirs& d) {
         fs::remove(d.office / "customer.txt");
         fs::create_symlink("customer.txt", d.office / "customer.txt");  // a loop, refused even to root
       },
       [](const Dirs& d) { return "cannot open " + (d.office / "customer.txt").string() + ": Too many levels of symbolic links"; },
       nullptr},  // the reason on the same line, as for every file error
      {"a database that cannot be created", Command::TxtToPdb, [](const Dirs& d) { fs::remove_all(d.palm.Path()); },
       Fixed("Error creating PDB File!"),
       [](const Dirs& d) {
         return "cannot create " + (d.palm / "Kestor_ProductDB.pdb").string() + ": No such file or directory";
       }},
      {"a damaged container", Command::PdbToTxt, [](const Dirs& d) { WriteDamagedContainer(d.palm); },
       Fixed("data error"), [](const Dirs& d) { return "container " + (d.palm / "Kestor_Out.pdb").string(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Dirs d;
    WriteOfficeFile(d.office, "product.txt", {kProductHeader, "1;1;P1;Хлеб;;шт;1;2;3;4;5;6"});
    WriteOfficeFile(d.office, "category.txt", {"Id;IdParent;Name", "1;0;Выпечка"});
    WriteOfficeFile(d.office, "customer.txt", {kCustomerHeader, "1;C1;Кафе;Тверь;0;1;0"});
    c.arrange(d);
    Window window;
    window.state.CategorySource = convert::CategorySource::TextFile;
    const bool toPalm = c.command == Command::TxtToPdb;
    window.state.edtSource = toPalm ? d.office.Str() : d.palm.Str();
    window.state.edtDest = toPalm ? d.palm.Str() : d.office.Str();

    EXPECT_EQ(window.RunGuarded(c.command), RunOutcome::Stopped);
    ASSERT_FALSE(window.Texts().empty());
    EXPECT_EQ(window.Texts().back(), c.secondLine ? c.firstLine(d) + "\n" + c.secondLine(d) : c.firstLine(d));
  }
}

}  // namespace
}  // namespace converttest
