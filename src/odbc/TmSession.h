// An ODBC environment (ODBC 3) per session object, and the process-wide default session.
#pragma once

#include <sql.h>

#include "odbc/TOdbcDriverManager.h"

namespace odbc {

class TmSession {
 public:
  // The session allocates its environment through `driverManager`, which must outlive it.
  explicit TmSession(TOdbcDriverManager& driverManager);
  // Releases the environment. Connections using it must have been disconnected before.
  ~TmSession();
  TmSession(const TmSession&) = delete;
  TmSession& operator=(const TmSession&) = delete;

  // The environment handle, allocated and set to ODBC 3 on the first call (binding the driver
  // manager before that); later calls return the same handle. Throws std::runtime_error
  // "Can`t allocate enviroument handle" or "Can`t set enviroument attribute"; after either the
  // session holds no environment and the next call starts over.
  SQLHENV Handle();
  bool HasEnvironment() const { return env_ != SQL_NULL_HENV; }

  TOdbcDriverManager& DriverManager() { return driverManager_; }
  // The entry points; valid once Handle() has succeeded.
  const TOdbcApi& Api() const { return driverManager_.Api(); }

 private:
  void Release();

  TOdbcDriverManager& driverManager_;
  SQLHENV env_ = SQL_NULL_HENV;
};

// The process-wide ODBC objects: the driver-manager binding and the default session. It is a
// function-local static, created on first use (which makes no ODBC call) and destroyed at
// program end after main() returns: the default session goes first, releasing its
// environment, then the driver-manager library is unloaded.
class TOdbcRuntime {
 public:
  static TOdbcRuntime& Instance();

  TOdbcDriverManager& DriverManager() { return driverManager_; }
  TmSession& DefaultSession() { return defaultSession_; }

 private:
  TOdbcRuntime() = default;

  TOdbcDriverManager driverManager_;  // declared first: destroyed last
  TmSession defaultSession_{driverManager_};
};

// The session used by every connection that names none of its own.
TmSession& DefaultSession();
// Binds the process-wide driver manager (see TOdbcDriverManager::Bind).
void BindDriverManager();

}  // namespace odbc
