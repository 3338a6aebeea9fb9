// "PDB -> TXT" end to end: document databases written through the data set and packed into
// Kestor_Out.pdb, the conversion run, and the text files compared byte for byte.
#include "convert/DocumentUnpack.h"
#include "convert/PdbToTxt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ConversionTestUtil.h"
#include "FaultTestUtil.h"
#include "sync/SyncTestUtil.h"
#include "support/TempDir.h"

namespace converttest {
namespace {

using convert::ConversionResult;
using app::Command;
using testsupport::TempDir;

core::TDateTime Day(int year, int month, int day) { return *core::TDateTime::FromDate(year, month, day); }

const std::string kOrderHeader =
    "ID;IDCUSTOMER;ORDERDATE;DELIVERDATE;IDPAYMENT;TOTAL;COUNTROW;NPRICE;PERCENTDISCOUNT;NOTE;ORDERTIME;NOTE1;NOTE2\r\n";
const std::string kItemHeader = "IDORDER;IDPRODUCT;QUANTITY;PRICE;\r\n";
const std::string kCashHeader = "ID;IDCUSTOMER;CASHDATE;IDCURRENCY;CURRENCYCURS;CURRENCYSUMMA;SUMMA;NOTE;\r\n";

const std::vector<TestOrder> kTwoOrders = {
    {17, 3, Day(2004, 3, 5), Day(2004, 3, 6), "09:40", 1, 1234.5, 3, 2, 0, "Срочно; до обеда", "Наличные", "Тара"},
    {18, 4, Day(2004, 12, 31), Day(2005, 1, 2), "17:05", 2, 10, 2, 1, 2.5, "", "", ""},
};
const std::vector<TestOrderItem> kFiveItems = {
    {17, 12, 10, 45.9}, {17, 15, 0.5, 123}, {17, 21, 2, 10.25}, {18, 12, 8, 45.9}, {18, 30, 1e-6, 61.4},
};
const std::string kFiveItemLines =
    "17;12;10;45,9;\r\n"
    "17;15;0,5;123;\r\n"
    "17;21;2;10,25;\r\n"
    "18;12;8;45,9;\r\n"
    "18;30;1E-6;61,4;\r\n";
const std::vector<TestCash> kTwoCash = {
    {901, 3, Day(2004, 3, 5), 1, 1, 1000, 1000, "Оплата по накладной"},
    {902, 4, Day(2004, 3, 7), 2, 31.5, 3.2, 100.8, ""},
};

class PdbToTxtTest : public ::testing::Test {
 protected:
  PdbToTxtTest() {
    window.state.edtSource = handheld.Str();
    window.state.edtDest = office.Str();
    window.state.Interactive = true;
  }

  // Kestor_Out.pdb in the handheld directory with the databases given (null: left out).
  void MakeContainer(const std::vector<TestOrder>* orders, const std::vector<TestOrderItem>* items,
                     const std::vector<TestCash>* cash) {
    TempDir work;
    WriteDocuments(work.Str(), orders, items, cash);
    std::vector<std::string> files;
    if (orders) files.push_back("Kestor_OrderDb.pdb");
    if (items) files.push_back("Kestor_OrderItemDb.pdb");
    if (cash) files.push_back("Kestor_CashDb.pdb");
    PackContainer(work.Str(), files, handheld.Str());
  }

  std::string Message(int orders, int cash) const {
    return "Обработано документов: " + std::to_string(orders) + "\r       Кассовых ордеров: " + std::to_string(cash);
  }

  TempDir handheld, office;
  Window window;
};

TEST_F(PdbToTxtTest, WritesTheThreeFilesByteForByte) {
  MakeContainer(&kTwoOrders, &kFiveItems, &kTwoCash);
  office.WriteFile("ORDER.TXT", "earlier");  // replaced, whatever its spelling
  window.state.edtSource = "  " + handheld.Str() + "/ ";

  ASSERT_EQ(window.Run(Command::PdbToTxt), ConversionResult::Done) << ::testing::PrintToString(window.Texts());
  EXPECT_EQ(window.Texts(), std::vector<std::string>{Message(2, 2)});
  EXPECT_EQ(ReadOfficeFile(office, "Order.txt"),
            kOrderHeader +
                "17;3;05.03.2004;06.03.2004;1;1234,5;3;2;0;Срочно; до обеда;09:40;Наличные;Тара;\r\n"
                "18;4;31.12.2004;02.01.2005;2;10;2;1;2,5;;17:05;;;\r\n");
  EXPECT_EQ(ReadOfficeFile(office, "OrderItem.txt"), kItemHeader + kFiveItemLines);
  EXPECT_EQ(ReadOfficeFile(office, "Cash.txt"), kCashHeader +
                                                    "901;3;05.03.2004;1;1;1000;1000;Оплата по накладной;\r\n"
                                                    "902;4;07.03.2004;2;31,5;3,2;100,8;;\r\n");
  // The unpacked databases stay beside the text files.
  EXPECT_EQ(office.List(), (std::vector<std::string>{"Cash.txt", "Kestor_CashDb.pdb", "Kestor_OrderDb.pdb",
                                                     "Kestor_OrderItemDb.pdb", "Order.txt", "OrderItem.txt"}));
  EXPECT_EQ(window.reporter.progressNames, (std::vector<std::string>{"Order.txt", "OrderItem.txt", "Cash.txt"}));
  EXPECT_EQ(window.reporter.progressSteps, 2 + 5 + 2);
}

// A line break inside a text value would split its record: CR and LF are written as blanks.
TEST_F(PdbToTxtTest, LineBreaksInNotesBecomeBlanks) {
  const std::vector<TestOrder> orders = {
      {17, 3, Day(2004, 3, 5), Day(2004, 3, 6), "09:40", 1, 10, 1, 1, 0, "Срочно\r\nдо обеда", "a\nb", "c\rd"}};
  const std::vector<TestCash> cash = {{901, 3, Day(2004, 3, 5), 1, 1, 1, 1, "по\nнакладной"}};
  MakeContainer(&orders, &kFiveItems, &cash);
  ASSERT_EQ(window.Run(Command::PdbToTxt), ConversionResult::Done);
  EXPECT_EQ(ReadOfficeFile(office, "Order.txt"),
            kOrderHeader + "17;3;05.03.2004;06.03.2004;1;10;1;1;0;Срочно  до обеда;09:40;a b;c d;\r\n");
  EXPECT_EQ(ReadOfficeFile(office, "Cash.txt"), kCashHeader + "901;3;05.03.2004;1;1;1;1;по накладной;\r\n");
}

// An agent's note longer than the data set's default text width arrives whole, in the text
// file and in the order database written back beside it.
TEST_F(PdbToTxtTest, LongNotesArriveWhole) {
  const std::string note(300, 'n');
  const std::string cashNote(150, 'c');
  const std::vector<TestOrder> orders = {
      {17, 3, Day(2004, 3, 5), Day(2004, 3, 6), "09:40", 1, 10, 1, 1, 0, note, "", ""}};
  const std::vector<TestCash> cash = {{901, 3, Day(2004, 3, 5), 1, 1, 1, 1, cashNote}};
  MakeContainer(&orders, &kFiveItems, &cash);

  ASSERT_EQ(window.Run(Command::PdbToTxt), ConversionResult::Done);
  EXPECT_NE(ReadOfficeFile(office, "Order.txt").find(";" + note + ";09:40;"), std::string::npos);
  EXPECT_NE(ReadOfficeFile(office, "Cash.txt").find(";" + cashNote + ";"), std::string::npos);
  EXPECT_NE(office.ReadFile("Kestor_OrderDb.pdb").find(note), std::string::npos);
  EXPECT_NE(office.ReadFile("Kestor_CashDb.pdb").find(cashNote), std::string::npos);
}

// Which files remain for which documents. Only the document databases this container carried
// are read: those an earlier upload left in the destination go before unpacking. Receipts
// arrive without orders too; the order files are then handled as when no order was written.
TEST_F(PdbToTxtTest, DeletionRulesForMissingDocuments) {
  const std::vector<TestOrder> none;
  const std::vector<TestOrderItem> noItems;
  const std::vector<TestCash> noCash;
  const std::vector<TestCash> oneCash = {kTwoCash[1]};
  struct Case {
    std::string name;
    const std::vector<TestOrder>* orders;
    const std::vector<TestOrderItem>* items;
    const std::vector<TestCash>* cash;
    std::vector<std::string> textFiles;
    std::string message;
    bool earlierOrders = false, earlierCash = false;  // databases an earlier run left behind
  };
  const std::vector<Case> cases = {
      {"two orders, five lines, no cash database", &kTwoOrders, &kFiveItems, nullptr, {"Order.txt", "OrderItem.txt"},
       Message(2, 0)},
      {"empty cash database", &kTwoOrders, &kFiveItems, &noCash, {"Order.txt", "OrderItem.txt"}, Message(2, 0)},
      {"no orders but lines", &none, &kFiveItems, &kTwoCash, {"Cash.txt"}, Message(0, 2)},
      {"orders without lines", &kTwoOrders, &noItems, nullptr, {"Order.txt", "OrderItem.txt"}, Message(2, 0)},
      {"earlier cash database", &kTwoOrders, &kFiveItems, nullptr, {"Order.txt", "OrderItem.txt"}, Message(2, 0),
       false, true},
      {"cash only, earlier orders", nullptr, nullptr, &oneCash, {"Cash.txt"}, Message(0, 1), true, true},
      {"orders and cash without lines", &kTwoOrders, nullptr, &oneCash, {"Cash.txt"}, Message(0, 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir in, out;
    window.state.edtSource = in.Str();
    window.state.edtDest = out.Str();
    window.reporter.entries.clear();
    WriteDocuments(out.Str(), c.earlierOrders ? &kTwoOrders : nullptr, c.earlierOrders ? &kFiveItems : nullptr,
                   c.earlierCash ? &kTwoCash : nullptr);
    {
      TempDir work;
      WriteDocuments(work.Str(), c.orders, c.items, c.cash);
      std::vector<std::string> files;
      if (c.orders) files.push_back("Kestor_OrderDb.pdb");
      if (c.items) files.push_back("Kestor_OrderItemDb.pdb");
      if (c.cash) files.push_back("Kestor_CashDb.pdb");
      PackContainer(work.Str(), files, in.Str());
    }
    for (const char* name : {"Order.txt", "OrderItem.txt", "Cash.txt"}) out.WriteFile(name, "earlier");
    ASSERT_EQ(window.Run(Command::PdbToTxt), ConversionResult::Done);
    EXPECT_EQ(window.Texts(), std::vector<std::string>{c.message});
    std::vector<std::string> textFiles;
    for (const auto& name : out.List())
      if (name.ends_with(".txt")) textFiles.push_back(name);
    EXPECT_EQ(textFiles, c.textFiles);
    // No empty cash database is made when the container carried none.
    EXPECT_EQ(out.Exists("Kestor_CashDb.pdb"), c.cash != nullptr);
  }
  EXPECT_EQ(office.List(), std::vector<std::string>{});
}

TEST_F(PdbToTxtTest, OrdersWithoutLinesKeepTheHeaderOfOrderItem) {
  const std::vector<TestOrderItem> noItems;
  MakeContainer(&kTwoOrders, &noItems, nullptr);
  window.state.Interactive = false;
  ASSERT_EQ(window.Run(Command::PdbToTxt), ConversionResult::Done);
  EXPECT_TRUE(window.Texts().empty());
  EXPECT_EQ(office.ReadFile("OrderItem.txt"), kItemHeader);
}

TEST_F(PdbToTxtTest, WithoutContainerOrDocumentDatabasesNothingIsTouched) {
  office.WriteFile("Order.txt", "earlier");
  EXPECT_EQ(window.Run(Command::PdbToTxt), ConversionResult::NothingToDo);

  // A container with order lines only: unpacked, then nothing more.
  MakeContainer(nullptr, &kFiveItems, nullptr);
  EXPECT_EQ(window.Run(Command::PdbToTxt), ConversionResult::NothingToDo);
  EXPECT_TRUE(window.Texts().empty());
  EXPECT_EQ(office.ReadFile("Order.txt"), "earlier");
}

// A document database the container carried that does not read (its header's AppInfo size
// damaged, which turns its records into an AppInfo block) stops the conversion, naming it.
TEST_F(PdbToTxtTest, ACarriedDatabaseThatDoesNotReadIsAnError) {
  MakeContainer(&kTwoOrders, &kFiveItems, &kTwoCash);
  const synctest::ParsedPdb container = synctest::ParsePdb(handheld.ReadBytes("Kestor_Out.pdb"));
  core::Bytes stream = synctest::StreamOf(container);
  const std::string name = "Kestor_OrderDb";
  const auto header = std::search(stream.begin(), stream.end(), name.begin(), name.end());
  ASSERT_NE(header, stream.end());
  constexpr std::size_t kAppInfoSizeAt = 60;  // in the packed header
  header[kAppInfoSizeAt + 1] ^= 0x04;
  synctest::WriteContainer(handheld.Path(), "Kestor_Out.pdb", stream, 30000, false, container.appInfo);
  office.WriteFile("Order.txt", "earlier");

  EXPECT_EQ(window.RunGuarded(Command::PdbToTxt), app::RunOutcome::Stopped);
  ASSERT_EQ(window.Texts().size(), 1u);
  EXPECT_NE(window.Texts()[0].find("Kestor_OrderDb.pdb, which the container carried: it holds an AppInfo"),
            std::string::npos)
      << window.Texts()[0];
  EXPECT_EQ(office.ReadFile("Order.txt"), "earlier");
  EXPECT_FALSE(office.Exists("Cash.txt"));
}

// Orders and their lines are written side by side: a record that does not read (the last one,
// cut short) stops the conversion whichever database holds it, and no earlier file changes.
TEST_F(PdbToTxtTest, ARecordThatDoesNotReadStopsTheConversion) {
  for (const std::string file : {"Kestor_OrderDb.pdb", "Kestor_OrderItemDb.pdb"}) {
    SCOPED_TRACE(file);
    TempDir work;
    WriteDocuments(work.Str(), &kTwoOrders, &kFiveItems, nullptr);
    std::filesystem::resize_file(work / file, std::filesystem::file_size(work / file) - 4);
    PackContainer(work.Str(), {"Kestor_OrderDb.pdb", "Kestor_OrderItemDb.pdb"}, handheld.Str());
    office.WriteFile("Order.txt", "earlier");

    window.reporter.entries.clear();
    EXPECT_EQ(window.RunGuarded(Command::PdbToTxt), app::RunOutcome::Stopped);
    ASSERT_EQ(window.Texts().size(), 1u);
    EXPECT_NE(window.Texts()[0].find("Record is not stored as detailed in Fields structure!"), std::string::npos)
        << window.Texts()[0];
    EXPECT_EQ(office.ReadFile("Order.txt"), "earlier");
    EXPECT_FALSE(office.Exists("OrderItem.txt"));
  }
}

// The three files are put in place together: when one final name cannot be replaced, none of
// the earlier files changes and no hidden file is left.
TEST_F(PdbToTxtTest, AFileThatCannotBeReplacedChangesNone) {
  struct Case {
    std::string name;
    std::string blocked;
    bool folder;  // else an immutable file
  };
  const std::vector<Case> cases = {{"a folder named OrderItem.txt", "OrderItem.txt", true},
                                   {"an immutable Cash.txt", "Cash.txt", false}};
  MakeContainer(&kTwoOrders, &kFiveItems, &kTwoCash);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir out;
    window.state.edtDest = out.Str();
    window.reporter.entries.clear();
    for (const char* name : {"Order.txt", "OrderItem.txt", "Cash.txt"})
      if (name != c.blocked || !c.folder) out.WriteFile(name, "earlier");
    const std::string blocked = (out / c.blocked).string();
    if (c.folder) std::filesystem::create_directory(blocked);
    else if (std::system(("chattr +i '" + blocked + "' 2>/dev/null").c_str()) != 0) continue;  // not allowed here

    EXPECT_EQ(window.RunGuarded(Command::PdbToTxt), app::RunOutcome::Stopped);
    if (!c.folder) {
      EXPECT_EQ(std::system(("chattr -i '" + blocked + "'").c_str()), 0);
    }
    ASSERT_EQ(window.Texts().size(), 1u);
    EXPECT_NE(window.Texts()[0].find("cannot replace " + blocked), std::string::npos) << window.Texts()[0];
    for (const char* name : {"Order.txt", "OrderItem.txt", "Cash.txt"}) {
      if (name != c.blocked || !c.folder) {
        EXPECT_EQ(out.ReadFile(name), "earlier") << name;
      }
    }
    EXPECT_EQ(std::filesystem::is_directory(blocked), c.folder);
    EXPECT_TRUE(TemporaryFiles(out.Str()).empty()) << ::testing::PrintToString(out.List());
  }
}

TEST_F(PdbToTxtTest, UnpackFailureIsReportedWithItsCode) {
  office.WriteFile("Order.txt", "earlier");
  handheld.WriteFile("kestor_out.PDB", "not a palm database");
  EXPECT_EQ(window.Run(Command::PdbToTxt), ConversionResult::FailureReported);
  EXPECT_EQ(window.Texts(), std::vector<std::string>{"Ошибка при распаковке данных: 1004"});
  EXPECT_EQ(office.ReadFile("Order.txt"), "earlier");
}

TEST(TrimSourceDirectory, BlanksAndOneTrailingSeparatorGo) {
  EXPECT_EQ(convert::TrimSourceDirectory(" C:\\Palm\\ "), "C:\\Palm");
  EXPECT_EQ(convert::TrimSourceDirectory("/palm//"), "/palm/");
  EXPECT_EQ(convert::TrimSourceDirectory("/palm"), "/palm");
}

#ifdef VESTIBO_PROGRAM
TEST_F(PdbToTxtTest, ProgramRunsTheConversionWithoutADisplay) {
  MakeContainer(&kTwoOrders, &kFiveItems, nullptr);
  std::string out;
  EXPECT_EQ(RunProgram("pdbtotxt '" + handheld.Str() + "' '" + office.Str() + "' surplus", &out), 0);
  EXPECT_EQ(out, "");  // command mode shows no completion message
  EXPECT_EQ(office.ReadFile("OrderItem.txt"), kItemHeader + kFiveItemLines);
  EXPECT_TRUE(office.Exists("Order.txt"));
  EXPECT_FALSE(office.Exists("Cash.txt"));
}
#endif

}  // namespace
}  // namespace converttest
