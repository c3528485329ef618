#include "vekhost_registry_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "platform/unique_any.h"
#include "standin/registry_standin.h"
#include "support/reg_text.h"
#include "support/whole_file.h"
#include "vekhost_output.h"

namespace vekhost::registryfile {
namespace {

using Key = regtext::Tree::Key;

// Windows' own statuses for a registry it cannot read or write.
constexpr LSTATUS kRegistryCorrupt = 1015;   // ERROR_REGISTRY_CORRUPT
constexpr LSTATUS kRegistryIoFailed = 1016;  // ERROR_REGISTRY_IO_FAILED

// Reads the whole file. A missing file is no error: `exists` turns false and
// `text` empty. On failure sets `error`, naming `path`.
bool Read(const std::string& path, std::string& text, bool& exists, std::string& error) {
  text.clear();
  exists = false;
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) return true;
    error = path + ": cannot be read: " + std::strerror(errno);
    return false;
  }
  // Only a regular file is the registry's, refused as a folder is otherwise:
  // the writer replaces what it read, and must never replace a device.
  const wholefile::Result read = S_ISREG(status.st_mode)
                                     ? wholefile::Read(path, regtext::kMaxImportBytes, text)
                                     : wholefile::Result{wholefile::Outcome::kFolder};
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
  error = path + ": cannot be read: " + std::strerror(read.error);
  return false;
}

using UniqueFd = UniqueAny<int, &::close, -1>;

// Takes the exclusive turn of one writer of a file (links followed), which
// lasts while `turn` stays open: a lock on the file's folder, made first when
// it is missing. On failure sets `error`.
bool TakeWriterTurn(const std::string& file, UniqueFd& turn, std::string& error) {
  const std::filesystem::path parent = std::filesystem::path(file).parent_path();
  const std::string folder = parent.empty() ? std::string(".") : parent.string();
  std::error_code code;
  std::filesystem::create_directories(folder, code);
  if (code) {
    error = folder + ": cannot be created: " + code.message();
    return false;
  }
  *turn.put() = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (turn.get() < 0) {
    error = folder + ": cannot be opened: " + std::strerror(errno);
    return false;
  }
  while (::flock(turn.get(), LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    error = folder + ": cannot be locked: " + std::strerror(errno);
    return false;
  }
  return true;
}

// Makes the keys what the file says, in place: a handle keeps pointing at
// its key while the key stays in the file, and a key the file no longer has
// goes to `removed`, so its handles answer ERROR_KEY_DELETED.
void Sync(Key& mine, const Key& theirs, std::vector<std::unique_ptr<Key>>& removed) {
  mine.values = theirs.values;
  for (auto it = mine.children.begin(); it != mine.children.end();) {
    if (theirs.children.count(it->first) != 0) {
      ++it;
      continue;
    }
    removed.push_back(std::move(it->second));
    it = mine.children.erase(it);
  }
  for (const auto& [folded, child] : theirs.children) {
    Sync(mine.ChildCreating(child->name), *child, removed);
  }
}

class FileLayer final : public regstandin::Layer {
 public:
  // Reads the file afresh into the keys. A file that cannot be read or
  // parsed changes nothing, and is never written over.
  bool Refresh(regstandin::Keys& keys, std::string& error) const {
    std::string text;
    bool exists = false;
    if (!Read(named, text, exists, error)) return false;
    std::vector<regtext::Change> changes;  // none for a missing file
    regtext::ParseError problem;
    if (exists && !regtext::Parse(text, changes, problem)) {
      error = named + ":" + std::to_string(problem.line) + ": " + problem.problem;
      return false;
    }
    regtext::Tree fresh;
    fresh.Apply(changes);
    Sync(keys.tree.root(), fresh.root(), keys.removed);
    return true;
  }

  LSTATUS Around(regstandin::Call& call, regstandin::Keys& keys,
                 const std::function<LSTATUS()>& body) override {
    if (call.function == "RegCloseKey") return body();
    std::string error;
    UniqueFd turn;
    if (call.writes && !TakeWriterTurn(file, turn, error)) return Failed(error, kRegistryIoFailed);
    if (!Refresh(keys, error)) return Failed(error, kRegistryCorrupt);
    const LSTATUS status = body();
    if (!call.writes || status != ERROR_SUCCESS || !call.changed) return status;
    if (WriteWhole(file, keys.tree.Export(), error)) return status;
    // What did not reach the file did not happen.
    std::string ignored;
    Refresh(keys, ignored);
    return Failed(error, kRegistryIoFailed);
  }

  LSTATUS Failed(const std::string& error, LSTATUS status) {
    if (firstError.empty()) firstError = error;
    return status;
  }

  std::string named;       // as the user named it
  std::string file;        // with its links followed; empty while none is attached
  std::string firstError;  // the first failure to read or write it
};

FileLayer& TheLayer() {
  static FileLayer* const layer = new FileLayer;
  return *layer;
}

}  // namespace

bool Attach(const std::string& path, std::string& error) {
  regstandin::Reset();
  FileLayer& layer = TheLayer();
  layer.named = path;
  layer.file = FollowLinks(regtext::PathFromUtf8(path)).string();
  layer.firstError.clear();
  bool read = false;
  regstandin::WithKeys([&](regstandin::Keys& keys) { read = layer.Refresh(keys, error); });
  if (!read) {
    layer.file.clear();
    return false;
  }
  regstandin::SetLayer(&layer);
  return true;
}

bool Finish(std::string& error) {
  const FileLayer& layer = TheLayer();
  if (layer.file.empty()) return true;
  if (!layer.firstError.empty()) {
    error = layer.firstError;
    return false;
  }
  UniqueFd turn;
  if (!TakeWriterTurn(layer.file, turn, error)) return false;
  std::string text;
  bool exists = false;
  if (!Read(layer.named, text, exists, error)) return false;
  if (exists) return true;
  // Nothing was written during the session: the file starts with what the
  // registry holds (keys created by hand, by a test or nothing at all).
  regstandin::WithKeys([&](regstandin::Keys& keys) { text = keys.tree.Export(); });
  return WriteWhole(layer.file, text, error);
}

}  // namespace vekhost::registryfile
