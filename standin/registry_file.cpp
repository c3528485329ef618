#include "standin/registry_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/unique_any.h"
#include "support/reg_text.h"
#include "support/whole_file.h"

namespace regfile {
namespace {

// The kernel's own limit on the links one lookup follows.
constexpr int kMaxLinks = 40;

std::string Reason(int code) { return std::strerror(code); }

std::string FolderOf(const std::string& file) {
  const std::filesystem::path parent = std::filesystem::path(file).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

// Closes a descriptor when it goes, unless it was closed, checked, before.
using Descriptor = UniqueAny<int, &::close, -1>;

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = EIO;
      return false;
    }
    done += size_t(written);
  }
  return true;
}

// A name beside `file` that no other writer, in this process or another,
// is using: the process id and a counter, created exclusively.
int CreateTemporary(const std::string& file, std::string& name) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path target(file);
  for (;;) {
    name = (target.parent_path() /
            ("." + target.filename().string() + "." + std::to_string(::getpid()) + "." +
             std::to_string(counter++) + ".tmp"))
               .string();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
}

}  // namespace

std::string ResolveLinks(const std::string& path) {
  std::filesystem::path current(path);
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    std::error_code code;
    if (!std::filesystem::is_symlink(current, code) || code) return current.string();
    const std::filesystem::path next = std::filesystem::read_symlink(current, code);
    if (code) return current.string();
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return path;
}

bool Read(const std::string& path, std::string& text, bool& exists, std::string& error) {
  text.clear();
  exists = false;
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) return true;
    error = path + ": cannot be read: " + Reason(errno);
    return false;
  }
  // Only a regular file is the registry's: the writer replaces what it
  // read, and must never replace a device.
  if (!S_ISREG(status.st_mode)) {
    error = path + ": cannot be read: not a regular file";
    return false;
  }
  const wholefile::Result read = wholefile::Read(path, regtext::kMaxImportBytes, text);
  switch (read.outcome) {
    case wholefile::Outcome::kRead:
      exists = true;
      return true;
    case wholefile::Outcome::kMissing:  // removed since
      return true;
    case wholefile::Outcome::kTooLarge:
      // The parser gives the same bound its own error with a line number.
      error = path + ":1: the text is larger than " + std::to_string(regtext::kMaxImportBytes) +
              " bytes";
      return false;
    case wholefile::Outcome::kFolder:
      error = path + ": cannot be read: not a regular file";
      return false;
    case wholefile::Outcome::kFailed:
      break;
  }
  error = path + ": cannot be read: " + Reason(read.error);
  return false;
}

WriterTurn::WriterTurn(const std::string& file) : file_(file), folderPath_(FolderOf(file)) {
  std::error_code code;
  std::filesystem::create_directories(folderPath_, code);
  if (code) {
    error_ = folderPath_ + ": cannot be created: " + code.message();
    return;
  }
  folder_ = ::open(folderPath_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_ < 0) {
    error_ = folderPath_ + ": cannot be opened: " + Reason(errno);
    return;
  }
  int locked;
  do {
    locked = ::flock(folder_, LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    error_ = folderPath_ + ": cannot be locked: " + Reason(errno);
    ::close(folder_);
    folder_ = -1;
  }
}

WriterTurn::~WriterTurn() {
  // Closing the folder ends the turn.
  if (folder_ >= 0) ::close(folder_);
}

bool WriterTurn::Replace(const std::string& text, std::string& error) {
  if (!ok()) {
    error = error_;
    return false;
  }
  std::string temporary;
  Descriptor out(CreateTemporary(file_, temporary));
  if (out.get() < 0) {
    error = file_ + ": cannot be written: " + Reason(errno);
    return false;
  }
  auto fail = [&](int code) {
    ::unlink(temporary.c_str());
    error = file_ + ": cannot be written: " + Reason(code);
    return false;
  };
  struct stat existing {};
  if (::stat(file_.c_str(), &existing) == 0 && ::fchmod(out.get(), existing.st_mode & 07777) != 0) {
    return fail(errno);
  }
  if (!WriteAll(out.get(), text)) return fail(errno);
  if (::fsync(out.get()) != 0) return fail(errno);
  if (!out.Close()) return fail(errno);
  if (::rename(temporary.c_str(), file_.c_str()) != 0) return fail(errno);
  // The rename itself is only as durable as the folder that records it.
  if (::fsync(folder_) != 0) {
    error = folderPath_ + ": cannot be flushed: " + Reason(errno);
    return false;
  }
  return true;
}

}  // namespace regfile
