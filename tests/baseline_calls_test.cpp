// The benchmarks' hand-written baselines (bench/baseline.h) are worth
// something only if they make exactly the host calls the module makes: the
// same functions in the same order, with the same arguments, records and
// results. Each path is played twice on a fresh host and drawing, once by the
// module and once by its baseline, and the two traces compared call by call.
#include <gtest/gtest.h>

#include <cstddef>
#include <sstream>

#include "baseline.h"
#include "command_fixture.h"
#include "settings/load_settings.h"
#include "workload.h"

namespace {

constexpr size_t kElements = 40;  // five segments

std::string Describe(const sim::Call& call) {
  std::ostringstream out;
  out << call.name << "(";
  for (int64_t arg : call.args) out << arg << ",";
  out << ") record " << call.record.size() << " bytes -> " << call.result;
  return out.str();
}

// A call's record, less the address of the hole entries that the host lends:
// an address of this run's memory, not a value either side chose.
std::vector<uint8_t> Comparable(const sim::Call& call) {
  std::vector<uint8_t> record = call.record;
  if (call.name == "VekHolGetHoleData" && record.size() == sizeof(VekHoleData)) {
    record.resize(offsetof(VekHoleData, entries));
  }
  return record;
}

class BaselineCallsTest : public CommandTest, public ::testing::WithParamInterface<workload::Path> {
 protected:
  // The trace of one apply of the path, by the module or by its baseline.
  std::vector<sim::Call> TraceOf(bool byBaseline) {
    testreg::Reset();
    host().Reset();
    host().Register(Startup);
    workload::BuildDrawing(drawing(), kElements);
    const std::vector<VekId> targets = workload::Targets(drawing());
    workload::EnterStep(GetParam());
    baseline::Prepare(GetParam());
    if (byBaseline && GetParam() == workload::Path::kDimensionPicks) {
      baseline::DimensionReady(sim::kReadyArgs[0], sim::kReadyArgs[1], sim::kReadyArgs[2],
                               sim::kReadyArgs[3]);
    }
    host().ClearTrace();
    const int32_t result =
        byBaseline ? baseline::Run(GetParam(), targets) : workload::RunModule(GetParam(), targets);
    EXPECT_EQ(result, GetParam() == workload::Path::kDimensionPicks ? 2 : 0);
    return host().Trace();
  }
};

TEST_P(BaselineCallsTest, MakesTheModulesCallsOneForOne) {
  const std::vector<sim::Call> module = TraceOf(false);
  const std::vector<sim::Call> hand = TraceOf(true);
  // At least one call per element: the comparison covers the loop itself.
  ASSERT_GT(module.size(), kElements);
  ASSERT_EQ(hand.size(), module.size());
  for (size_t i = 0; i < module.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i) + ": " + Describe(module[i]));
    EXPECT_EQ(hand[i].name, module[i].name);
    EXPECT_EQ(hand[i].args, module[i].args);
    EXPECT_EQ(hand[i].text, module[i].text);
    EXPECT_EQ(Comparable(hand[i]), Comparable(module[i]));
    EXPECT_EQ(hand[i].result, module[i].result);
    EXPECT_EQ(hand[i].inCompare, module[i].inCompare);
    if (::testing::Test::HasFailure()) break;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, BaselineCallsTest, ::testing::ValuesIn(workload::kPaths),
                         [](const ::testing::TestParamInfo<workload::Path>& param) {
                           return std::string(workload::NameOf(param.param));
                         });

TEST(BaselineLoadSettingsTest, MakesTheModulesRegistryCallsOneForOne) {
  testreg::Reset();
  LoadSettings();  // writes the defaults: every value exists from here on
  testreg::ClearLog();
  LoadSettings();
  const std::vector<testreg::LogEntry> module = testreg::Log();
  const SettingsFlagSet& f = SettingsFlags;
  const int on = f.mIsColor + f.mIsLType + f.mIsLayer + f.mIsDecimalPlace + f.mIsTolerance +
                 f.mIsDimSize + f.IsHoleLayerChanged;
  testreg::ClearLog();
  EXPECT_EQ(baseline::LoadSettings(), on);
  const std::vector<testreg::LogEntry> hand = testreg::Log();
  ASSERT_EQ(hand.size(), module.size());
  for (size_t i = 0; i < module.size(); ++i) {
    EXPECT_EQ(hand[i], module[i]) << "call " << i << ": " << testreg::Describe(module[i]);
    EXPECT_EQ(hand[i].access, module[i].access) << "call " << i;
  }
  EXPECT_GE(module.size(), 3u * 8u);  // open, query and close for "Type" and the seven
  EXPECT_EQ(regstandin::OpenHandleCount(), 0u);
}

}  // namespace
