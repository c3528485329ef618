// The dialog framework the module is written against: an application object,
// dialogs built from templates in the module's resources, check boxes, and
// message maps that route a control's click to a member function.
//
// The names follow the Windows dialog framework the module was designed for
// (CWinApp, CDialog, DoModal, BEGIN_MESSAGE_MAP, AFX_MAINTAIN_STATE2, ...), but
// this is the module's own small implementation, compiled into the module on
// every platform. Underneath it calls the Win32 dialog manager by name
// (platform/user32.h): user32 on Windows, a headless stand-in on Linux.
//
// Everything here runs on the host's user-interface thread only.
#pragma once

#include <cstdint>

#include "platform/user32.h"

// ---------------------------------------------------------------------------
// Run-time class information.

// One per class that declares DECLARE_DYNAMIC. The chain of base classes lets
// code ask whether an object is of a class or derived from it.
struct CRuntimeClass {
  const char16_t* m_lpszClassName;
  int m_nObjectSize;
  const CRuntimeClass* m_pBaseClass;

  bool IsDerivedFrom(const CRuntimeClass* baseClass) const;
};

#define AFX_U16_IMPL(text) u##text
#define AFX_U16(text) AFX_U16_IMPL(text)
#define AFX_STRINGIZE(name) #name

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)             \
 public:                                        \
  static const CRuntimeClass class##class_name; \
  const CRuntimeClass* GetRuntimeClass() const override;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                       \
  const CRuntimeClass class_name::class##class_name = {AFX_U16(AFX_STRINGIZE(class_name)),   \
                                                       static_cast<int>(sizeof(class_name)), \
                                                       RUNTIME_CLASS(base_class_name)};      \
  const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

class CObject {
 public:
  static const CRuntimeClass classCObject;
  virtual const CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject();

  bool IsKindOf(const CRuntimeClass* runtimeClass) const;

  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;

 protected:
  CObject() = default;
};

// ---------------------------------------------------------------------------
// Message maps.

class CCmdTarget;

// Every handler the maps hold takes and returns nothing; the map stores it as
// a member of CCmdTarget and calls it on the object the message is for.
using AFX_PMSG = void (CCmdTarget::*)();

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;  // WM_COMMAND; 0 ends the table
  UINT nCode;     // the notification code, BN_CLICKED
  UINT nID;       // the control id
  AFX_PMSG pfn;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();  // null for the root of the chain
  const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                   \
 protected:                                     \
  static const AFX_MSGMAP* GetThisMessageMap(); \
  const AFX_MSGMAP* GetMessageMap() const override;

// The map of a class: its own entries, then its base class's map.
//
//   BEGIN_MESSAGE_MAP(SorvaneDlg, CDialog)
//     ON_BN_CLICKED(IDC_COLOR, &SorvaneDlg::OnClickColor)
//   END_MESSAGE_MAP()
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
    using ThisClass [[maybe_unused]] = theClass;                                    \
    using TheBaseClass = baseClass;                                                 \
    static const AFX_MSGMAP_ENTRY kEntries[] = {
// The inner cast only accepts a `void ()` member of the class the map is for.
#define ON_COMMAND(id, memberFxn)                 \
  {WM_COMMAND, BN_CLICKED, static_cast<UINT>(id), \
   static_cast<AFX_PMSG>(static_cast<void (ThisClass::*)()>(memberFxn))},
#define ON_BN_CLICKED(id, memberFxn) ON_COMMAND(id, memberFxn)
// clang-format off
#define END_MESSAGE_MAP()                                                        \
      {0, 0, 0, nullptr}};                                                       \
    static const AFX_MSGMAP kMap = {&TheBaseClass::GetThisMessageMap, kEntries}; \
    return &kMap;                                                                \
  }
// clang-format on

class CCmdTarget : public CObject {
  DECLARE_DYNAMIC(CCmdTarget)

 public:
  ~CCmdTarget() override;

  // Calls the first handler along the map chain, this class's map first,
  // that is registered for this notification from this control. False when
  // no map has one.
  bool OnCmdMsg(UINT id, UINT code);

 protected:
  CCmdTarget() = default;

  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
};

// ---------------------------------------------------------------------------
// Windows and dialogs.

class CWnd : public CCmdTarget {
  DECLARE_DYNAMIC(CWnd)

 public:
  ~CWnd() override;

  // Sets the check mark of a box in this dialog: BST_CHECKED or
  // BST_UNCHECKED.
  void CheckDlgButton(int controlId, UINT check);

  HWND m_hWnd = nullptr;  // set while the window exists

 protected:
  CWnd() = default;
};

// A modal dialog built from a template in the resources of the module whose
// state is current when DoModal runs (see AFX_MAINTAIN_STATE2).
class CDialog : public CWnd {
  DECLARE_DYNAMIC(CDialog)

 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  // Shows the dialog and returns once it has ended: the result given to
  // EndDialog (IDOK, IDCANCEL), or -1 when the dialog could not be shown.
  virtual INT_PTR DoModal();

  // Called once the controls exist and before the dialog is shown. True
  // leaves the focus to the dialog manager (the first tab stop).
  virtual bool OnInitDialog();

  // Ends the modal loop; DoModal returns `result`.
  void EndDialog(int result);

 protected:
  // The OK and Cancel buttons, and Enter and Esc, which the dialog manager
  // turns into them.
  virtual void OnOK();
  virtual void OnCancel();

  DECLARE_MESSAGE_MAP()

 private:
  UINT m_nTemplateId;
  CWnd* m_pParentWnd;
};

// ---------------------------------------------------------------------------
// The application object and the module state.

// One per module, constructed when the module is loaded. InitInstance runs
// once the module is loaded, with the module's state current.
class CWinApp : public CCmdTarget {
  DECLARE_DYNAMIC(CWinApp)

 public:
  CWinApp();
  ~CWinApp() override;

  virtual bool InitInstance();
};

// Defines the module's one application object. It is constructed ahead of
// every other global of the module that needs code to construct it, whatever
// the names of the files and the order they are linked in, so that the
// framework's load step, which is one of those globals on Linux, always finds
// it whole.
#define AFX_APPLICATION_OBJECT(theClass, name) __attribute__((init_priority(101))) theClass name

// Where the framework finds resources and the application object. Each
// module has its own; the framework works with whichever is current.
struct AFX_MODULE_STATE {
  HINSTANCE m_hCurrentInstanceHandle;
  HINSTANCE m_hCurrentResourceHandle;
  CWinApp* m_pCurrentWinApp;
};

// This module's state: its instance handle, captured when the module was
// loaded, its resources and its application object.
AFX_MODULE_STATE* AfxGetStaticModuleState();
// The state current now. Until a guard makes another current, that is the
// state of the process that loaded the module, which knows neither the
// module's resources nor its application.
AFX_MODULE_STATE* AfxGetModuleState();
HINSTANCE AfxGetResourceHandle();

// Makes a module's state current for the lifetime of the guard and then
// restores the state that was current before. Guards nest.
//
//   AFX_MAINTAIN_STATE2 moduleState(AfxGetStaticModuleState());
class AFX_MAINTAIN_STATE2 {
 public:
  explicit AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* newState);
  ~AFX_MAINTAIN_STATE2();

  AFX_MAINTAIN_STATE2(const AFX_MAINTAIN_STATE2&) = delete;
  AFX_MAINTAIN_STATE2& operator=(const AFX_MAINTAIN_STATE2&) = delete;

 private:
  AFX_MODULE_STATE* m_pPrevModuleState;
};
