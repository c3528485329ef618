#include "vekhost_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vekhost {
namespace {

std::string Reason(int code) { return std::strerror(code); }

// Writes the file's text to `name`; on failure gives the reason.
bool WriteWhole(const std::string& name, const OutputFile& output, std::string& reason) {
  errno = 0;
  std::FILE* file = std::fopen(name.c_str(), "wb");
  if (file == nullptr) {
    reason = Reason(errno);
    return false;
  }
  const TextProducer fromText = [&output](const TextSink& sink) { return sink(output.text); };
  bool good = WriteToStream(file, output.produce ? output.produce : fromText, reason);
  errno = 0;
  if (std::fclose(file) != 0 && good) {
    good = false;
    reason = errno != 0 ? Reason(errno) : "write failed";
  }
  return good;
}

void RemoveQuietly(const std::string& name) {
  std::error_code ignored;
  std::filesystem::remove(name, ignored);
}

}  // namespace

bool WriteToStream(std::FILE* stream, const TextProducer& produce, std::string& reason) {
  errno = 0;
  bool good = produce([stream](std::string_view piece) {
    return std::fwrite(piece.data(), 1, piece.size(), stream) == piece.size();
  });
  good = std::fflush(stream) == 0 && good;
  if (!good) reason = errno != 0 ? Reason(errno) : "write failed";
  return good;
}

std::string PartialName(const std::string& path) { return path + ".vekhost-partial"; }

bool CheckWritable(const std::string& path, std::string& error) {
  std::error_code code;
  if (std::filesystem::is_directory(path, code)) {
    error = path + ": cannot be written: it is a folder";
    return false;
  }
  // Writing the partial file is what the end of the session does first, so
  // trying it now is the one check that cannot disagree with it.
  const std::string probe = PartialName(path);
  std::string reason;
  const bool good = WriteWhole(probe, OutputFile{}, reason);
  RemoveQuietly(probe);
  if (!good) error = path + ": cannot be written: " + reason;
  return good;
}

bool WriteAllOrNone(const std::vector<OutputFile>& files, std::string& error) {
  size_t written = 0;
  std::string reason;
  for (; written < files.size(); ++written) {
    if (!WriteWhole(PartialName(files[written].path), files[written], reason)) break;
  }
  if (written < files.size()) {
    error = files[written].path + ": cannot be written: " + reason + " (no output file written)";
    for (size_t i = 0; i <= written; ++i) RemoveQuietly(PartialName(files[i].path));
    return false;
  }
  for (size_t i = 0; i < files.size(); ++i) {
    std::error_code code;
    std::filesystem::rename(PartialName(files[i].path), files[i].path, code);
    if (code) {
      error = files[i].path + ": cannot be written: " + code.message();
      for (size_t j = i; j < files.size(); ++j) RemoveQuietly(PartialName(files[j].path));
      if (i > 0) error += " (written before it: " + std::to_string(i) + " of the files)";
      return false;
    }
  }
  return true;
}

}  // namespace vekhost
