#include "platform/framework/framework.h"

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* baseClass) const {
  for (const CRuntimeClass* runtimeClass = this; runtimeClass != nullptr;
       runtimeClass = runtimeClass->m_pBaseClass) {
    if (runtimeClass == baseClass) return true;
  }
  return false;
}

const CRuntimeClass CObject::classCObject = {u"CObject", static_cast<int>(sizeof(CObject)),
                                             nullptr};

const CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

CObject::~CObject() = default;

bool CObject::IsKindOf(const CRuntimeClass* runtimeClass) const {
  return GetRuntimeClass()->IsDerivedFrom(runtimeClass);
}

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

CCmdTarget::~CCmdTarget() = default;

// The root of every chain: no entries and no base.
const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY kEntries[] = {{0, 0, 0, nullptr}};
  static const AFX_MSGMAP kMap = {nullptr, kEntries};
  return &kMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

bool CCmdTarget::OnCmdMsg(UINT id, UINT code) {
  for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
       map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->nMessage != 0; ++entry) {
      if (entry->nMessage == WM_COMMAND && entry->nCode == code && entry->nID == id) {
        (this->*(entry->pfn))();
        return true;
      }
    }
  }
  return false;
}
