// Builders and readers for the conversion tests: office text files in Windows-1251, handheld
// document databases written through the Palm database data set and packed with the packer,
// containers unpacked with the project's own unpacker and read back through the data set.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/ConversionRun.h"
#include "convert/Conversion.h"
#include "core/DateTime.h"
#include "pdb/PDBDataGlobals.h"
#include "support/RecordingReporter.h"
#include "HandheldDocuments.h"
#include "support/TempDir.h"

namespace converttest {

// A text file of the office: the UTF-8 lines converted to Windows-1251, each ending in CR LF.
void WriteOfficeFile(const testsupport::TempDir& dir, std::string_view name, const std::vector<std::string>& lines);
// A file's bytes converted from Windows-1251 to UTF-8.
std::string ReadOfficeFile(const testsupport::TempDir& dir, std::string_view name);

using FieldList = std::vector<std::pair<std::string, pdb::TPDBPSFieldType>>;

// A database as read back: its header values and one line per record, the values as the data
// set shows them (texts in UTF-8) joined by "|".
struct DatabaseContent {
  std::string name, type, creator;
  std::vector<std::string> records;
};
DatabaseContent ReadDatabase(const std::string& dir, const std::string& fileName, const FieldList& fields);

// Unpacks `containerDir`/`containerFile` into `outDir` with the project's unpacker; the code.
int Unpack(const std::string& containerDir, std::string_view containerFile, const std::string& outDir);

// Document records as a handheld sends them, texts in UTF-8.
using TestOrder = samples::Order;
using TestOrderItem = samples::OrderLine;
using TestCash = samples::CashReceipt;
// The document databases a handheld uploads, in `dir`; a null pointer leaves that one out.
void WriteDocuments(const std::string& dir, const std::vector<TestOrder>* orders,
                    const std::vector<TestOrderItem>* items, const std::vector<TestCash>* cash);
// Packs the given database files of `sourceDir` into `outDir`/Kestor_Out.pdb.
void PackContainer(const std::string& sourceDir, const std::vector<std::string>& files, const std::string& outDir);

// The window's state and objects with a recording reporter, for running conversions.
struct Window {
  convert::MainFormState state;
  testsupport::RecordingReporter reporter;
  convert::MainFormObjects objects;
  convert::ConversionResult Run(app::Command command);
  // Run through the central error display, as the window and the console do.
  app::RunOutcome RunGuarded(app::Command command);
  // The texts shown, errors included.
  std::vector<std::string> Texts() const { return reporter.Texts(); }
};

// Runs the built program without a display; its exit code.
int RunProgram(const std::string& arguments, std::string* out = nullptr, std::string* err = nullptr);

}  // namespace converttest
