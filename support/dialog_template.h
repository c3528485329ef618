// Dialog templates as the resource compiler leaves them and the dialog
// manager reads them: a compiled resource file (.res), and the extended
// dialog template (DLGTEMPLATEEX) that each of its dialog resources holds.
// The Linux dialog stand-in reads its templates from the .res the module's
// resource script compiles to, the same bytes the linker puts into
// Sorvane.dll; vekhost on Windows reads the same template out of the loaded
// module.
//
// Every read is checked against the bytes given: a truncated or malformed
// file gives one error naming the place and the problem, never a read past
// the end.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace dlgtemplate {

// Names given by number (a resource ordinal or a class atom) are spelled
// "#N", as Windows spells them in texts (FindResource's "#23000", the dialog
// class "#32770").

struct ControlTemplate {
  int id = 0;  // -1 for controls that are never addressed
  std::u16string text;
  // The predefined classes by name ("Button", "Static", ...) when the
  // template gives their atom; otherwise the name as the template spells it.
  std::u16string className;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const ControlTemplate&) const = default;
};

struct DialogTemplate {
  int id = 0;
  uint16_t language = 0;  // MAKELANGID(primary, sub): Korean is 1042
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  std::u16string menu;       // empty: no menu
  std::u16string className;  // empty: the dialog manager's own class
  std::u16string caption;
  int fontPointSize = 0;  // 0 when the style has no DS_SETFONT
  std::u16string fontName;
  int fontWeight = 0;
  bool fontItalic = false;
  int fontCharset = 0;
  std::vector<ControlTemplate> controls;  // template order, which is tab order
};

inline constexpr uint16_t kDialogResourceType = 5;  // RT_DIALOG

// A resource's type or name: a number, or a text.
struct ResourceName {
  bool isNumber = false;
  uint16_t number = 0;
  std::u16string text;
};

// One resource of a .res file; `data` lies within the file's bytes.
struct Resource {
  ResourceName type;
  ResourceName name;
  uint16_t language = 0;
  std::span<const uint8_t> data;
};

// Reads the entries of a .res file, in file order. Errors read
// "<source>: at byte N: problem".
bool ReadResources(std::span<const uint8_t> file, const std::string& source,
                   std::vector<Resource>& resources, std::string& error);

// Reads one DLGTEMPLATEEX into `dialog`, all but `id` and `language`, which
// the resource holds, not the template. Errors read
// "<source>: at byte N of the template: problem".
bool ReadDialogTemplate(std::span<const uint8_t> data, const std::string& source,
                        DialogTemplate& dialog, std::string& error);

// Every dialog of a .res file that is named by number, in file order, with
// its id and language. Dialogs named by text are left out: the dialog
// manager stand-in looks templates up by number only.
bool ReadDialogTemplates(std::span<const uint8_t> file, const std::string& source,
                         std::vector<DialogTemplate>& dialogs, std::string& error);

}  // namespace dlgtemplate
