// The module's application object: the framework wants one per module so
// that the module's own state (its resources) can be made current.
#pragma once

#include "platform/framework/framework.h"

class CSorvaneApp : public CWinApp {
 public:
  bool InitInstance() override;

  DECLARE_MESSAGE_MAP()
};
