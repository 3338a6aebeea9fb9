#include "odbc/TOdbcDriverManager.h"

#include <stdexcept>

namespace odbc {

namespace {

// Counts the table's entries, so that the macro list and the stated count cannot drift apart.
constexpr int CountEntryPoints() {
  int count = 0;
#define VESTIBO_ODBC_COUNT(name) ++count;
  VESTIBO_ODBC_ENTRY_POINTS(VESTIBO_ODBC_COUNT)
#undef VESTIBO_ODBC_COUNT
  return count;
}
static_assert(CountEntryPoints() == TOdbcDriverManager::kEntryPointCount);

}  // namespace

std::vector<std::string> TOdbcDriverManager::PlatformLibraryNames() {
#ifdef _WIN32
  return {"ODBC32.DLL"};
#else
  return {"libodbc.so.2", "libodbc.so"};
#endif
}

TOdbcDriverManager::TOdbcDriverManager(std::vector<std::string> libraryNames)
    : libraryNames_(std::move(libraryNames)) {}

void TOdbcDriverManager::Bind() {
  if (bound_) return;
  bool loaded = false;
  for (const std::string& name : libraryNames_) {
    if (library_.Load(name)) {
      loaded = true;
      break;
    }
  }
  if (!loaded) {
    const std::string text = libraryNames_.empty() ? "no driver manager library named"
                                                   : library_.LastErrorText();
    throw std::runtime_error(text);
  }

  TOdbcApi table;
  auto resolve = [this](const char* name) -> void* {
    void* address = library_.Resolve(name);
    if (!address) {
      const std::string text = "Error Getting adress for " + std::string(name) + "\r" +
                               library_.LastErrorText();
      library_.Unload();
      throw std::runtime_error(text);
    }
    return address;
  };
#define VESTIBO_ODBC_RESOLVE(name) \
  table.name = reinterpret_cast<decltype(table.name)>(resolve(#name));
  VESTIBO_ODBC_ENTRY_POINTS(VESTIBO_ODBC_RESOLVE)
#undef VESTIBO_ODBC_RESOLVE
  api_ = table;
  bound_ = true;
}

const TOdbcApi& TOdbcDriverManager::Api() const {
  if (!bound_) throw std::logic_error("ODBC driver manager is not bound");
  return api_;
}

void TOdbcDriverManager::Unload() {
  bound_ = false;
  api_ = TOdbcApi{};
  if (!library_.Unload()) throw std::runtime_error(library_.LastErrorText());
}

}  // namespace odbc
