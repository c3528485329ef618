// Reading a whole input within a size bound, as the scaffolding reads every file and stream: a
// buffer at a time, stopping once the bound is passed, so that no input is read whole before it
// is refused. Each reader words the outcome in its own messages.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>

namespace wholefile {

enum class Outcome {
  kRead,
  kMissing,   // no file at the path
  kFolder,    // the path is a folder
  kTooLarge,  // more than the bound
  kFailed,    // opening or reading failed: `error` says why
};

struct Result {
  Outcome outcome = Outcome::kRead;
  int error = 0;  // errno, for kFailed; 0 when the system gave no reason

  bool ok() const { return outcome == Outcome::kRead; }
  // The system's reason for kFailed ("" when it gave none).
  std::string SystemReason() const;
};

// Reads the file at `path` into `text`, at most `limit` bytes.
Result Read(const std::filesystem::path& path, std::size_t limit, std::string& text);
// Reads `stream` to its end into `text`, at most `limit` bytes.
Result Read(std::FILE* stream, std::size_t limit, std::string& text);

}  // namespace wholefile
