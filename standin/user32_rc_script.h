// The dialog templates of a resource script (.rc), read the way the resource
// compiler reads them, for the Linux stand-in of the dialog manager: on
// Windows the templates are compiled into the module; on Linux the process
// that loads the module reads them from the script the module is built with.
//
// Only what dialog scripts need is understood, and anything else is an error
// rather than a guess, so that a script the stand-in accepts means the same
// to the resource compiler:
//
// - Preprocessor: `#include "file"` (read for its #defines only, as the
//   resource compiler does with headers), `#include <...>` (the Windows
//   names below are built in), `#define NAME expression`,
//   `#pragma code_page(65001)`. Other directives are skipped. Comments.
// - `LANGUAGE primary, sub` with the LANG_ and SUBLANG_ names or numbers.
// - `id DIALOGEX x, y, width, height` with STYLE, EXSTYLE, CAPTION, FONT and
//   LANGUAGE, then BEGIN/END (or braces) around `CONTROL` rows:
//   `CONTROL "text", id, "class", style, x, y, width, height [, exstyle]`.
//   As the resource compiler does, WS_CHILD | WS_VISIBLE is added to every
//   control's style unless the style says `NOT WS_VISIBLE`; CAPTION adds
//   WS_CAPTION and FONT adds DS_SETFONT to the dialog's style.
// - VERSIONINFO and STRINGTABLE blocks and one-line file resources (ICON,
//   BITMAP, 24 manifests, ...) are skipped.
// - Expressions: numbers (decimal, 0x hex, an L or U suffix), names,
//   parentheses, unary minus and ~, binary | + - &, and `NOT name`.
// - Texts: "" for a quote, \n \r \t \\ and \" escapes. Any byte beyond ASCII
//   requires `#pragma code_page(65001)` first, and must then be UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dlgstandin {

struct ControlTemplate {
  int id = 0;  // -1 for controls that are never addressed
  std::u16string text;
  std::u16string className;  // as written: "Button", "Static", ...
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
  std::u16string caption;
  int fontPointSize = 0;  // 0: no FONT statement
  std::u16string fontName;
  int fontWeight = 0;
  bool fontItalic = false;
  int fontCharset = 0;
  std::vector<ControlTemplate> controls;  // template order, which is tab order
};

struct ResourceScript {
  int codePage = 0;  // from #pragma code_page; 0 when the script sets none
  std::vector<DialogTemplate> dialogs;
};

// Gives the text of a file named by `#include "name"`, or nothing when there
// is no such file.
using IncludeReader = std::function<std::optional<std::string>(std::string_view name)>;

// Parses `text`. On failure gives false and an error that reads
// "<sourceName>:<line>: <problem>".
bool ParseResourceScript(std::string_view text, std::string_view sourceName,
                         const IncludeReader& readInclude, ResourceScript& script,
                         std::string& error);

// Reads the file and parses it; includes are looked up beside it.
bool LoadResourceScript(const std::string& path, ResourceScript& script, std::string& error);

}  // namespace dlgstandin
