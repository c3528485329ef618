// A host loads and unloads its plug-ins over a working day: on request, or
// once for each use of a command. Each load and unload of Sorvane.dll must
// leave nothing behind in the host's process: no memory, no handle, no
// thread-local storage slot, of which a process has only about a thousand.
//
// The rest of the suite keeps the module loaded for the whole run, so the
// Wine suite runs this in a process of its own and says how many cycles
// (SORVANE_UNLOAD_CYCLES); run by hand without it, it skips.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "dialog_driver.h"
#include "sim_host.h"
#include "wine_support.h"

namespace {

int Cycles() {
  char value[16] = {};
  const DWORD length = GetEnvironmentVariableA("SORVANE_UNLOAD_CYCLES", value, sizeof value);
  return length > 0 && length < sizeof value ? std::atoi(value) : 0;
}

// The bytes handed out by every heap of the process, which is where the C
// runtime's malloc takes its memory from.
SIZE_T HeapBytesInUse() {
  std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
  heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
  SIZE_T total = 0;
  for (HANDLE heap : heaps) {
    if (!HeapLock(heap)) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry)) {
      if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) total += entry.cbData;
    }
    HeapUnlock(heap);
  }
  return total;
}

// How many thread-local storage slots the process could still take.
int FreeTlsSlots() {
  std::vector<DWORD> taken;
  taken.reserve(2048);
  for (DWORD slot = TlsAlloc(); slot != TLS_OUT_OF_INDEXES; slot = TlsAlloc())
    taken.push_back(slot);
  for (DWORD slot : taken) TlsFree(slot);
  return static_cast<int>(taken.size());
}

// The process's open handles, found by asking each handle value whether it
// is one: Wine does not count them for GetProcessHandleCount.
DWORD HandleCount() {
  DWORD count = 0;
  for (uintptr_t value = 4; value < 0x20000; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

struct Usage {
  SIZE_T heapBytes;
  DWORD handles;
  int freeTlsSlots;
};

Usage Measure() { return {HeapBytesInUse(), HandleCount(), FreeTlsSlots()}; }

// One working use: load, start, run the command, open the settings dialog
// and cancel it, unload.
void LoadUseAndUnload() {
  const HMODULE module = LoadLibraryW(wine::ModulePath().c_str());
  ASSERT_NE(module, nullptr) << "error " << GetLastError();
  const auto startup =
      reinterpret_cast<sim::StartupFn>(reinterpret_cast<void*>(GetProcAddress(module, "Startup")));
  sim::Host& host = sim::Host::Instance();
  host.Reset();
  host.SetTracing(false);
  ASSERT_EQ(host.Register(startup), 0);
  ASSERT_TRUE(host.RunCommand());
  const wine::DialogRun run =
      wine::PressExitAndPlay([](wine::DialogUser& user) { user.Click(IDCANCEL); });
  EXPECT_TRUE(run.shown && run.endedByPlay);
  EXPECT_EQ(host.LastExecuteResult(), 3);
  // The host forgets the module's functions before the module goes.
  host.Reset();
  ASSERT_TRUE(FreeLibrary(module));
  ASSERT_EQ(GetModuleHandleW(L"Sorvane.dll"), nullptr) << "still loaded after FreeLibrary";
}

TEST(ModuleUnload, LoadsAndUnloadsLeaveNothingBehind) {
  const int cycles = Cycles();
  if (cycles <= 0) GTEST_SKIP() << "the Wine suite runs this in a process of its own";
  ASSERT_EQ(GetModuleHandleW(L"Sorvane.dll"), nullptr) << "the module is loaded already";

  // The first uses warm up what Windows itself keeps once made: the
  // dialog's window class, fonts, the player thread's first start.
  for (int i = 0; i < 5; ++i) ASSERT_NO_FATAL_FAILURE(LoadUseAndUnload());
  Measure();  // and whatever measuring itself keeps once it has run
  const Usage before = Measure();
  for (int i = 0; i < cycles; ++i) {
    SCOPED_TRACE("cycle " + std::to_string(i + 1));
    ASSERT_NO_FATAL_FAILURE(LoadUseAndUnload());
  }
  const Usage after = Measure();

  std::printf(
      "after %d loads and unloads: heap %zu -> %zu bytes, handles %lu -> %lu, "
      "free TLS slots %d -> %d\n",
      cycles, static_cast<size_t>(before.heapBytes), static_cast<size_t>(after.heapBytes),
      static_cast<unsigned long>(before.handles), static_cast<unsigned long>(after.handles),
      before.freeTlsSlots, after.freeTlsSlots);
  // A leak of even a few bytes a cycle shows over hundreds of cycles. Wine's
  // own tables settle by a few hundred bytes, however many cycles run.
  ASSERT_GT(before.handles, 0u) << "no handles found to count";
  EXPECT_LE(after.heapBytes, before.heapBytes + 1024);
  EXPECT_LE(after.handles, before.handles);
  EXPECT_EQ(after.freeTlsSlots, before.freeTlsSlots);
}

}  // namespace
