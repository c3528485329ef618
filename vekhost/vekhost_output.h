// vekhost's output files, and its registry file, written as one writer
// writes them all, with the guarantees a user expects of a redirection in a
// shell and of an editor's save:
// - A regular file (or a new one) is written whole to a file of its own
//   beside it, flushed to the disk (fsync) and only then renamed over it, and
//   the folder is flushed after the rename: a reader, or a crash, finds the
//   old file or the new one, never half a file. A symbolic link is followed:
//   its target is replaced and the link stays. The file keeps its permission
//   bits; a new one gets 0666 less the umask.
// - What is no regular file (a device such as /dev/null, a pipe, a terminal,
//   /dev/stdout) is written where it is, as a shell's `>` would, every write
//   checked: /dev/full fails as it should.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vekhost {

// Takes the next piece of a text being written; false when it cannot be
// written, which ends the writing.
using TextSink = std::function<bool(std::string_view piece)>;

// Writes a text a piece at a time to the sink it is given; false when the
// sink refused a piece.
using TextProducer = std::function<bool(const TextSink& sink)>;

struct OutputFile {
  std::string path;  // as the user named it
  std::string text;
  // A file too large to be made in memory first (the result drawing) is
  // written by this instead of from `text`.
  TextProducer produce;
};

// How writing a path reaches it.
struct Destination {
  enum class Kind {
    kReplace,         // a regular file or a new one: written beside, renamed over
    kInPlace,         // a device or a pipe: written where it is
    kStandardOutput,  // this process's own standard output, by whatever name
  };
  Kind kind = Kind::kReplace;
  std::filesystem::path target;  // the path once symbolic links are followed
  // Where a replacing write goes first, beside the target under a name of
  // this writer's own (TARGET.vekhost-partial-XXXXXXXX, created only where no
  // file is yet): two writers of one path, in one process or two, never
  // write into, or rename away, each other's file.
  std::filesystem::path partial;
};
Destination DestinationOf(const std::string& path);

// The path once its symbolic links are followed (up to 40, as the kernel
// allows); where the chain is broken the last link's target is where the
// file will be made, and a chain too long gives the path itself.
std::filesystem::path FollowLinks(const std::filesystem::path& path);

// Whether two paths name one file, by any spelling or link, the file there
// already or still to be made.
bool SameFile(const std::string& first, const std::string& second);

// Writes what `produce` makes to `stream` and flushes it; on failure sets
// `reason`.
bool WriteToStream(std::FILE* stream, const TextProducer& produce, std::string& reason);

// Whether `path` can be written as the end of the session will write it.
// Checked before the session, so that a typo in a path costs nothing typed.
// On failure sets `error`, naming the path.
bool CheckWritable(const std::string& path, std::string& error);

// A file written a line at a time as the session goes (the record and the
// log), each line flushed, so that what was typed survives however the
// session ends. A regular file grows beside the user's path and is put in
// place with the other outputs; when the process is killed outright, what
// was written waits in its partial file (Destination::partial).
class GrowingFile {
 public:
  GrowingFile() = default;
  ~GrowingFile();
  GrowingFile(const GrowingFile&) = delete;
  GrowingFile& operator=(const GrowingFile&) = delete;

  // On failure sets `error`, naming the path.
  bool Open(const std::string& path, std::string& error);
  const std::string& path() const { return path_; }
  // Appends `line` and a line end. The first failure is kept for Finish.
  void AppendLine(std::string_view line);

 private:
  friend bool WriteAllOrNone(const std::vector<OutputFile>&, const std::vector<GrowingFile*>&,
                             std::string&);
  // Closes the file; false, with the reason, when any of it was lost.
  bool Close(std::string& reason);

  std::string path_;
  Destination destination_;
  std::FILE* file_ = nullptr;
  bool opened_ = false;
  std::string reason_;  // why a line was lost
};

// Writes every file, and puts the grown files in place, or none of them
// (devices and pipes, written where they are, cannot be taken back). On
// failure sets `error`, naming the user's path and why, and leaves every
// regular file at a user path as it was.
bool WriteAllOrNone(const std::vector<OutputFile>& files, const std::vector<GrowingFile*>& grown,
                    std::string& error);

// One file on its own (the registry file): "PATH: cannot be written: reason".
inline bool WriteWhole(const std::string& path, const std::string& text, std::string& error) {
  return WriteAllOrNone({OutputFile{path, text, {}}}, {}, error);
}

}  // namespace vekhost
