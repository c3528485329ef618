#include "platform/framework/framework.h"
#include "platform/framework/modal_window.h"

namespace {

// One DoModal of one dialog, from just before the dialog manager is asked
// for the window until DoModal returns. It lives on DoModal's stack and the
// open runs are linked through it, so that registering a dialog allocates
// nothing, and leaving DoModal by any path undoes everything it did: the
// window it disabled is enabled again, the owner gets the activation back
// and the dialog is forgotten. A host window left disabled would leave the
// user no way back to the drawing.
class ModalRun {
 public:
  ModalRun(CDialog& dialog, HWND parent)
      : dialog_(dialog), owner_(TakeModalOwner(parent)), outer_(Creating()) {
    Creating() = this;
  }
  ~ModalRun() {
    if (Creating() == this) Creating() = outer_;
    Unlink();
    dialog_.m_hWnd = nullptr;
    ReleaseModalOwner(owner_);
  }
  ModalRun(const ModalRun&) = delete;
  ModalRun& operator=(const ModalRun&) = delete;

  HWND Owner() const { return owner_.owner; }

  // WM_INITDIALOG's lParam names the dialog object, but only the dialog that
  // DoModal is creating may be taken at its word: a second WM_INITDIALOG, or
  // one that another program sends, carries whatever it likes there.
  static CDialog* TakeDialogBeingCreated(HWND window, LPARAM lParam) {
    ModalRun* run = Creating();
    if (run == nullptr || lParam != reinterpret_cast<LPARAM>(&run->dialog_)) return nullptr;
    Creating() = run->outer_;
    run->dialog_.m_hWnd = window;
    run->next_ = Open();
    Open() = run;
    return &run->dialog_;
  }

  // The dialog object of an open dialog window; null for any other window.
  static CDialog* Find(HWND window) {
    for (ModalRun* run = Open(); run != nullptr; run = run->next_) {
      if (run->dialog_.m_hWnd == window) return &run->dialog_;
    }
    return nullptr;
  }

 private:
  static ModalRun*& Creating() {
    static ModalRun* creating = nullptr;
    return creating;
  }
  // The open dialogs, innermost first.
  static ModalRun*& Open() {
    static ModalRun* open = nullptr;
    return open;
  }

  void Unlink() {
    for (ModalRun** link = &Open(); *link != nullptr; link = &(*link)->next_) {
      if (*link == this) {
        *link = next_;
        return;
      }
    }
  }

  CDialog& dialog_;
  const ModalOwner owner_;
  ModalRun* const outer_;  // a DoModal whose dialog was being created when this one began
  ModalRun* next_ = nullptr;
};

// The dialog manager is C code: an exception must not unwind through it.
template <typename Action>
bool Guarded(Action action) {
  try {
    action();
    return true;
  } catch (...) {
    return false;
  }
}

// The result a dialog ends with when it could not be made ready to show, as
// when the dialog manager itself cannot show it.
constexpr int kNotShown = -1;

INT_PTR OnInitDialogMessage(HWND window, LPARAM lParam) {
  CDialog* dialog = ModalRun::TakeDialogBeingCreated(window, lParam);
  if (dialog == nullptr) return 0;
  const DialogPlacement before = PlacementOf(window);
  bool focusToFirstTabStop = true;
  if (!Guarded([dialog, &focusToFirstTabStop] { focusToFirstTabStop = dialog->OnInitDialog(); })) {
    // Whatever it had loaded by then would show as if it were the settings,
    // and OK would store it: the dialog ends before it is ever shown.
    ::EndDialog(window, kNotShown);
    return 0;
  }
  CentreIfNotPlaced(window, before);
  return focusToFirstTabStop ? 1 : 0;
}

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      // Messages sent before this one (the font, for instance) find no
      // object yet and are left to the dialog manager.
      return OnInitDialogMessage(window, lParam);
    case WM_COMMAND: {
      CDialog* dialog = ModalRun::Find(window);
      if (dialog == nullptr) return 0;
      // A handler that throws has done what it could; the dialog stays
      // open, as it does when a registry write fails.
      bool handled = true;
      Guarded([dialog, wParam, &handled] {
        handled = dialog->OnCmdMsg(CommandId(wParam), CommandCode(wParam));
      });
      return handled ? 1 : 0;
    }
    default:
      // Everything else, the close box included, gets the dialog manager's
      // default handling; for the close box that is a click on Cancel.
      return 0;
  }
}

}  // namespace

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

CWnd::~CWnd() = default;

void CWnd::CheckDlgButton(int controlId, UINT check) { ::CheckDlgButton(m_hWnd, controlId, check); }

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nTemplateId(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
  const ModalRun run(*this, m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr);
  // The template is looked up in the resources of the state current now,
  // which is why callers make their module's state current first.
  return DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nTemplateId), run.Owner(),
                         &DialogProcedure, reinterpret_cast<LPARAM>(this));
}

bool CDialog::OnInitDialog() { return true; }

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }
