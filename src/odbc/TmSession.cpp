#include "odbc/TmSession.h"

#include <sqlext.h>

#include <stdexcept>

namespace odbc {

TmSession::TmSession(TOdbcDriverManager& driverManager) : driverManager_(driverManager) {}

TmSession::~TmSession() { Release(); }

SQLHENV TmSession::Handle() {
  if (env_ != SQL_NULL_HENV) return env_;
  driverManager_.Bind();
  const TOdbcApi& api = driverManager_.Api();

  SQLHANDLE env = SQL_NULL_HANDLE;
  if (api.SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env) != SQL_SUCCESS) {
    throw std::runtime_error("Can`t allocate enviroument handle");
  }
  env_ = static_cast<SQLHENV>(env);
  const SQLRETURN rc = api.SQLSetEnvAttr(
      env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3)), 0);
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
    Release();
    throw std::runtime_error("Can`t set enviroument attribute");
  }
  return env_;
}

void TmSession::Release() {
  if (env_ == SQL_NULL_HENV) return;
  // An unloaded driver manager took the environment with it; nothing is left to free.
  if (driverManager_.Bound()) driverManager_.Api().SQLFreeHandle(SQL_HANDLE_ENV, env_);
  env_ = SQL_NULL_HENV;
}

TOdbcRuntime& TOdbcRuntime::Instance() {
  static TOdbcRuntime runtime;
  return runtime;
}

TmSession& DefaultSession() { return TOdbcRuntime::Instance().DefaultSession(); }

void BindDriverManager() { TOdbcRuntime::Instance().DriverManager().Bind(); }

}  // namespace odbc
