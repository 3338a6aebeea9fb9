#include "odbc/DynamicLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace odbc {

namespace {

#ifdef _WIN32
std::string SystemErrorText() {
  const DWORD code = GetLastError();
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = length ? std::string(text, length) : "System error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
  return result;
}
#else
// dlerror() hands out the text once and then forgets it, so it is read right after a failure.
std::string SystemErrorText() {
  const char* text = dlerror();
  return text ? std::string(text) : std::string("unknown dynamic loader error");
}
#endif

}  // namespace

DynamicLibrary::~DynamicLibrary() { Unload(); }

bool DynamicLibrary::Load(const std::string& name) {
  if (handle_) Unload();
#ifdef _WIN32
  handle_ = reinterpret_cast<void*>(LoadLibraryA(name.c_str()));
#else
  handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
  if (!handle_) lastError_ = SystemErrorText();
  return handle_ != nullptr;
}

void* DynamicLibrary::Resolve(const char* symbol) {
  if (!handle_) {
    lastError_ = "library not loaded";
    return nullptr;
  }
#ifdef _WIN32
  void* address = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), symbol));
#else
  dlerror();  // a symbol may legitimately be NULL; only a set error counts as failure
  void* address = dlsym(handle_, symbol);
#endif
  if (!address) lastError_ = SystemErrorText();
  return address;
}

bool DynamicLibrary::Unload() {
  if (!handle_) return true;
  void* handle = handle_;
  handle_ = nullptr;
#ifdef _WIN32
  const bool ok = FreeLibrary(static_cast<HMODULE>(handle)) != 0;
#else
  const bool ok = dlclose(handle) == 0;
#endif
  if (!ok) lastError_ = SystemErrorText();
  return ok;
}

}  // namespace odbc
