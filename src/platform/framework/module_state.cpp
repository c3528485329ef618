#include "platform/framework/framework.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

namespace {

// The process that loaded the module: its executable holds no resources of
// ours, and its application object is none of ours either.
//
// Both are constant-initialised. A function-local static with a run-time
// initialiser would be guarded by the C++ runtime's one recursive mutex,
// whose semaphore the runtime never closes: every load of the module would
// leave one handle behind in the host's process.
constinit AFX_MODULE_STATE processState = {nullptr, nullptr, nullptr};
constinit AFX_MODULE_STATE* currentState = &processState;

AFX_MODULE_STATE*& CurrentState() { return currentState; }

// The application's start, run once the module is loaded, with the module's
// own state current as it would be for any call into the module.
bool RunInitInstance() {
  AFX_MODULE_STATE* state = AfxGetStaticModuleState();
  if (state->m_pCurrentWinApp == nullptr) return true;
  try {
    AFX_MAINTAIN_STATE2 moduleState(state);
    return state->m_pCurrentWinApp->InitInstance();
  } catch (...) {
    return false;
  }
}

#ifndef _WIN32
// Linux has no instance handle. Its counterpart is the address the module
// is loaded at, which is what a Windows HINSTANCE is too; the loading process
// can find the same address from any symbol of the module.
HINSTANCE ThisModuleHandle() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&ThisModuleHandle), &info) == 0) return nullptr;
  return static_cast<HINSTANCE>(info.dli_fbase);
}
#endif

}  // namespace

AFX_MODULE_STATE* AfxGetStaticModuleState() {
#ifdef _WIN32
  // Filled in by DllMain when the module is loaded.
  static AFX_MODULE_STATE state = {nullptr, nullptr, nullptr};
#else
  static AFX_MODULE_STATE state = {ThisModuleHandle(), ThisModuleHandle(), nullptr};
#endif
  return &state;
}

AFX_MODULE_STATE* AfxGetModuleState() { return CurrentState(); }

HINSTANCE AfxGetResourceHandle() { return CurrentState()->m_hCurrentResourceHandle; }

AFX_MAINTAIN_STATE2::AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* newState)
    : m_pPrevModuleState(CurrentState()) {
  CurrentState() = newState;
}

AFX_MAINTAIN_STATE2::~AFX_MAINTAIN_STATE2() { CurrentState() = m_pPrevModuleState; }

IMPLEMENT_DYNAMIC(CWinApp, CCmdTarget)

// The application object is a global of the module, so it is constructed
// while the module loads, before anything can call into it.
CWinApp::CWinApp() { AfxGetStaticModuleState()->m_pCurrentWinApp = this; }

CWinApp::~CWinApp() {
  AFX_MODULE_STATE* state = AfxGetStaticModuleState();
  if (state->m_pCurrentWinApp == this) state->m_pCurrentWinApp = nullptr;
}

bool CWinApp::InitInstance() { return true; }

#ifdef _WIN32
// The C++ runtime linked into the module keeps a pool for exceptions thrown
// when memory has run out, allocated as the module loads. This gives it back.
namespace __gnu_cxx {
void __freeres();
}  // namespace __gnu_cxx

// The loader calls this after the module's globals, the application object
// among them, have been constructed. Refusing the load is how a module
// reports that its application could not start.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    AFX_MODULE_STATE* state = AfxGetStaticModuleState();
    state->m_hCurrentInstanceHandle = instance;
    state->m_hCurrentResourceHandle = instance;
    return RunInitInstance() ? TRUE : FALSE;
  }
  // Unloaded by FreeLibrary, in a process that goes on: a host loads and
  // unloads its plug-ins over a working day, and each load must leave
  // nothing behind. (At process exit, `reserved` is not null and the
  // process's memory goes anyway.)
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) __gnu_cxx::__freeres();
  return TRUE;
}
#else
namespace {
// Linux calls nothing once a module's globals are constructed, so the
// framework's own global starts the application. Globals are constructed in
// link order, but the application object is defined with a priority
// (AFX_APPLICATION_OBJECT) that puts it ahead of all of them.
struct ModuleLoad {
  ModuleLoad() { RunInitInstance(); }
} moduleLoad;
}  // namespace
#endif
