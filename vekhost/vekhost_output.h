// vekhost's output files, put in place all together or not at all: each is
// written whole to a file of its own beside the user's path, every write
// checked, and only once all are written are they renamed over the user's
// paths. A reader of the user's path never sees half a file.
#pragma once

#include <string>
#include <vector>

namespace vekhost {

struct OutputFile {
  std::string path;  // as the user named it
  std::string text;
};

// Whether `path` can be written: its folder exists and takes a new file, and
// the path is no folder. Checked before the session, so that a typo in a
// path costs nothing typed. On failure sets `error`, naming the path.
bool CheckWritable(const std::string& path, std::string& error);

// Writes every file, or none. On failure sets `error`, naming the user's
// path and why, and leaves every user path as it was.
bool WriteAllOrNone(const std::vector<OutputFile>& files, std::string& error);

// The name a file is written under before it is renamed to `path`.
std::string PartialName(const std::string& path);

}  // namespace vekhost
