// The settings dialog's resource script, read the way the resource compiler
// reads it, against the template the dialog is designed with; and the reader
// itself, which the Linux dialog stand-in relies on.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "standin/user32_rc_script.h"
#include "settings/resource.h"
#include "settings/settings_flags.h"

namespace {

using dlgstandin::ControlTemplate;
using dlgstandin::DialogTemplate;
using dlgstandin::ResourceScript;

const std::string kScriptPath = std::string(SORVANE_SOURCE_DIR) + "/src/settings/SorvaneDlg.rc";

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

const DialogTemplate* FindDialog(const ResourceScript& script, int id) {
  for (const DialogTemplate& dialog : script.dialogs) {
    if (dialog.id == id) return &dialog;
  }
  return nullptr;
}

class SettingsDialogScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(dlgstandin::LoadResourceScript(kScriptPath, script_, error)) << error;
    dialog_ = FindDialog(script_, 23000);
    ASSERT_NE(dialog_, nullptr) << "no dialog 23000 in " << kScriptPath;
  }

  ResourceScript script_;
  const DialogTemplate* dialog_ = nullptr;
};

TEST_F(SettingsDialogScriptTest, IsTheOnlyDialogAndKorean) {
  EXPECT_EQ(script_.codePage, 65001);
  EXPECT_EQ(script_.dialogs.size(), 1u);
  EXPECT_EQ(dialog_->language, 1042);
  EXPECT_EQ(IDD_SORVANE, 23000);
}

TEST_F(SettingsDialogScriptTest, FrameCaptionAndFont) {
  EXPECT_EQ(dialog_->x, 0);
  EXPECT_EQ(dialog_->y, 0);
  EXPECT_EQ(dialog_->width, 233);
  EXPECT_EQ(dialog_->height, 216);
  EXPECT_EQ(dialog_->style, 0x80C800C8u);
  EXPECT_EQ(dialog_->exStyle, 0u);
  EXPECT_EQ(Utf8(dialog_->caption), "속성참조");
  EXPECT_EQ(dialog_->fontPointSize, 8);
  EXPECT_EQ(Utf8(dialog_->fontName), "MS Shell Dlg");
  EXPECT_EQ(dialog_->fontWeight, 400);
  EXPECT_FALSE(dialog_->fontItalic);
  EXPECT_EQ(dialog_->fontCharset, 1);
}

struct ExpectedControl {
  int id;
  const char* className;
  uint32_t style;
  int x, y, width, height;
  const char* text;
};

// Template order, which is also the tab order.
const ExpectedControl kExpectedControls[] = {
    {1, "Button", 0x50010001, 65, 187, 50, 14, "확인"},
    {2, "Button", 0x50010000, 118, 187, 50, 14, "취소"},
    {-1, "Static", 0x50020000, 23, 22, 68, 8, "◆. 명령어 TYPE"},
    {-1, "Static", 0x50020000, 24, 138, 110, 8, "◆. 구멍(Hole) 설정"},
    {12000, "Button", 0x50010003, 35, 153, 159, 10, "구멍(Hole)의 레이어도 전체 변경합니다."},
    {12001, "Button", 0x50010003, 35, 36, 120, 10, "선색 참조후 변경"},
    {12002, "Button", 0x50010003, 35, 52, 120, 10, "선종 참조후 변경"},
    {12003, "Button", 0x50010003, 35, 68, 120, 10, "레이어 참조후 변경"},
    {12004, "Button", 0x50010003, 35, 84, 120, 10, "치수 소수점자리수 변경"},
    {12005, "Button", 0x50010003, 35, 100, 120, 10, "치수 공차 변경"},
    {12007, "Button", 0x50010003, 35, 116, 120, 10, "치수 문자 사이즈 변경"},
};

TEST_F(SettingsDialogScriptTest, ControlsInTemplateOrder) {
  ASSERT_EQ(dialog_->controls.size(), std::size(kExpectedControls));
  for (std::size_t i = 0; i < std::size(kExpectedControls); ++i) {
    const ExpectedControl& want = kExpectedControls[i];
    const ControlTemplate& got = dialog_->controls[i];
    SCOPED_TRACE("control " + std::to_string(i + 1) + " (" + want.text + ")");
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(Utf8(got.className), want.className);
    EXPECT_EQ(got.style, want.style) << std::hex << "0x" << got.style;
    EXPECT_EQ(got.exStyle, 0u);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
    EXPECT_EQ(Utf8(got.text), want.text);
  }
}

// The code names the boxes through the settings table; the script through
// resource.h. A box the code sets must be an automatic check box in the
// script, or clicks would not flip it.
TEST_F(SettingsDialogScriptTest, EverySettingHasItsAutomaticCheckBox) {
  for (const SettingDef& setting : kSettings) {
    SCOPED_TRACE(Utf8(setting.name));
    int found = 0;
    for (const ControlTemplate& control : dialog_->controls) {
      if (control.id != setting.boxId) continue;
      ++found;
      EXPECT_EQ(Utf8(control.className), "Button");
      EXPECT_EQ(control.style & 0xFu, 0x3u);
    }
    EXPECT_EQ(found, 1);
  }
  for (const ControlTemplate& control : dialog_->controls) EXPECT_NE(control.id, 12006);
}

// --- The reader itself -----------------------------------------------------

std::optional<std::string> NoIncludes(std::string_view) { return std::nullopt; }

struct ParseCase {
  const char* name;
  std::string script;
  bool succeeds;
  const char* errorPart;  // for failures: a piece of the message, line included
};

void PrintTo(const ParseCase& row, std::ostream* os) { *os << row.name; }

class ResourceScriptErrorTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ResourceScriptErrorTest, AcceptsOrRejects) {
  const ParseCase& c = GetParam();
  const std::map<std::string, std::string> files = {
      {"ids.h", "#pragma once\n#define IDD_X 100\n#define IDC_A (12000 + 1)\nint ignored;\n"}};
  const dlgstandin::IncludeReader reader = [&files](std::string_view name) {
    auto found = files.find(std::string(name));
    return found != files.end() ? std::optional<std::string>(found->second) : std::nullopt;
  };
  ResourceScript script;
  std::string error;
  const bool ok = dlgstandin::ParseResourceScript(c.script, "t.rc", reader, script, error);
  EXPECT_EQ(ok, c.succeeds) << error;
  if (!c.succeeds) {
    EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
  }
}

const std::string kHead = "#include \"ids.h\"\nIDD_X DIALOGEX 0, 0, 10, 10\nBEGIN\n";

INSTANTIATE_TEST_SUITE_P(
    Scripts, ResourceScriptErrorTest,
    ::testing::Values(
        ParseCase{"Minimal", kHead + "END\n", true, ""},
        ParseCase{"KoreanWithoutCodePage",
                  kHead + "CONTROL \"확인\", 1, \"Button\", 0, 0,0,1,1\nEND\n", false,
                  "t.rc:4: text beyond ASCII"},
        ParseCase{"BadUtf8",
                  "#pragma code_page(65001)\n" + kHead +
                      "CONTROL \"\xC3\x28\", 1, \"Button\", 0, 0,0,1,1\nEND\n",
                  false, "t.rc:5: text is not valid UTF-8"},
        ParseCase{"UnknownName", kHead + "CONTROL \"a\", IDC_B, \"Button\", 0, 0,0,1,1\nEND\n",
                  false, "t.rc:4: unknown name IDC_B"},
        ParseCase{"MissingInclude", "#include \"nope.h\"\n", false, "t.rc:1: cannot open"},
        ParseCase{"OldDialog", "1 DIALOG 0, 0, 1, 1\nBEGIN\nEND\n", false, "only DIALOGEX"},
        ParseCase{"ShorthandControl", kHead + "PUSHBUTTON \"a\", 1, 0,0,1,1\nEND\n", false,
                  "t.rc:4: only CONTROL rows"},
        ParseCase{"MissingComma", kHead + "CONTROL \"a\" 1, \"Button\", 0, 0,0,1,1\nEND\n", false,
                  "t.rc:4: ',' expected"},
        ParseCase{"UnclosedText", kHead + "CONTROL \"a, 1\nEND\n", false, "text not closed"},
        ParseCase{"UnclosedBlock", kHead, false, "t.rc:4: END expected"},
        ParseCase{
            "SelfReferringDefine",
            "#define LOOP LOOP\n" + kHead + "CONTROL \"a\", LOOP, \"Button\", 0, 0,0,1,1\nEND\n",
            false, "unknown name LOOP"},
        ParseCase{"SkipsVersionAndManifest",
                  "1 VERSIONINFO\nFILEVERSION 4,2,1,1\nBEGIN\nBLOCK \"x\"\nBEGIN\nEND\nEND\n"
                  "1 24 \"Sorvane.manifest\"\n" +
                      kHead + "END\n",
                  true, ""}),
    [](const ::testing::TestParamInfo<ParseCase>& param) { return std::string(param.param.name); });

// What the resource compiler adds or removes on its own, and how texts and
// numbers are spelled, decides the bytes Windows gets: the stand-in must agree.
TEST(ResourceScriptTest, StylesTextsAndNumbersAsTheResourceCompilerReadsThem) {
  const std::string text =
      "#pragma code_page(65001)\n"
      "#include \"ids.h\"\n"
      "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n"
      "IDD_X DIALOGEX 1, 2, 3, 4\n"
      "STYLE WS_POPUP\n"
      "EXSTYLE WS_EX_TOOLWINDOW\n"
      "CAPTION \"say \"\"hi\"\"\"\n"
      "FONT 9, \"Tahoma\"\n"
      "{\n"
      "  CONTROL L\"a\\tb\", IDC_A, \"Static\", SS_LEFT, 0, 0, 1, 1 // comment\n"
      "  /* two\n lines */ CONTROL \"가\", 0x10L, \"Button\",\n"
      "    NOT WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP, -1, 0, 1, 1, WS_EX_CLIENTEDGE\n"
      "}\n";
  const dlgstandin::IncludeReader reader = [](std::string_view) {
    return std::optional<std::string>("#define IDD_X 100\n#define IDC_A (12000 + 1)\n");
  };
  ResourceScript script;
  std::string error;
  ASSERT_TRUE(dlgstandin::ParseResourceScript(text, "t.rc", reader, script, error)) << error;
  ASSERT_EQ(script.dialogs.size(), 1u);
  const DialogTemplate& dialog = script.dialogs[0];
  EXPECT_EQ(dialog.id, 100);
  EXPECT_EQ(dialog.language, 0x0409);
  // CAPTION brings WS_CAPTION and FONT brings DS_SETFONT.
  EXPECT_EQ(dialog.style, 0x80000000u | 0x00C00000u | 0x40u);
  EXPECT_EQ(dialog.exStyle, 0x80u);
  EXPECT_EQ(Utf8(dialog.caption), "say \"hi\"");
  EXPECT_EQ(dialog.fontPointSize, 9);
  EXPECT_EQ(dialog.fontWeight, 0);
  ASSERT_EQ(dialog.controls.size(), 2u);
  // Every control is a visible child unless it says otherwise.
  EXPECT_EQ(dialog.controls[0].id, 12001);
  EXPECT_EQ(dialog.controls[0].style, 0x50000000u);
  EXPECT_EQ(Utf8(dialog.controls[0].text), "a\tb");
  EXPECT_EQ(dialog.controls[1].id, 16);
  EXPECT_EQ(dialog.controls[1].style, 0x40010003u);
  EXPECT_EQ(dialog.controls[1].x, -1);
  EXPECT_EQ(dialog.controls[1].exStyle, 0x200u);
  EXPECT_EQ(Utf8(dialog.controls[1].text), "가");
}

TEST(ResourceScriptTest, WithoutStyleTheDialogGetsTheDefaultFrame) {
  ResourceScript script;
  std::string error;
  ASSERT_TRUE(dlgstandin::ParseResourceScript("7 DIALOGEX 0,0,1,1\nBEGIN\nEND\n", "t.rc",
                                              NoIncludes, script, error))
      << error;
  ASSERT_EQ(script.dialogs.size(), 1u);
  EXPECT_EQ(script.dialogs[0].style, 0x80000000u | 0x00800000u | 0x00080000u);
  EXPECT_EQ(script.codePage, 0);
}

}  // namespace
