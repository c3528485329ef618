// Drives the module as a host does: a fresh registry, a fresh simulated host,
// the module's process-wide records as they are when it has just been loaded,
// and Startup registered.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "command/captured_properties.h"
#include "host/VekLib.h"
#include "settings/settings_flags.h"
#include "settings/settings_key.h"
#include "sim_host.h"
#include "sim_records.h"
#include "tests/test_registry.h"

extern "C" int32_t Startup(VekArg a1, VekArg a2, VekArg a3, VekArg a4);

inline const std::u16string kSettingsKey = SettingsKeyPath();

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testreg::Reset();
    host().Reset();
    SettingsFlags = {};
    CapturedProperties = {};
    ASSERT_EQ(host().Register(Startup), 0);
  }

  void TearDown() override { EXPECT_EQ(regstandin::OpenHandleCount(), 0u); }

  static sim::Host& host() { return sim::Host::Instance(); }
  static sim::Drawing& drawing() { return host().drawing(); }

  // Stores the seven settings as the dialog would: "1" or "0" each, in the
  // order colour, line type, layer, decimal places, tolerance, dimension size,
  // hole layer.
  static void StoreSettings(const std::vector<int>& flags) {
    const char16_t* names[] = {u"mIsColor",          u"mIsLType",     u"mIsLayer",
                               u"mIsDecimalPlace",   u"mIsTolerance", u"mIsDimSize",
                               u"IsHoleLayerChanged"};
    for (size_t i = 0; i < flags.size(); ++i) {
      testreg::SetString(kSettingsKey, names[i], flags[i] ? u"1" : u"0");
    }
  }

  static std::u16string Stored(const char16_t* name) {
    return testreg::GetString(kSettingsKey, name).value_or(u"<missing>");
  }

  // The names of the Vek* calls made since the last ClearTrace, leaving out
  // the element and segment lookups that only serve the compare functions.
  static std::vector<std::string> Calls() {
    std::vector<std::string> names;
    for (const sim::Call& call : host().Trace()) {
      if (!call.inCompare) names.push_back(call.name);
    }
    return names;
  }

  // The calls from the first call to `first` on: the ready function of the
  // step the pick led to. Empty when `first` was never called.
  static std::vector<std::string> CallsFrom(const std::string& first) {
    const std::vector<std::string> names = Calls();
    // A copy of the tail, not a view of it.
    // cppcheck-suppress returnDanglingLifetime
    return {std::find(names.begin(), names.end(), first), names.end()};
  }
};
