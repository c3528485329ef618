// vekhost's output files, put in place all together or not at all: each is
// written whole to a file of its own beside the user's path, every write
// checked, and only once all are written are they renamed over the user's
// paths. A reader of the user's path never sees half a file.
#pragma once

#include <cstdio>
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

// Writes what `produce` makes to `stream` and flushes it; on failure sets
// `reason`.
bool WriteToStream(std::FILE* stream, const TextProducer& produce, std::string& reason);

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
