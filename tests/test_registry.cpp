#include "tests/test_registry.h"

#include <cstdio>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <utility>

#include "support/utf.h"

namespace testreg {
namespace {

using Path = std::vector<std::u16string>;

// The faults and the log, around every call of the stand-in.
struct Faults final : regstandin::Layer {
  void Enter(const char* function) override {
    std::lock_guard<std::mutex> lock(mutex);
    if (quiet || throwCountdown == 0) return;
    if (!throwFunction.empty() && throwFunction != function) return;
    if (--throwCountdown == 0) throw std::bad_alloc();
  }

  LSTATUS Around(regstandin::Call& call, regstandin::Keys& /*keys*/,
                 const std::function<LSTATUS()>& body) override {
    call.status = body();
    std::lock_guard<std::mutex> lock(mutex);
    if (!quiet) log.push_back(call);
    return call.status;
  }

  bool Refuses(const Path& path, Operation operation) override {
    std::lock_guard<std::mutex> lock(mutex);
    return !quiet && refusals.count({regtext::FoldName(regtext::Join(path)), operation}) != 0;
  }

  std::mutex mutex;
  bool quiet = false;
  std::set<std::pair<std::u16string, Operation>> refusals;
  std::vector<LogEntry> log;
  std::size_t throwCountdown = 0;  // 0: nothing armed
  std::string throwFunction;
};

Faults& TheFaults() {
  static Faults* const faults = new Faults;
  return *faults;
}

// Installed by Reset, or by the first use after the stand-in's own Reset.
Faults& Installed() {
  regstandin::SetLayer(&TheFaults());
  return TheFaults();
}

// The layer standing aside while a helper seeds or reads.
class Quiet {
 public:
  Quiet() { Set(true); }
  ~Quiet() { Set(false); }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;

 private:
  static void Set(bool quiet) {
    Faults& faults = TheFaults();
    std::lock_guard<std::mutex> lock(faults.mutex);
    faults.quiet = quiet;
  }
};

Path PartsOrThrow(std::u16string_view path) {
  Path parts;
  if (regtext::SplitPath(path, parts) != regtext::PathProblem::kNone) {
    throw std::invalid_argument("test registry: invalid key path");
  }
  return parts;
}

void Check(LSTATUS status, const char* what) {
  if (status != ERROR_SUCCESS) {
    throw std::invalid_argument(std::string("test registry: ") + what + " failed with " +
                                std::to_string(status));
  }
}

}  // namespace

void Reset() {
  regstandin::Reset();
  Faults& faults = Installed();
  std::lock_guard<std::mutex> lock(faults.mutex);
  faults.quiet = false;
  faults.refusals.clear();
  faults.log.clear();
  faults.throwCountdown = 0;
  faults.throwFunction.clear();
}

void Refuse(std::u16string_view path, Operation operation) {
  const Path parts = PartsOrThrow(path);
  Faults& faults = Installed();
  std::lock_guard<std::mutex> lock(faults.mutex);
  faults.refusals.emplace(regtext::FoldName(regtext::Join(parts)), operation);
}

void Allow(std::u16string_view path, Operation operation) {
  const Path parts = PartsOrThrow(path);
  Faults& faults = Installed();
  std::lock_guard<std::mutex> lock(faults.mutex);
  faults.refusals.erase({regtext::FoldName(regtext::Join(parts)), operation});
}

void ThrowOnCall(std::size_t nth, std::string_view function) {
  Faults& faults = Installed();
  std::lock_guard<std::mutex> lock(faults.mutex);
  faults.throwCountdown = nth;
  faults.throwFunction = function;
}

std::vector<LogEntry> Log() {
  Faults& faults = Installed();
  std::lock_guard<std::mutex> lock(faults.mutex);
  return faults.log;
}

void ClearLog() {
  Faults& faults = Installed();
  std::lock_guard<std::mutex> lock(faults.mutex);
  faults.log.clear();
}

std::string Describe(const LogEntry& entry) {
  std::string line = entry.function + " " + utf::ToUtf8(entry.path);
  const bool valueCall = entry.function == "RegQueryValueExW" ||
                         entry.function == "RegSetValueExW" || entry.function == "RegDeleteValueW";
  if (valueCall) {
    line += " " + (entry.valueName.empty() ? std::string("@") : utf::ToUtf8(entry.valueName));
  }
  if (entry.text) line += "=" + regtext::Quote(*entry.text);
  if (entry.function == "RegOpenKeyExW" || entry.function == "RegCreateKeyExW") {
    char access[16];
    (void)std::snprintf(access, sizeof access, "0x%X", unsigned(entry.access));
    line += " options=" + std::to_string(entry.options) + " access=" + access;
  }
  return line + " -> " + std::to_string(entry.status);
}

bool CreateKey(const std::u16string& path) {
  const Quiet quiet;
  UniqueRegKey key;
  DWORD disposition = 0;
  Check(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.put(), &disposition),
        "RegCreateKeyExW");
  return disposition == REG_CREATED_NEW_KEY;
}

bool KeyExists(const std::u16string& path) {
  const Quiet quiet;
  UniqueRegKey key;
  return RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void SetValue(const std::u16string& path, const std::u16string& name, DWORD type,
              const std::vector<uint8_t>& bytes) {
  const Quiet quiet;
  UniqueRegKey key;
  Check(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.put(), nullptr),
        "RegCreateKeyExW");
  Check(RegSetValueExW(key.get(), name.c_str(), 0, type, bytes.data(), DWORD(bytes.size())),
        "RegSetValueExW");
}

void SetString(const std::u16string& path, const std::u16string& name, std::u16string_view text) {
  SetValue(path, name, REG_SZ, regtext::StringBytes(text));
}

std::optional<Value> GetValue(const std::u16string& path, const std::u16string& name) {
  const Quiet quiet;
  UniqueRegKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  Value value;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, nullptr, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  // One byte more than needed, so that an empty value still has a buffer.
  value.bytes.resize(size + 1);
  Check(RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, value.bytes.data(), &size),
        "RegQueryValueExW");
  value.bytes.resize(size);
  return value;
}

std::optional<std::u16string> GetString(const std::u16string& path, const std::u16string& name) {
  std::optional<Value> value = GetValue(path, name);
  if (!value) return std::nullopt;
  return regtext::TextOf(value->bytes);
}

bool RemoveKey(std::u16string_view path) {
  const Path parts = PartsOrThrow(path);
  bool removed = false;
  regstandin::WithKeys([&](regstandin::Keys& keys) { removed = keys.Remove(parts); });
  return removed;
}

std::vector<std::u16string> ValueNames(std::u16string_view path) {
  const Path parts = PartsOrThrow(path);
  std::vector<std::u16string> names;
  regstandin::WithKeys([&](regstandin::Keys& keys) {
    if (const regtext::Tree::Key* key = keys.tree.Find(parts)) {
      for (const regtext::NamedValue& value : key->values) names.push_back(value.name);
    }
  });
  return names;
}

std::string ExportRegText() {
  std::string text;
  regstandin::WithKeys([&](regstandin::Keys& keys) { text = keys.tree.Export(); });
  return text;
}

bool ImportRegText(const std::string& text, std::string& error, std::string_view sourceName) {
  std::vector<regtext::Change> changes;
  regtext::ParseError problem;
  if (!regtext::Parse(text, changes, problem)) {
    error = std::string(sourceName) + ":" + std::to_string(problem.line) + ": " + problem.problem;
    return false;
  }
  regstandin::WithKeys([&](regstandin::Keys& keys) { keys.Apply(changes); });
  error.clear();
  return true;
}

}  // namespace testreg
