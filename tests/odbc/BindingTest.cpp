// Run-time binding of the driver manager and the session's environment.
#include <gtest/gtest.h>

#include "support/OdbcTestEnv.h"
#include "odbc/TmSession.h"
#include "odbc/TOdbcDriverManager.h"

namespace odbc {
namespace {

constexpr const char* kPostgresDriverLibrary = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so";

std::string BindError(TOdbcDriverManager& manager) {
  try {
    manager.Bind();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "(bound)";
}

TEST(DriverManagerBinding, LibraryThatCannotBeLoadedGivesTheSystemText) {
  TOdbcDriverManager manager({"libvestibo-no-such-library.so"});
  const std::string message = BindError(manager);
  // Only the loader's own text, which names the library.
  EXPECT_EQ(message.rfind("libvestibo-no-such-library.so", 0), 0u) << message;
  EXPECT_FALSE(manager.Bound());
  EXPECT_THROW(manager.Api(), std::logic_error);
}

// A library offering all entry points but one: this driver lacks SQLDrivers, a driver-manager
// function nothing here calls, and the binding must still refuse it.
TEST(DriverManagerBinding, MissingEntryPointIsNamedAndReportedAgainOnRetry) {
  TOdbcDriverManager manager({kPostgresDriverLibrary});
  const std::string message = BindError(manager);
  const std::string prefix = "Error Getting adress for SQLDrivers\r";
  ASSERT_EQ(message.rfind(prefix, 0), 0u) << message;
  EXPECT_NE(message.find("SQLDrivers", prefix.size()), std::string::npos) << "system text follows";
  EXPECT_EQ(message.find('\n'), std::string::npos);
  EXPECT_FALSE(manager.Bound());
  EXPECT_EQ(BindError(manager), message);
}

TEST(DriverManagerBinding, TriesTheNamesInOrderAndBindsOnce) {
  TOdbcDriverManager manager({"libvestibo-no-such-library.so", "libodbc.so.2"});
  manager.Bind();
  ASSERT_TRUE(manager.Bound());
  const TOdbcApi& api = manager.Api();
  EXPECT_NE(api.SQLAllocHandle, nullptr);
  EXPECT_NE(api.SQLMoreResults, nullptr);
  manager.Bind();  // nothing to do
  EXPECT_EQ(manager.Api().SQLAllocHandle, api.SQLAllocHandle);
  manager.Unload();
  EXPECT_FALSE(manager.Bound());
}

TEST(SessionEnvironment, AllocatedOnceAndReleasedWithTheSession) {
  odbctest::EnsureDriverRegistry();
  TOdbcDriverManager manager;
  {
    TmSession session(manager);
    EXPECT_FALSE(session.HasEnvironment());
    EXPECT_FALSE(manager.Bound()) << "nothing happens before the first Handle()";
    const SQLHENV env = session.Handle();
    ASSERT_NE(env, nullptr);
    EXPECT_TRUE(manager.Bound());
    EXPECT_EQ(session.Handle(), env);
  }
  // The environment is gone with the session, so the library may go too.
  manager.Unload();
}

TEST(SessionEnvironment, FailedBindingLeavesNoEnvironment) {
  TOdbcDriverManager manager({"libvestibo-no-such-library.so"});
  TmSession session(manager);
  EXPECT_THROW(session.Handle(), std::runtime_error);
  EXPECT_FALSE(session.HasEnvironment());
  EXPECT_THROW(session.Handle(), std::runtime_error);  // tried again, fails again
}

}  // namespace
}  // namespace odbc
