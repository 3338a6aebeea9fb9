// What the ODBC error dialog shows, without the dialog: the diagnostic records of one ODBC error,
// one at a time, with Back and Next to walk through them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace app {

// One diagnostic record as the driver returned it.
struct ODBCDiagnosticRecord {
  std::string SQLState;
  std::int32_t NativeError = 0;
  std::string Message;
};

class ODBCErrorDialogModel {
 public:
  // Takes one error to show and starts on its first record. `message` is shown when there are
  // no records (an error raised with a message only).
  void Begin(std::vector<ODBCDiagnosticRecord> records, std::string message);
  // Forgets the error (the dialog closed).
  void End();
  // True between Begin and End: a second error is then not shown in the dialog.
  bool Showing() const { return showing_; }

  void Back();
  void Next();

  std::size_t Index() const { return index_; }
  bool BackEnabled() const { return index_ > 0; }
  bool NextEnabled() const { return !records_.empty() && index_ + 1 < records_.size(); }
  // The shown record as "SQLSTATE:text", or the error's message when it has no records.
  std::string Text() const;

 private:
  std::vector<ODBCDiagnosticRecord> records_;
  std::string message_;
  std::size_t index_ = 0;
  bool showing_ = false;
};

}  // namespace app
