// The thin platform layer for run-time loading of shared libraries: load by name, resolve a
// symbol, unload, and the system's text for the last failure.
#pragma once

#include <string>

namespace odbc {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  // Unloads a library still held; a failure there is ignored (nothing can report it).
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads the library `name`. False on failure, with the system's text in LastErrorText().
  bool Load(const std::string& name);
  // The address of `symbol`, or nullptr with the system's text in LastErrorText().
  void* Resolve(const char* symbol);
  // Unloads the library (nothing to do when none is loaded). False on failure, with the text.
  bool Unload();

  bool Loaded() const { return handle_ != nullptr; }
  const std::string& LastErrorText() const { return lastError_; }

 private:
  void* handle_ = nullptr;
  std::string lastError_;
};

}  // namespace odbc
