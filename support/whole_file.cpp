#include "support/whole_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace wholefile {
namespace {

constexpr std::size_t kBuffer = 1 << 16;

// Appends what `read` gives, a buffer at a time, until it gives nothing.
template <typename ReadSome>
Outcome ReadAll(ReadSome readSome, std::size_t limit, std::string& text) {
  char buffer[kBuffer];
  for (;;) {
    const std::size_t got = readSome(buffer, sizeof buffer);
    if (got == 0) return Outcome::kRead;
    if (got > limit - text.size()) return Outcome::kTooLarge;
    text.append(buffer, got);
  }
}

}  // namespace

std::string Result::SystemReason() const { return error != 0 ? std::strerror(error) : ""; }

Result Read(const std::filesystem::path& path, std::size_t limit, std::string& text) {
  text.clear();
  std::error_code code;
  // A folder opens for reading on Linux and fails only at the first read.
  if (std::filesystem::is_directory(path, code)) return {Outcome::kFolder, 0};
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    const int error = errno;
    if (!std::filesystem::exists(path, code) && !code) return {Outcome::kMissing, 0};
    return {Outcome::kFailed, error};
  }
  const Outcome outcome = ReadAll(
      [&in](char* buffer, std::size_t size) {
        in.read(buffer, static_cast<std::streamsize>(size));
        return static_cast<std::size_t>(in.gcount());
      },
      limit, text);
  if (outcome == Outcome::kRead && in.bad()) return {Outcome::kFailed, errno};
  return {outcome, 0};
}

Result Read(std::FILE* stream, std::size_t limit, std::string& text) {
  text.clear();
  errno = 0;
  const Outcome outcome = ReadAll(
      [stream](char* buffer, std::size_t size) { return std::fread(buffer, 1, size, stream); },
      limit, text);
  if (outcome == Outcome::kRead && std::ferror(stream) != 0) return {Outcome::kFailed, errno};
  return {outcome, 0};
}

}  // namespace wholefile
