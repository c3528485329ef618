// The command driven as in command_fixture.h, with the settings dialog's
// template among the module's resources, so that the exit button can open it
// and a test can play the user in front of it (dlgstandin::SetDriver).
#pragma once

#include <string>

#include "command_fixture.h"
#include "sorvane_dialog_res.h"
#include "standin/user32_standin.h"

class CommandWithDialogTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    dlgstandin::Reset();
    const std::string script = SORVANE_DIALOG_RES;  // the compiled resources
    const HINSTANCE module = dlgstandin::ModuleHandleOf(reinterpret_cast<const void*>(&Startup));
    std::string error;
    ASSERT_TRUE(dlgstandin::LoadResources(module, script, error)) << error;
  }
  void TearDown() override {
    dlgstandin::Reset();
    CommandTest::TearDown();
  }
};
