// The settings dialog's template as the resource compiler compiled it, the
// bytes the dialog manager reads, against the template the dialog is designed
// with; and the reader of those bytes, which the Linux dialog stand-in and
// vekhost rely on, against corrupt and unusual ones.
#include "support/dialog_template.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "settings/resource.h"
#include "settings/settings_flags.h"
#include "sorvane_dialog_res.h"
#include "support/utf.h"

namespace {

using dlgtemplate::ControlTemplate;
using dlgtemplate::DialogTemplate;
using Bytes = std::vector<uint8_t>;

const std::string kResPath = SORVANE_DIALOG_RES;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string Utf8(const std::u16string& text) { return utf::ToUtf8(text); }

// Class names are not case-sensitive: the resource compiler may store a
// predefined class by atom or by its name in capitals, and the dialog
// manager makes the same control of both.
std::string Folded(std::string name) {
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return name;
}

class SettingsDialogTemplateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(dlgtemplate::ReadDialogTemplates(ReadAll(kResPath), kResPath, dialogs_, error))
        << error;
    ASSERT_EQ(dialogs_.size(), 1u) << "one dialog in " << kResPath;
    dialog_ = &dialogs_[0];
  }

  std::vector<DialogTemplate> dialogs_;
  const DialogTemplate* dialog_ = nullptr;
};

TEST_F(SettingsDialogTemplateTest, IsDialog23000InKorean) {
  EXPECT_EQ(dialog_->id, 23000);
  EXPECT_EQ(IDD_SORVANE, 23000);
  EXPECT_EQ(dialog_->language, 1042);
}

TEST_F(SettingsDialogTemplateTest, FrameCaptionAndFont) {
  EXPECT_EQ(dialog_->x, 0);
  EXPECT_EQ(dialog_->y, 0);
  EXPECT_EQ(dialog_->width, 233);
  EXPECT_EQ(dialog_->height, 216);
  EXPECT_EQ(dialog_->style, 0x80C800C8u) << std::hex << "0x" << dialog_->style;
  EXPECT_EQ(dialog_->exStyle, 0u);
  EXPECT_EQ(Utf8(dialog_->menu), "");
  EXPECT_EQ(Utf8(dialog_->className), "");
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

TEST_F(SettingsDialogTemplateTest, ControlsInTemplateOrder) {
  ASSERT_EQ(dialog_->controls.size(), std::size(kExpectedControls));
  for (std::size_t i = 0; i < std::size(kExpectedControls); ++i) {
    const ExpectedControl& want = kExpectedControls[i];
    const ControlTemplate& got = dialog_->controls[i];
    SCOPED_TRACE("control " + std::to_string(i + 1) + " (" + want.text + ")");
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(Folded(Utf8(got.className)), Folded(want.className));
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
// template, or clicks would not flip it.
TEST_F(SettingsDialogTemplateTest, EverySettingHasItsAutomaticCheckBoxAndNoneIs12006) {
  for (const SettingDef& setting : kSettings) {
    SCOPED_TRACE(Utf8(setting.name));
    int found = 0;
    for (const ControlTemplate& control : dialog_->controls) {
      if (control.id != setting.boxId) continue;
      ++found;
      EXPECT_EQ(Folded(Utf8(control.className)), "BUTTON");
      EXPECT_EQ(control.style & 0xFu, 0x3u);
    }
    EXPECT_EQ(found, 1);
  }
  for (const ControlTemplate& control : dialog_->controls) EXPECT_NE(control.id, 12006);
}

// --- The reader against corrupt bytes ---------------------------------------

void PutWord(Bytes& bytes, std::size_t at, uint16_t value) {
  bytes.at(at) = static_cast<uint8_t>(value);
  bytes.at(at + 1) = static_cast<uint8_t>(value >> 8);
}
void PutDword(Bytes& bytes, std::size_t at, uint32_t value) {
  PutWord(bytes, at, static_cast<uint16_t>(value));
  PutWord(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

// The real file's dialog entry: its header starts right after the 32-byte
// entry every .res begins with, and its data right after its 32-byte header.
constexpr std::size_t kEntry = 32;
constexpr std::size_t kData = 64;

struct CorruptCase {
  const char* name;
  std::function<void(Bytes& file)> corrupt;
  const char* error;  // the whole message after the file's name
};

void PrintTo(const CorruptCase& row, std::ostream* os) { *os << row.name; }

class CorruptResourceFileTest : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(CorruptResourceFileTest, IsOneErrorNamingThePlace) {
  Bytes file = ReadAll(kResPath);
  ASSERT_GT(file.size(), kData + 40) << kResPath;
  GetParam().corrupt(file);
  std::vector<DialogTemplate> dialogs;
  std::string error;
  EXPECT_FALSE(dlgtemplate::ReadDialogTemplates(file, "d.res", dialogs, error));
  EXPECT_EQ(error, std::string("d.res: ") + GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CorruptResourceFileTest,
    ::testing::Values(
        CorruptCase{"Empty", [](Bytes& f) { f.clear(); },
                    "at byte 0: not a compiled resource file: it does not begin with the empty "
                    "entry a .res file begins with"},
        CorruptCase{"ResourceScriptText",
                    [](Bytes& f) {
                      const std::string text = "// The settings dialog.\n#pragma code_page(65001)";
                      f.assign(text.begin(), text.end());
                    },
                    "at byte 0: not a compiled resource file: it does not begin with the empty "
                    "entry a .res file begins with"},
        CorruptCase{"LeadingEntryWithData", [](Bytes& f) { PutDword(f, 0, 4); },
                    "at byte 0: not a compiled resource file: it does not begin with the empty "
                    "entry a .res file begins with"},
        CorruptCase{"CutInsideTheType", [](Bytes& f) { f.resize(kEntry + 10); },
                    "at byte 40: the resource's type runs past the end (42 bytes)"},
        CorruptCase{"CutInsideTheHeader", [](Bytes& f) { f.resize(kEntry + 26); },
                    "at byte 56: the resource's version runs past the end (58 bytes)"},
        CorruptCase{"CutInsideTheData", [](Bytes& f) { f.resize(kData + 100); },
                    "at byte 32: the resource's data (774 bytes) runs past the end (164 bytes)"},
        CorruptCase{"DataSizeBeyondAnyFile", [](Bytes& f) { PutDword(f, kEntry, 0xFFFFFFFF); },
                    "at byte 32: the resource's data (4294967295 bytes) runs past the end "
                    "(840 bytes)"},
        CorruptCase{"HeaderSizeBeyondAnyFile",
                    [](Bytes& f) { PutDword(f, kEntry + 4, 0xFFFFFFF0); },
                    "at byte 32: the resource's data (774 bytes) runs past the end (840 bytes)"},
        CorruptCase{"HeaderSizeSmallerThanItsFields", [](Bytes& f) { PutDword(f, kEntry + 4, 8); },
                    "at byte 32: header size 8 is smaller than its fields"},
        CorruptCase{"TypeNameWithoutItsEnd",
                    [](Bytes& f) {
                      // The type as a text that never ends: no NUL anywhere after it.
                      for (std::size_t i = kEntry + 8; i < f.size(); ++i) f[i] = 'A';
                    },
                    "at byte 40: the resource's type runs past the end (840 bytes)"},
        CorruptCase{"OldStyleTemplate", [](Bytes& f) { PutWord(f, kData + 2, 0); },
                    "dialog 23000: at byte 2 of the template: not an extended dialog template "
                    "(signature 0, not 65535)"},
        CorruptCase{"TemplateVersion2", [](Bytes& f) { PutWord(f, kData, 2); },
                    "dialog 23000: at byte 0 of the template: extended dialog template version "
                    "2, not 1"},
        CorruptCase{"OneControlMoreThanThere", [](Bytes& f) { PutWord(f, kData + 16, 12); },
                    "dialog 23000: at byte 774 of the template: control 12 of 12: its padding "
                    "runs past the end (774 bytes)"},
        CorruptCase{"CreationDataPastTheEnd", [](Bytes& f) { PutWord(f, f.size() - 4, 9); },
                    "dialog 23000: at byte 774 of the template: control 11 of 11: its creation "
                    "data runs past the end (774 bytes)"}),
    [](const ::testing::TestParamInfo<CorruptCase>& param) {
      return std::string(param.param.name);
    });

// Cut anywhere, the file is read to its cut and no further: only the cuts
// that fall between entries leave a whole file.
TEST(ResourceFileReaderTest, EveryCutIsAnErrorUnlessItFallsBetweenEntries) {
  const Bytes file = ReadAll(kResPath);
  std::vector<dlgtemplate::Resource> resources;
  std::string error;
  ASSERT_TRUE(dlgtemplate::ReadResources(file, kResPath, resources, error)) << error;
  ASSERT_EQ(resources.size(), 1u);
  const std::size_t dataEnd =
      static_cast<std::size_t>(resources[0].data.data() - file.data()) + resources[0].data.size();
  for (std::size_t size = 0; size < file.size(); ++size) {
    const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
    std::vector<DialogTemplate> dialogs;
    // The padding after the last entry's data may be cut off too.
    const bool whole = size == kEntry || size >= dataEnd;
    EXPECT_EQ(dlgtemplate::ReadDialogTemplates(cut, "d.res", dialogs, error), whole)
        << "cut at " << size << ": " << error;
    if (whole) continue;
    const char* problem = size < kEntry ? "not a compiled resource file" : "runs past the end";
    EXPECT_NE(error.find(problem), std::string::npos) << "cut at " << size << ": " << error;
  }
}

// --- The reader against what the real template does not have ---------------

// A dialog template written field by field.
class Blob {
 public:
  Blob& Word(uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
    return *this;
  }
  Blob& Dword(uint32_t value) {
    return Word(static_cast<uint16_t>(value)).Word(static_cast<uint16_t>(value >> 16));
  }
  Blob& Text(const std::u16string& text) {
    for (char16_t c : text) Word(c);
    return Word(0);
  }
  Blob& Align() {
    while (bytes.size() % 4 != 0) bytes.push_back(0);
    return *this;
  }
  // help id, extended style, style, x, y, width, height, id
  Blob& Control(uint32_t style, uint32_t id) {
    return Align().Dword(0).Dword(0x200).Dword(style).Word(1).Word(2).Word(3).Word(4).Dword(id);
  }
  Bytes bytes;
};

TEST(DialogTemplateReaderTest, AtomsOrdinalsCreationDataAndNoFont) {
  Blob blob;
  blob.Word(1).Word(0xFFFF).Dword(0).Dword(0x80).Dword(0x80000000).Word(3);
  blob.Word(static_cast<uint16_t>(-5)).Word(6).Word(70).Word(80);
  blob.Word(0xFFFF).Word(7);  // menu 7
  blob.Text(u"MyDialogClass").Text(u"plain");
  // No DS_SETFONT in the style: no font fields, the first control follows.
  blob.Control(0x50000000, 100).Word(0xFFFF).Word(0x85).Text(u"pick one").Word(3);
  blob.bytes.insert(blob.bytes.end(), {0xAA, 0xBB, 0xCC});  // its creation data
  blob.Control(0x50000003, 0xFFFFFFFF).Word(0xFFFF).Word(0x86).Word(0xFFFF).Word(101).Word(0);
  blob.Control(0, 7).Text(u"SysListView32").Text(u"").Word(0);

  DialogTemplate dialog;
  dialog.id = 42;
  dialog.fontPointSize = 9;  // left from before: must not survive
  std::string error;
  ASSERT_TRUE(dlgtemplate::ReadDialogTemplate(blob.bytes, "t", dialog, error)) << error;
  EXPECT_EQ(dialog.id, 42);
  EXPECT_EQ(dialog.style, 0x80000000u);
  EXPECT_EQ(dialog.exStyle, 0x80u);
  EXPECT_EQ(dialog.x, -5);
  EXPECT_EQ(dialog.height, 80);
  EXPECT_EQ(Utf8(dialog.menu), "#7");
  EXPECT_EQ(Utf8(dialog.className), "MyDialogClass");
  EXPECT_EQ(Utf8(dialog.caption), "plain");
  EXPECT_EQ(dialog.fontPointSize, 0);
  EXPECT_EQ(Utf8(dialog.fontName), "");
  ASSERT_EQ(dialog.controls.size(), 3u);
  EXPECT_EQ(dialog.controls[0],
            (ControlTemplate{100, u"pick one", u"ComboBox", 0x50000000, 0x200, 1, 2, 3, 4}));
  EXPECT_EQ(dialog.controls[1],
            (ControlTemplate{-1, u"#101", u"#134", 0x50000003, 0x200, 1, 2, 3, 4}));
  EXPECT_EQ(dialog.controls[2], (ControlTemplate{7, u"", u"SysListView32", 0, 0x200, 1, 2, 3, 4}));
}

// Each predefined class atom by name.
TEST(DialogTemplateReaderTest, PredefinedClassAtoms) {
  const char* const names[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
  for (uint16_t atom = 0x80; atom <= 0x85; ++atom) {
    Blob blob;
    blob.Word(1).Word(0xFFFF).Dword(0).Dword(0).Dword(0).Word(1).Word(0).Word(0).Word(0).Word(0);
    blob.Word(0).Word(0).Word(0);  // no menu, the default class, no caption
    blob.Control(0, 1).Word(0xFFFF).Word(atom).Word(0).Word(0);
    DialogTemplate dialog;
    std::string error;
    ASSERT_TRUE(dlgtemplate::ReadDialogTemplate(blob.bytes, "t", dialog, error)) << error;
    ASSERT_EQ(dialog.controls.size(), 1u);
    EXPECT_EQ(Utf8(dialog.controls[0].className), names[atom - 0x80]);
  }
}

// Resources that are no dialog, or a dialog named by text, are passed over.
TEST(ResourceFileReaderTest, KeepsOnlyDialogsNamedByNumber) {
  const Bytes realFile = ReadAll(kResPath);
  std::vector<dlgtemplate::Resource> resources;
  std::string error;
  ASSERT_TRUE(dlgtemplate::ReadResources(realFile, kResPath, resources, error)) << error;
  ASSERT_EQ(resources.size(), 1u);
  const Bytes data(resources[0].data.begin(), resources[0].data.end());

  Blob file;
  file.Dword(0)
      .Dword(32)
      .Word(0xFFFF)
      .Word(0)
      .Word(0xFFFF)
      .Word(0)
      .Dword(0)
      .Dword(0)
      .Dword(0)
      .Dword(0);
  auto entry = [&](uint16_t type, const std::u16string& name, uint16_t number) {
    Blob header;
    header.Word(0xFFFF).Word(type);
    if (name.empty()) {
      header.Word(0xFFFF).Word(number);
    } else {
      header.Text(name);
    }
    header.Align().Dword(0).Word(0x1030).Word(1033).Dword(0).Dword(0);
    file.Dword(static_cast<uint32_t>(data.size()))
        .Dword(static_cast<uint32_t>(header.bytes.size() + 8));
    file.bytes.insert(file.bytes.end(), header.bytes.begin(), header.bytes.end());
    file.bytes.insert(file.bytes.end(), data.begin(), data.end());
    file.Align();
  };
  entry(5, u"NAMED", 0);
  entry(6, u"", 23000);  // a string table, with a dialog's bytes
  entry(5, u"", 31);

  std::vector<DialogTemplate> dialogs;
  ASSERT_TRUE(dlgtemplate::ReadDialogTemplates(file.bytes, "f.res", dialogs, error)) << error;
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].id, 31);
  EXPECT_EQ(dialogs[0].language, 1033);
  EXPECT_EQ(dialogs[0].controls.size(), std::size(kExpectedControls));
}

}  // namespace
