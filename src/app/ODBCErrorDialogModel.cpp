#include "app/ODBCErrorDialogModel.h"

namespace app {

void ODBCErrorDialogModel::Begin(std::vector<ODBCDiagnosticRecord> records, std::string message) {
  records_ = std::move(records);
  message_ = std::move(message);
  index_ = 0;
  showing_ = true;
}

void ODBCErrorDialogModel::End() {
  records_.clear();
  message_.clear();
  index_ = 0;
  showing_ = false;
}

void ODBCErrorDialogModel::Back() {
  if (BackEnabled()) --index_;
}

void ODBCErrorDialogModel::Next() {
  if (NextEnabled()) ++index_;
}

std::string ODBCErrorDialogModel::Text() const {
  if (records_.empty()) return message_;
  const ODBCDiagnosticRecord& record = records_[index_];
  return record.SQLState + ":" + record.Message;
}

}  // namespace app
