// Helpers of the fault tests: the built program or a library call run in a child process under a
// file-size limit or killed at a random moment, snapshots of a directory, and checks that a
// file under its final name is whole.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace converttest {

// How a child process ended, with what it wrote on stdout and stderr (pipes, never limited).
struct ChildResult {
  bool exited = false;  // false: ended by a signal
  int code = -1;        // exit status when exited
  int signal = 0;       // the signal otherwise
  std::string out, err;
};

// Runs the built program with `args` without a display. With a limit, files it writes may not
// grow beyond `fileSizeLimit` bytes: SIGXFSZ is ignored, so write() fails with EFBIG instead.
ChildResult RunProgramLimited(const std::vector<std::string>& args, std::optional<rlim_t> fileSizeLimit);

// Starts the program (output discarded) and returns its process id, for killing it.
pid_t StartProgram(const std::vector<std::string>& args);
// Waits for a started program; true when it ended by itself with status 0.
bool WaitProgram(pid_t pid, ChildResult* result = nullptr);

// Runs `body` in a forked child under the file-size limit; what it returns comes back in `out`,
// an exception's text in `err` (exit code 1 then).
ChildResult RunInChild(std::optional<rlim_t> fileSizeLimit, const std::function<std::string()>& body);

// Every regular file of a directory (name -> bytes); subdirectories are listed as "<name>/".
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot(const std::string& dir);
// Names in the directory that are temporary files of an unfinished write: hidden names (a dot
// first) that end in ".tmp<pid>@<host>.<digits>" (the atomic writer) or ".pending" (text files not
// yet put in place).
std::vector<std::string> TemporaryFiles(const std::string& dir);
// True when `name` is the hidden temporary name of a write of some final file.
bool IsTemporaryName(const std::string& name);

// A large office export: `products` products in `categories` categories, `customers` customers and
// both note files, in `dir`. Product names are padded by `padding` characters to grow the files.
void WriteLargeOffice(const testsupport::TempDir& dir, int products, int customers, int padding = 0);
// Kestor_Out.pdb in `dir` with `orders` orders (three lines each) and as many cash receipts.
void WriteLargeContainer(const std::string& dir, int orders);

// The number of records of the product database in a Kestor_In.pdb, or nothing when the
// container does not unpack whole or its databases do not read.
std::optional<int> ProductsInContainer(const std::string& dir, const std::string& file);
// True when a document database reads whole through the data set.
bool DatabaseReads(const std::string& dir, const std::string& file);

}  // namespace converttest
