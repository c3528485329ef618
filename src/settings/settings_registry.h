// Reading, writing and deleting one setting text in the current user's
// registry. Failures are reported to the caller only: nothing here talks to
// the user, and every caller carries on whatever the registry answers.
#pragma once

#include <cstdint>
#include <string>

// "SOFTWARE\Denmarrow\VEK\" followed directly by the subkey name.
std::u16string BuildSettingsKeyPath(const std::u16string& subkeyName);

// 0 when the value was read into `text`, -1 otherwise; `text` is assigned
// only on success. A value longer than 126 characters does not fit and fails.
int32_t ReadRegistryString(const std::u16string& keyPath, const char16_t* valueName,
                           std::u16string& text);

// 0 when the value was written as REG_SZ (with its terminating NUL), else -1.
// Creates the key and any missing key above it.
int32_t WriteRegistryString(const std::u16string& keyPath, const char16_t* valueName,
                            const std::u16string& text);

// Writes one value under BuildSettingsKeyPath(subkeyName); true on success.
bool WriteSettingValue(const std::u16string& subkeyName, const char16_t* valueName,
                       const std::u16string& text);

// Deletes one value under BuildSettingsKeyPath(subkeyName); true only when
// the key opened and the value was deleted.
bool DeleteSettingValue(const std::u16string& subkeyName, const char16_t* valueName);
