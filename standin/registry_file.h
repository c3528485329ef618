// The file a Linux process keeps its HKEY_CURRENT_USER in, shared live by
// every process that names it, as Windows shares one user's registry: a
// value one process writes is what the next read of another returns.
//
// - Readers need no lock. A writer never changes the file in place: it
//   writes a new file beside it and renames that over it, so a reader opens
//   either the old file or the new one, each whole.
// - Writers take turns under an advisory lock (flock) on the file's folder,
//   which, unlike the file itself, is never replaced while someone waits for
//   it. Under the lock a writer reads the file afresh, changes only what it
//   came to change, and replaces the file.
// - The new file gets a name no other writer uses, is flushed to the disk
//   (fsync) before the rename, and the folder is flushed after it, so that a
//   crash leaves the old file or the new one. It is removed on every failure.
// - A symbolic link is followed: its target is replaced and the link stays.
// - The file keeps its permission bits; a new file gets 0666 less the umask.
#pragma once

#include <string>

namespace regfile {

// The file a path names once symbolic links are followed (up to 40 of them,
// as the kernel allows); the path itself when it is no link or the chain is
// broken or too long.
std::string ResolveLinks(const std::string& path);

// Reads the whole file. A missing file is no error: `exists` turns false and
// `text` empty. On failure sets `error`, naming `path`.
bool Read(const std::string& path, std::string& text, bool& exists, std::string& error);

// The exclusive turn of one writer of a file, for as long as it lives.
class WriterTurn {
 public:
  // Waits for the turn on the folder of `file` (a resolved path), creating
  // the folder first when it is missing. ok() says whether that worked;
  // error() then says why, naming the folder.
  explicit WriterTurn(const std::string& file);
  ~WriterTurn();
  WriterTurn(const WriterTurn&) = delete;
  WriterTurn& operator=(const WriterTurn&) = delete;

  bool ok() const { return folder_ >= 0; }
  const std::string& error() const { return error_; }

  // Replaces the file with `text` as described above. On failure sets
  // `error`, naming the file, and leaves the file as it was.
  bool Replace(const std::string& text, std::string& error);

 private:
  std::string file_;
  std::string folderPath_;
  int folder_ = -1;
  std::string error_;
};

}  // namespace regfile
