#include "FaultTestUtil.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "ConversionTestUtil.h"
#include "convert/HandheldDatabases.h"
#include "pdb/PDBDataSet.h"

namespace converttest {
namespace fs = std::filesystem;
namespace {

void LimitFileSize(std::optional<rlim_t> limit) {
  if (!limit) return;
  ::signal(SIGXFSZ, SIG_IGN);
  const rlimit value{*limit, *limit};
  if (::setrlimit(RLIMIT_FSIZE, &value) != 0) ::_exit(120);
}

// Reads both pipes to their end without letting either fill up.
void Drain(int outFd, int errFd, std::string& out, std::string& err) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open = 2;
  char buffer[4096];
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

void Collect(pid_t pid, ChildResult& result) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exited = WIFEXITED(status);
  result.code = result.exited ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

std::vector<char*> Argv(const std::vector<std::string>& args, std::vector<std::string>& storage) {
#ifdef VESTIBO_PROGRAM
  storage.assign(1, VESTIBO_PROGRAM);
#else
  storage.assign(1, "vestibo");
#endif
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);
  return argv;
}

// In the child: no display, so the program runs the command on the console.
[[noreturn]] void ExecProgram(char* const* argv) {
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  ::execv(argv[0], argv);
  ::_exit(127);
}

}  // namespace

ChildResult RunProgramLimited(const std::vector<std::string>& args, std::optional<rlim_t> fileSizeLimit) {
  std::vector<std::string> storage;
  std::vector<char*> argv = Argv(args, storage);
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    const int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
    ::close(out[0]);
    ::close(err[0]);
    LimitFileSize(fileSizeLimit);
    ExecProgram(argv.data());
  }
  ::close(out[1]);
  ::close(err[1]);
  ChildResult result;
  Drain(out[0], err[0], result.out, result.err);
  Collect(pid, result);
  return result;
}

pid_t StartProgram(const std::vector<std::string>& args) {
  std::vector<std::string> storage;
  std::vector<char*> argv = Argv(args, storage);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int devNull = ::open("/dev/null", O_RDWR);
    if (devNull >= 0) {
      ::dup2(devNull, STDIN_FILENO);
      ::dup2(devNull, STDOUT_FILENO);
      ::dup2(devNull, STDERR_FILENO);
    }
    ExecProgram(argv.data());
  }
  return pid;
}

bool WaitProgram(pid_t pid, ChildResult* result) {
  ChildResult local;
  ChildResult& r = result ? *result : local;
  Collect(pid, r);
  return r.exited && r.code == 0;
}

ChildResult RunInChild(std::optional<rlim_t> fileSizeLimit, const std::function<std::string()>& body) {
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::close(out[0]);
    ::close(err[0]);
    LimitFileSize(fileSizeLimit);
    int code = 0;
    std::string text, error;
    try {
      text = body();
    } catch (const std::exception& e) {
      error = e.what();
      code = 1;
    } catch (...) {
      error = "unknown exception";
      code = 1;
    }
    // Pipes are not limited by the file size; _exit skips the test framework's exit handlers.
    (void)!::write(out[1], text.data(), text.size());
    (void)!::write(err[1], error.data(), error.size());
    ::_exit(code);
  }
  ::close(out[1]);
  ::close(err[1]);
  ChildResult result;
  Drain(out[0], err[0], result.out, result.err);
  Collect(pid, result);
  return result;
}

Snapshot TakeSnapshot(const std::string& dir) {
  Snapshot files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_directory()) {
      files[name + "/"] = "";
      continue;
    }
    std::ifstream in(entry.path(), std::ios::binary);
    files[name] = std::string(std::istreambuf_iterator<char>(in), {});
  }
  return files;
}

bool IsTemporaryName(const std::string& name) {
  static const std::regex pattern(R"(\..+\.(tmp[0-9]+@[A-Za-z0-9_-]+\.[0-9]+|pending))");
  return std::regex_match(name, pattern);
}

std::vector<std::string> TemporaryFiles(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (IsTemporaryName(name)) names.push_back(name);
  }
  return names;
}

void WriteLargeOffice(const testsupport::TempDir& dir, int products, int customers, int padding) {
  const std::string pad(static_cast<std::size_t>(padding), 'x');
  std::string text = "Id;IdCategory;Code;Name;Fullname;Ed;Standard;Quantity;Price1;Price2;Price3;Price4\r\n";
  for (int i = 1; i <= products; ++i) {
    const std::string n = std::to_string(i);
    text += n + ";" + std::to_string(i % 40 + 1) + ";P" + n + ";Product " + n + pad + ";Full name of product " + n +
            pad + ";pc;1;" + std::to_string(i % 97) + ";12.5;13,25;14;15.75\r\n";
  }
  dir.WriteFile("product.txt", text);
  text = "Id;IdParent;Name\r\n";
  for (int i = 1; i <= 40; ++i)
    text += std::to_string(i) + ";" + std::to_string(i <= 8 ? 0 : i % 8 + 1) + ";Category " + std::to_string(i) + "\r\n";
  dir.WriteFile("category.txt", text);
  text = "Id;Code;Name;Address;Currentsaldo;nPrice;PercentDiscount\r\n";
  for (int i = 1; i <= customers; ++i) {
    const std::string n = std::to_string(i);
    text += n + ";C" + n + ";Customer " + n + pad + ";Street " + n + pad + ";" + std::to_string(i * 3) + ",5;" +
            std::to_string(i % 4 + 1) + ";2.5\r\n";
  }
  dir.WriteFile("customer.txt", text);
  dir.WriteFile("note1.txt", "Name\r\nCall first\r\nDeliver before noon\r\n");
  dir.WriteFile("note2.txt", "Name\r\nCash only\r\n");
}

void WriteLargeContainer(const std::string& dir, int orders) {
  std::vector<TestOrder> o;
  std::vector<TestOrderItem> items;
  std::vector<TestCash> cash;
  const core::TDateTime day = *core::TDateTime::FromDate(2024, 3, 5);
  // Long decimals and large numbers make the text lines longer than the database records, so
  // that a file-size limit can fall between the databases and the text files.
  for (int i = 1; i <= orders; ++i) {
    const int customer = 1000000 + i % 50;
    o.push_back({i, customer, day, day, "09:40", 1000000, 100.5 + i / 7.0, 3, 1, 1.0 / 3, "Note " + std::to_string(i),
                 "", ""});
    for (int k = 0; k < 3; ++k) items.push_back({i, 1000000 + k, (k + 1) / 3.0, 45.9 + i / 7.0});
    cash.push_back({i, customer, day, 1, 1.0 / 3, 10.25 * i / 7.0, 10.25 * i / 3.0, "Receipt " + std::to_string(i)});
  }
  testsupport::TempDir work;
  WriteDocuments(work.Str(), &o, &items, &cash);
  PackContainer(work.Str(), {"Kestor_OrderDb.pdb", "Kestor_OrderItemDb.pdb", "Kestor_CashDb.pdb"}, dir);
}

namespace {
std::optional<int> CountRecords(const std::string& dir, const convert::HandheldDatabase& db) {
  try {
    pdb::TPDBDataSet pt;
    convert::PrepareDataSet(pt, dir, db);
    pt.Open();
    int records = 0;
    for (; !pt.Eof(); pt.Next()) {
      for (int i = 0; i < pt.FieldCount(); ++i) (void)pt.Fields(i).AsString();
      ++records;
    }
    return records;  // destroyed open: nothing is written back
  } catch (const std::exception&) {
    return std::nullopt;
  }
}
}  // namespace

std::optional<int> ProductsInContainer(const std::string& dir, const std::string& file) {
  testsupport::TempDir unpacked;
  try {
    if (Unpack(dir, file, unpacked.Str()) != 0) return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
  for (const convert::HandheldDatabase* db : {&convert::kProductIndexDB, &convert::kCategoryDB, &convert::kProdCatIndexDB,
                                          &convert::kCustomerDB, &convert::kCustomerIndexDB})
    if (!CountRecords(unpacked.Str(), *db)) return std::nullopt;
  return CountRecords(unpacked.Str(), convert::kProductDB);
}

bool DatabaseReads(const std::string& dir, const std::string& file) {
  for (const convert::HandheldDatabase* db : {&convert::kOrderDb, &convert::kOrderItemDb, &convert::kCashDb, &convert::kProductDB,
                                          &convert::kCategoryDB, &convert::kCustomerDB, &convert::kNote1DB, &convert::kNote2DB,
                                          &convert::kProductIndexDB, &convert::kProdCatIndexDB, &convert::kCustomerIndexDB})
    if (db->fileName == file) return CountRecords(dir, *db).has_value();
  return false;
}

}  // namespace converttest
