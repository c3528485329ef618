// vekhost's registry on Linux: the registry stand-in kept in a file, shared
// live by every process that names it, as Windows shares one user's
// registry: a value one process writes is what the next read of another
// returns. A layer around the stand-in's calls (standin/registry_standin.h):
//
// - Every Win32 call but RegCloseKey reads the file afresh. Readers need no
//   lock: the file is never changed in place but replaced whole (WriteWhole,
//   vekhost_output.h), so a reader opens either the old file or the new one.
// - RegSetValueExW, RegDeleteValueW and RegCreateKeyExW take turns under an
//   advisory lock (flock) on the file's folder, which, unlike the file
//   itself, is never replaced while someone waits for it. Under the lock the
//   call reads the file afresh, changes only what it came to change, and
//   replaces the file before returning when it changed something.
// - A file that cannot be read, parsed or written turns the call into
//   ERROR_REGISTRY_CORRUPT or ERROR_REGISTRY_IO_FAILED, and is left as it is;
//   what did not reach the file did not happen. A missing file is an empty
//   registry. Only a regular file is the registry's.
#pragma once

#include <string>

namespace vekhost::registryfile {

// Resets the registry and keeps it in the file from now until the registry
// is reset again. Fails, and attaches nothing, when the file cannot be read
// or parsed; the error reads "<path>:<line>: <problem>" or "<path>: cannot
// be read: <reason>".
bool Attach(const std::string& path, std::string& error);

// At the end of a session: creates the attached file when nothing wrote it,
// and reports the first failure any call met reading or writing it.
bool Finish(std::string& error);

}  // namespace vekhost::registryfile
