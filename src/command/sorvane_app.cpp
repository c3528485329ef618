#include "command/sorvane_app.h"

BEGIN_MESSAGE_MAP(CSorvaneApp, CWinApp)
END_MESSAGE_MAP()

// Nothing to set up: the command registers itself when the host calls Startup.
bool CSorvaneApp::InitInstance() {
  CWinApp::InitInstance();
  return true;
}

// The one application object, constructed while the module loads.
AFX_APPLICATION_OBJECT(CSorvaneApp, theApp);
