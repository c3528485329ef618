#include <algorithm>
#include <vector>

#include "platform/framework/framework.h"
#include "platform/framework/modal_window.h"

namespace {

// The dialogs between their WM_INITDIALOG and the end of their DoModal,
// innermost last. The dialog manager identifies a dialog by its window only;
// this is how its messages find their way back to the object.
std::vector<CDialog*>& OpenDialogs() {
  static std::vector<CDialog*> dialogs;
  return dialogs;
}

CDialog* FindDialog(HWND window) {
  for (CDialog* dialog : OpenDialogs()) {
    if (dialog->m_hWnd == window) return dialog;
  }
  return nullptr;
}

// The dialog manager is C code: an exception must not unwind through it. A
// handler that throws has done what it could; the dialog stays open, as it
// does when a registry write fails.
template <typename Action>
INT_PTR Guarded(Action action, INT_PTR onException) {
  try {
    return action();
  } catch (...) {
    return onException;
  }
}

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      // Messages sent before this one (the font, for instance) find no
      // object yet and are left to the dialog manager.
      CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
      dialog->m_hWnd = window;
      OpenDialogs().push_back(dialog);
      const DialogPlacement before = PlacementOf(window);
      const INT_PTR focusToFirstTabStop =
          Guarded([dialog]() -> INT_PTR { return dialog->OnInitDialog() ? 1 : 0; }, 1);
      CentreIfNotPlaced(window, before);
      return focusToFirstTabStop;
    }
    case WM_COMMAND: {
      CDialog* dialog = FindDialog(window);
      if (dialog == nullptr) return 0;
      return Guarded(
          [dialog, wParam]() -> INT_PTR {
            return dialog->OnCmdMsg(CommandId(wParam), CommandCode(wParam)) ? 1 : 0;
          },
          1);
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

UINT CWnd::IsDlgButtonChecked(int controlId) const {
  return ::IsDlgButtonChecked(m_hWnd, controlId);
}

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nTemplateId(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
  const ModalOwner owner = TakeModalOwner(m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr);
  // The template is looked up in the resources of the state current now,
  // which is why callers make their module's state current first.
  const INT_PTR result =
      DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nTemplateId), owner.owner,
                      &DialogProcedure, reinterpret_cast<LPARAM>(this));
  ReleaseModalOwner(owner);
  std::erase(OpenDialogs(), this);
  m_hWnd = nullptr;
  return result;
}

bool CDialog::OnInitDialog() { return true; }

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }
