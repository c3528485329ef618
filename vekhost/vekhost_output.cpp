#include "vekhost_output.h"

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>
#include <utility>

#include "support/reg_text.h"

namespace vekhost {
namespace fs = std::filesystem;
namespace {

// As many links as the kernel follows before it gives up on a path.
constexpr int kMaxLinks = 40;

std::string ReasonOfErrno() { return errno != 0 ? std::strerror(errno) : "write failed"; }

// On failure sets `reason`.
std::FILE* Open(const fs::path& path, const char* mode, std::string& reason) {
  errno = 0;
  std::FILE* file = std::fopen(path.string().c_str(), mode);
  if (file == nullptr) reason = ReasonOfErrno();
  return file;
}

// Flushes what the stream holds and has the system put it on the disk, so
// that a crash after the rename cannot leave the new name on an empty file.
bool Synced(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return ::fsync(fileno(file)) == 0;
#endif
}

// Closes a file written, with `good`, so far, first down to the disk when
// `sync`; false, with the reason, when it was not good or is not now.
bool CloseChecked(std::FILE* file, bool good, std::string& reason, bool sync = false) {
  if (good && sync && !Synced(file)) {
    reason = ReasonOfErrno();
    good = false;
  }
  errno = 0;
  if (std::fclose(file) != 0 && good) {
    reason = ReasonOfErrno();
    return false;
  }
  return good;
}

// A name for a partial file that no other writer uses: random for each
// process, counted within it, and created only where no file is yet.
fs::path PartialOf(const fs::path& target) {
  static const unsigned processPart = std::random_device{}();
  static std::atomic<unsigned> counter{0};
  char suffix[32];
  (void)std::snprintf(suffix, sizeof suffix, ".vekhost-partial-%08x",
                      processPart + counter.fetch_add(1));
  return fs::path(target) += suffix;
}

// Creates the file for writing; fails with EEXIST where there is one already.
std::FILE* CreateNew(const fs::path& path) {
  errno = 0;
#ifdef _WIN32
  return std::fopen(path.string().c_str(), "wb");
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  std::FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "wb");
  if (file == nullptr && fd >= 0) ::close(fd);
  return file;
#endif
}

// A rename is only as durable as the folder that records it.
bool SyncFolderOf([[maybe_unused]] const fs::path& target, [[maybe_unused]] std::string& reason) {
#ifndef _WIN32
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool good = fd >= 0 && ::fsync(fd) == 0;
  if (!good) reason = ReasonOfErrno();
  if (fd >= 0) ::close(fd);
  return good;
#else
  return true;
#endif
}

// The new file beside the target, with the target's permission bits when it
// has any yet, set before a byte of the text is in it.
std::FILE* OpenPartial(Destination& destination, std::string& reason) {
  const fs::path& target = destination.target;
  const fs::path& partial = destination.partial;
  std::FILE* file = CreateNew(partial);
  while (file == nullptr && errno == EEXIST) {
    destination.partial = PartialOf(target);
    file = CreateNew(partial);
  }
  if (file == nullptr) {
    reason = ReasonOfErrno();
    return nullptr;
  }
  std::error_code code;
  const fs::file_status existing = fs::status(target, code);
  if (!code && fs::is_regular_file(existing)) {
    fs::permissions(partial, existing.permissions(), fs::perm_options::replace, code);
    if (code) {
      reason = code.message();
      (void)std::fclose(file);
      fs::remove(partial, code);
      return nullptr;
    }
  }
  return file;
}

bool Produce(const OutputFile& output, std::FILE* stream, std::string& reason) {
  const TextProducer fromText = [&output](const TextSink& sink) { return sink(output.text); };
  return WriteToStream(stream, output.produce ? output.produce : fromText, reason);
}

// Writes the file's text to its partial file, down to the disk; on failure
// gives the reason.
bool WritePartial(Destination& destination, const OutputFile& output, std::string& reason) {
  std::FILE* file = OpenPartial(destination, reason);
  return file != nullptr && CloseChecked(file, Produce(output, file, reason), reason, true);
}

bool WriteInPlace(const Destination& destination, const OutputFile& output, std::string& reason) {
  if (destination.kind == Destination::Kind::kStandardOutput)
    return Produce(output, stdout, reason);
  std::FILE* file = Open(destination.target, "wb", reason);
  return file != nullptr && CloseChecked(file, Produce(output, file, reason), reason);
}

void RemovePartial(const Destination& destination) {
  std::error_code ignored;
  fs::remove(destination.partial, ignored);
}

}  // namespace

fs::path FollowLinks(const fs::path& path) {
  fs::path current = path;
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    std::error_code code;
    if (!fs::is_symlink(current, code) || code) return current;
    const fs::path next = fs::read_symlink(current, code);
    if (code) return current;
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return path;
}

Destination DestinationOf(const std::string& path) {
  Destination destination;
  const fs::path named = regtext::PathFromUtf8(path);
  destination.target = FollowLinks(named);
  destination.partial = PartialOf(destination.target);
  std::error_code code;
  const fs::file_status status = fs::status(destination.target, code);
  // Standard output named as a file (/dev/stdout, /dev/fd/1, /proc/self/fd/1)
  // is written through this process's own stream, so that nothing is
  // truncated under the log or replaced behind the shell's redirection.
  if (fs::equivalent(named, "/dev/stdout", code) && !code) {
    destination.kind = Destination::Kind::kStandardOutput;
  } else if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status)) {
    destination.kind = Destination::Kind::kInPlace;
  }
  return destination;
}

bool SameFile(const std::string& first, const std::string& second) {
  const fs::path a = regtext::PathFromUtf8(first);
  const fs::path b = regtext::PathFromUtf8(second);
  std::error_code code;
  if (fs::equivalent(a, b, code) && !code) return true;  // hard links too
  std::error_code codeA;
  std::error_code codeB;
  const fs::path resolvedA = fs::weakly_canonical(fs::absolute(FollowLinks(a), codeA), codeA);
  const fs::path resolvedB = fs::weakly_canonical(fs::absolute(FollowLinks(b), codeB), codeB);
  return !codeA && !codeB && resolvedA == resolvedB;
}

bool WriteToStream(std::FILE* stream, const TextProducer& produce, std::string& reason) {
  errno = 0;
  bool good = produce([stream](std::string_view piece) {
    return std::fwrite(piece.data(), 1, piece.size(), stream) == piece.size();
  });
  good = std::fflush(stream) == 0 && good;
  if (!good) reason = ReasonOfErrno();
  return good;
}

bool CheckWritable(const std::string& path, std::string& error) {
  Destination destination = DestinationOf(path);
  std::error_code code;
  if (fs::is_directory(destination.target, code)) {
    error = path + ": cannot be written: it is a folder";
    return false;
  }
  std::string reason;
  bool good = true;
  switch (destination.kind) {
    case Destination::Kind::kStandardOutput:
      break;
    case Destination::Kind::kInPlace:
      // Opening a pipe for writing waits for its reader; the session's end
      // does that wait, not its start.
      if (!fs::is_fifo(destination.target, code)) {
        std::FILE* file = Open(destination.target, "ab", reason);
        good = file != nullptr && CloseChecked(file, true, reason);
      }
      break;
    case Destination::Kind::kReplace:
      // Writing the partial file is what the end of the session does first,
      // so trying it now is the one check that cannot disagree with it.
      good = WritePartial(destination, OutputFile{}, reason);
      RemovePartial(destination);
      break;
  }
  if (!good) error = path + ": cannot be written: " + reason;
  return good;
}

// A file never put in place was given up: its partial goes with it.
GrowingFile::~GrowingFile() {
  if (file_ == nullptr || file_ == stdout) return;
  (void)std::fclose(file_);
  if (destination_.kind == Destination::Kind::kReplace) RemovePartial(destination_);
}

bool GrowingFile::Open(const std::string& path, std::string& error) {
  path_ = path;
  destination_ = DestinationOf(path);
  std::string reason;
  switch (destination_.kind) {
    case Destination::Kind::kReplace:
      file_ = OpenPartial(destination_, reason);
      break;
    case Destination::Kind::kInPlace:
      file_ = vekhost::Open(destination_.target, "wb", reason);
      break;
    case Destination::Kind::kStandardOutput:
      file_ = stdout;
      break;
  }
  opened_ = file_ != nullptr;
  if (!opened_) error = path + ": cannot be written: " + reason;
  return opened_;
}

void GrowingFile::AppendLine(std::string_view line) {
  if (file_ == nullptr || !reason_.empty()) return;
  errno = 0;
  const bool good = std::fwrite(line.data(), 1, line.size(), file_) == line.size() &&
                    std::fputc('\n', file_) != EOF && std::fflush(file_) == 0;
  if (!good) reason_ = ReasonOfErrno();
}

bool GrowingFile::Close(std::string& reason) {
  std::FILE* const file = std::exchange(file_, nullptr);
  if (file == nullptr) return true;
  const bool good = file == stdout ? std::fflush(file) == 0 && reason_.empty()
                                   : CloseChecked(file, reason_.empty(), reason_,
                                                  destination_.kind == Destination::Kind::kReplace);
  if (!good) reason = reason_.empty() ? ReasonOfErrno() : reason_;
  return good;
}

bool WriteAllOrNone(const std::vector<OutputFile>& files, const std::vector<GrowingFile*>& grown,
                    std::string& error) {
  std::vector<Destination> destinations;
  destinations.reserve(files.size());
  for (const OutputFile& file : files) destinations.push_back(DestinationOf(file.path));
  // Each file to rename, with the path the user named it by.
  std::vector<std::pair<const Destination*, std::string>> partials;
  for (GrowingFile* file : grown) {
    if (file->opened_ && file->destination_.kind == Destination::Kind::kReplace) {
      partials.emplace_back(&file->destination_, file->path());
    }
  }
  // With one file alone, that it cannot be written says it all.
  const char* const none = files.size() + grown.size() > 1 ? " (no output file written)" : "";
  auto giveUp = [&](const std::string& path, const std::string& reason) {
    error = path + ": cannot be written: " + reason + none;
    for (const auto& [destination, named] : partials) RemovePartial(*destination);
    return false;
  };

  std::string reason;
  for (GrowingFile* file : grown) {
    if (!file->Close(reason)) return giveUp(file->path(), reason);
  }
  // Regular files first, beside their targets, so that a failure leaves
  // every user path as it was...
  for (size_t i = 0; i < files.size(); ++i) {
    if (destinations[i].kind != Destination::Kind::kReplace) continue;
    partials.emplace_back(&destinations[i], files[i].path);
    if (!WritePartial(destinations[i], files[i], reason)) return giveUp(files[i].path, reason);
  }
  // ...then what is written where it is...
  for (size_t i = 0; i < files.size(); ++i) {
    if (destinations[i].kind == Destination::Kind::kReplace) continue;
    if (!WriteInPlace(destinations[i], files[i], reason)) return giveUp(files[i].path, reason);
  }
  // ...and last the renames, which only fail on a folder changed meanwhile.
  for (size_t i = 0; i < partials.size(); ++i) {
    std::error_code code;
    fs::rename(partials[i].first->partial, partials[i].first->target, code);
    if (code) {
      error = partials[i].second + ": cannot be written: " + code.message();
      for (size_t j = i; j < partials.size(); ++j) RemovePartial(*partials[j].first);
      if (i > 0) error += " (written before it: " + std::to_string(i) + " of the files)";
      return false;
    }
  }
  for (const auto& [destination, named] : partials) {
    if (!SyncFolderOf(destination->target, reason)) {
      error = named;
      error += ": cannot be written: " + reason;
      return false;
    }
  }
  return true;
}

}  // namespace vekhost
