#include "standin/user32_rc_script.h"

#include <cctype>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <utility>

namespace dlgstandin {
namespace {

struct ParseError {
  std::string source;
  int line;
  std::string message;
};

// The names <windows.h> gives a resource script, as far as dialogs use them.
const std::map<std::string, int64_t, std::less<>>& WindowsNames() {
  static const std::map<std::string, int64_t, std::less<>> names = {
      {"WS_OVERLAPPED", 0x00000000},
      {"WS_POPUP", 0x80000000},
      {"WS_CHILD", 0x40000000},
      {"WS_MINIMIZE", 0x20000000},
      {"WS_VISIBLE", 0x10000000},
      {"WS_DISABLED", 0x08000000},
      {"WS_CLIPSIBLINGS", 0x04000000},
      {"WS_CLIPCHILDREN", 0x02000000},
      {"WS_MAXIMIZE", 0x01000000},
      {"WS_CAPTION", 0x00C00000},
      {"WS_BORDER", 0x00800000},
      {"WS_DLGFRAME", 0x00400000},
      {"WS_VSCROLL", 0x00200000},
      {"WS_HSCROLL", 0x00100000},
      {"WS_SYSMENU", 0x00080000},
      {"WS_THICKFRAME", 0x00040000},
      {"WS_GROUP", 0x00020000},
      {"WS_TABSTOP", 0x00010000},
      {"WS_MINIMIZEBOX", 0x00020000},
      {"WS_MAXIMIZEBOX", 0x00010000},
      {"DS_ABSALIGN", 0x01},
      {"DS_SYSMODAL", 0x02},
      {"DS_3DLOOK", 0x04},
      {"DS_FIXEDSYS", 0x08},
      {"DS_NOFAILCREATE", 0x10},
      {"DS_LOCALEDIT", 0x20},
      {"DS_SETFONT", 0x40},
      {"DS_MODALFRAME", 0x80},
      {"DS_NOIDLEMSG", 0x100},
      {"DS_SETFOREGROUND", 0x200},
      {"DS_CONTROL", 0x400},
      {"DS_CENTER", 0x800},
      {"DS_CENTERMOUSE", 0x1000},
      {"DS_CONTEXTHELP", 0x2000},
      {"DS_SHELLFONT", 0x48},
      {"BS_PUSHBUTTON", 0x0},
      {"BS_DEFPUSHBUTTON", 0x1},
      {"BS_CHECKBOX", 0x2},
      {"BS_AUTOCHECKBOX", 0x3},
      {"BS_RADIOBUTTON", 0x4},
      {"BS_3STATE", 0x5},
      {"BS_AUTO3STATE", 0x6},
      {"BS_GROUPBOX", 0x7},
      {"BS_AUTORADIOBUTTON", 0x9},
      {"BS_LEFTTEXT", 0x20},
      {"BS_MULTILINE", 0x2000},
      {"BS_NOTIFY", 0x4000},
      {"BS_FLAT", 0x8000},
      {"SS_LEFT", 0x0},
      {"SS_CENTER", 0x1},
      {"SS_RIGHT", 0x2},
      {"SS_NOTIFY", 0x100},
      {"SS_SUNKEN", 0x1000},
      {"WS_EX_DLGMODALFRAME", 0x1},
      {"WS_EX_TOPMOST", 0x8},
      {"WS_EX_TRANSPARENT", 0x20},
      {"WS_EX_TOOLWINDOW", 0x80},
      {"WS_EX_CLIENTEDGE", 0x200},
      {"WS_EX_STATICEDGE", 0x20000},
      {"WS_EX_APPWINDOW", 0x40000},
      {"IDOK", 1},
      {"IDCANCEL", 2},
      {"IDABORT", 3},
      {"IDRETRY", 4},
      {"IDIGNORE", 5},
      {"IDYES", 6},
      {"IDNO", 7},
      {"IDCLOSE", 8},
      {"IDHELP", 9},
      {"LANG_NEUTRAL", 0x00},
      {"LANG_CHINESE", 0x04},
      {"LANG_ENGLISH", 0x09},
      {"LANG_JAPANESE", 0x11},
      {"LANG_KOREAN", 0x12},
      {"SUBLANG_NEUTRAL", 0x00},
      {"SUBLANG_DEFAULT", 0x01},
      {"SUBLANG_SYS_DEFAULT", 0x02},
      {"SUBLANG_ENGLISH_US", 0x01},
      {"SUBLANG_KOREAN", 0x01},
  };
  return names;
}

constexpr uint32_t kWsChild = 0x40000000;
constexpr uint32_t kWsVisible = 0x10000000;
constexpr uint32_t kWsPopup = 0x80000000;
constexpr uint32_t kWsBorder = 0x00800000;
constexpr uint32_t kWsSysMenu = 0x00080000;
constexpr uint32_t kWsCaption = 0x00C00000;
constexpr uint32_t kDsSetFont = 0x40;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool DecodeUtf8(std::string_view bytes, std::u16string& out) {
  out.clear();
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    char32_t code = 0;
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      code = lead;
      length = 1;
    } else if ((lead & 0xE0) == 0xC0) {
      code = lead & 0x1F;
      length = 2;
      minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      code = lead & 0x0F;
      length = 3;
      minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      code = lead & 0x07;
      length = 4;
      minimum = 0x10000;
    } else {
      return false;
    }
    if (i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += length;
  }
  return true;
}

enum class TokenKind { Name, Number, String, Punct, End };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;  // the name, or the punctuation character
  int64_t number = 0;
  std::u16string string;
  int line = 0;
};

struct Define {
  std::string body;
  std::string source;
  int line;
};

// What the preprocessor carries from one file to the next.
struct Context {
  const IncludeReader& readInclude;
  std::map<std::string, Define, std::less<>> defines;
  int codePage = 0;
  int includeDepth = 0;
};

// Turns text into tokens, running the directives it meets in order and
// replacing defined names by their bodies, as the preprocessor does before
// the resource compiler sees the script. A header (`headerOnly`) contributes
// its directives only.
class Lexer {
 public:
  enum class Mode {
    Script,  // tokens with defined names replaced
    Header,  // directives only
    Body,    // a definition's tokens as written
  };

  Lexer(std::string_view text, std::string source, Context& context, Mode mode, int firstLine = 1)
      : text_(text),
        source_(std::move(source)),
        context_(context),
        headerOnly_(mode == Mode::Header),
        expand_(mode == Mode::Script),
        line_(firstLine) {}

  std::vector<Token> Run() {
    std::vector<Token> tokens;
    std::set<std::string> expanding;
    for (Token token = Next(); token.kind != TokenKind::End; token = Next()) {
      if (headerOnly_) continue;
      if (expand_) {
        Emit(token, tokens, expanding, 0);
      } else {
        tokens.push_back(token);
      }
    }
    Token end;
    end.line = line_;
    tokens.push_back(end);
    return tokens;
  }

 private:
  [[noreturn]] void Fail(const std::string& message) const {
    throw ParseError{source_, line_, message};
  }

  void Emit(const Token& token, std::vector<Token>& out, std::set<std::string>& expanding,
            int depth) {
    if (token.kind == TokenKind::Name && expanding.count(token.text) == 0) {
      auto found = context_.defines.find(token.text);
      if (found != context_.defines.end()) {
        if (depth > 32) Fail("definitions nest too deeply at " + token.text);
        const Define& define = found->second;
        Lexer body(define.body, define.source, context_, Mode::Body, define.line);
        std::vector<Token> expansion = body.Run();
        expansion.pop_back();
        expanding.insert(token.text);
        for (Token& replaced : expansion) {
          replaced.line = token.line;
          Emit(replaced, out, expanding, depth + 1);
        }
        expanding.erase(token.text);
        return;
      }
    }
    out.push_back(token);
  }

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }

  // Skips blanks and comments; true when a line break was crossed.
  void SkipSpace() {
    while (!AtEnd()) {
      const char c = Peek();
      if (c == '\n') {
        ++line_;
        ++pos_;
        atLineStart_ = true;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (c == '/' && Peek(1) == '/') {
        while (!AtEnd() && Peek() != '\n') ++pos_;
      } else if (c == '/' && Peek(1) == '*') {
        pos_ += 2;
        while (!AtEnd() && !(Peek() == '*' && Peek(1) == '/')) {
          if (Peek() == '\n') ++line_;
          ++pos_;
        }
        if (AtEnd()) Fail("comment not closed");
        pos_ += 2;
      } else {
        return;
      }
    }
  }

  Token Next() {
    for (;;) {
      SkipSpace();
      if (AtEnd()) return Token{};
      if (atLineStart_ && Peek() == '#') {
        Directive();
        continue;
      }
      atLineStart_ = false;

      Token token;
      token.line = line_;
      const char c = Peek();
      if ((c == 'L' || c == 'l') && Peek(1) == '"') {
        ++pos_;
        continue;  // a wide literal is the same text to the resource compiler
      }
      if (c == '"') {
        token.kind = TokenKind::String;
        token.string = StringLiteral();
        return token;
      }
      if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
        token.kind = TokenKind::Name;
        while (!AtEnd() && (std::isalnum(static_cast<unsigned char>(Peek())) || Peek() == '_')) {
          token.text.push_back(Peek());
          ++pos_;
        }
        return token;
      }
      if (std::isdigit(static_cast<unsigned char>(c))) {
        token.kind = TokenKind::Number;
        token.number = NumberLiteral();
        return token;
      }
      if (std::string_view(",|()-+~&{}").find(c) != std::string_view::npos) {
        token.kind = TokenKind::Punct;
        token.text = std::string(1, c);
        ++pos_;
        return token;
      }
      if (headerOnly_) {
        ++pos_;  // the resource compiler ignores a header's C declarations
        continue;
      }
      Fail(std::string("unexpected character '") + c + "'");
    }
  }

  int64_t NumberLiteral() {
    int64_t value = 0;
    if (Peek() == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
      pos_ += 2;
      if (!std::isxdigit(static_cast<unsigned char>(Peek()))) Fail("hexadecimal number expected");
      while (std::isxdigit(static_cast<unsigned char>(Peek()))) {
        const char d = static_cast<char>(std::tolower(static_cast<unsigned char>(Peek())));
        value = value * 16 + (d <= '9' ? d - '0' : d - 'a' + 10);
        if (value > 0xFFFFFFFFLL) Fail("number too large");
        ++pos_;
      }
    } else {
      while (std::isdigit(static_cast<unsigned char>(Peek()))) {
        value = value * 10 + (Peek() - '0');
        if (value > 0xFFFFFFFFLL) Fail("number too large");
        ++pos_;
      }
    }
    while (Peek() == 'L' || Peek() == 'l' || Peek() == 'U' || Peek() == 'u') ++pos_;
    if (std::isalnum(static_cast<unsigned char>(Peek())) || Peek() == '_') Fail("bad number");
    return value;
  }

  std::u16string StringLiteral() {
    ++pos_;  // the opening quote
    std::string bytes;
    for (;;) {
      if (AtEnd() || Peek() == '\n') Fail("text not closed");
      const char c = Peek();
      if (c == '"') {
        if (Peek(1) == '"') {
          bytes.push_back('"');
          pos_ += 2;
          continue;
        }
        ++pos_;
        break;
      }
      if (c == '\\') {
        const char e = Peek(1);
        switch (e) {
          case 'n':
            bytes.push_back('\n');
            break;
          case 'r':
            bytes.push_back('\r');
            break;
          case 't':
            bytes.push_back('\t');
            break;
          case '\\':
            bytes.push_back('\\');
            break;
          case '"':
            bytes.push_back('"');
            break;
          default:
            Fail(std::string("unsupported escape \\") + e);
        }
        pos_ += 2;
        continue;
      }
      bytes.push_back(c);
      ++pos_;
    }

    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (!ascii && context_.codePage != 65001) {
      Fail("text beyond ASCII needs #pragma code_page(65001) before it");
    }
    std::u16string text;
    if (!DecodeUtf8(bytes, text)) Fail("text is not valid UTF-8");
    return text;
  }

  // One preprocessor line, continuation lines joined, comments removed.
  std::string DirectiveLine() {
    std::string line;
    while (!AtEnd() && Peek() != '\n') {
      if (Peek() == '\\' && (Peek(1) == '\n' || (Peek(1) == '\r' && Peek(2) == '\n'))) {
        pos_ += Peek(1) == '\r' ? 3 : 2;
        ++line_;
        line.push_back(' ');
      } else if (Peek() == '/' && Peek(1) == '/') {
        while (!AtEnd() && Peek() != '\n') ++pos_;
      } else if (Peek() == '/' && Peek(1) == '*') {
        pos_ += 2;
        while (!AtEnd() && !(Peek() == '*' && Peek(1) == '/')) {
          if (Peek() == '\n') ++line_;
          ++pos_;
        }
        if (AtEnd()) Fail("comment not closed");
        pos_ += 2;
        line.push_back(' ');
      } else {
        line.push_back(Peek());
        ++pos_;
      }
    }
    return line;
  }

  static std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
      text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
      text.remove_suffix(1);
    }
    return text;
  }

  static std::string_view Word(std::string_view& text) {
    text = Trim(text);
    std::size_t end = 0;
    while (end < text.size() &&
           (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) {
      ++end;
    }
    std::string_view word = text.substr(0, end);
    text.remove_prefix(end);
    return word;
  }

  void Directive() {
    const int directiveLine = line_;
    ++pos_;  // '#'
    const std::string line = DirectiveLine();
    std::string_view rest = line;
    const std::string_view name = Word(rest);

    if (name == "include") {
      rest = Trim(rest);
      if (!rest.empty() && rest.front() == '<') return;  // the Windows names are built in
      if (rest.size() < 2 || rest.front() != '"' || rest.back() != '"') {
        line_ = directiveLine;
        Fail("#include needs \"file\" or <file>");
      }
      const std::string file(rest.substr(1, rest.size() - 2));
      std::optional<std::string> included = context_.readInclude(file);
      if (!included) {
        line_ = directiveLine;
        Fail("cannot open include file " + file);
      }
      if (context_.includeDepth > 16) Fail("includes nest too deeply");
      ++context_.includeDepth;
      Lexer header(*included, file, context_, Mode::Header);
      header.Run();
      --context_.includeDepth;
    } else if (name == "define") {
      const std::string_view defined = Word(rest);
      if (defined.empty()) {
        line_ = directiveLine;
        Fail("#define needs a name");
      }
      if (!rest.empty() && rest.front() == '(') return;  // macros with arguments: not for scripts
      context_.defines[std::string(defined)] =
          Define{std::string(Trim(rest)), source_, directiveLine};
    } else if (name == "undef") {
      context_.defines.erase(std::string(Word(rest)));
    } else if (name == "pragma") {
      const std::string_view pragma = Word(rest);
      if (pragma == "code_page") {
        rest = Trim(rest);
        if (rest.size() < 3 || rest.front() != '(' || rest.back() != ')') {
          line_ = directiveLine;
          Fail("#pragma code_page needs (number)");
        }
        context_.codePage = std::atoi(std::string(rest.substr(1, rest.size() - 2)).c_str());
      }
    }
    // Conditionals and the rest change nothing in the scripts read here.
  }

  std::string_view text_;
  std::string source_;
  Context& context_;
  bool headerOnly_;
  bool expand_;
  std::size_t pos_ = 0;
  int line_;
  bool atLineStart_ = true;
};

// A style as written: the bits it sets and those it removes with NOT.
struct Style {
  uint32_t set = 0;
  uint32_t cleared = 0;
};

class Parser {
 public:
  Parser(std::vector<Token> tokens, std::string source)
      : tokens_(std::move(tokens)), source_(std::move(source)) {}

  std::vector<DialogTemplate> Run() {
    std::vector<DialogTemplate> dialogs;
    while (Peek().kind != TokenKind::End) {
      if (IsKeyword(Peek(), "LANGUAGE")) {
        Take();
        language_ = Language();
        continue;
      }
      if (IsKeyword(Peek(), "STRINGTABLE")) {
        Take();
        SkipBlock();
        continue;
      }
      const Token name = Take();
      if (name.kind != TokenKind::Number && name.kind != TokenKind::Name) {
        Fail(name, "resource name expected");
      }
      const Token type = Take();
      if (IsKeyword(type, "DIALOGEX")) {
        if (name.kind != TokenKind::Number) Fail(name, "dialog ids must be numbers");
        dialogs.push_back(Dialog(static_cast<int>(name.number)));
      } else if (IsKeyword(type, "DIALOG")) {
        Fail(type, "only DIALOGEX templates are supported");
      } else if (IsKeyword(type, "VERSIONINFO")) {
        SkipBlock();
      } else if (type.kind == TokenKind::Number || IsKeyword(type, "ICON") ||
                 IsKeyword(type, "BITMAP") || IsKeyword(type, "CURSOR") ||
                 IsKeyword(type, "RT_MANIFEST") || IsKeyword(type, "HTML") ||
                 IsKeyword(type, "RCDATA")) {
        if (Peek().kind != TokenKind::String) Fail(Peek(), "file name expected");
        Take();
      } else {
        Fail(type, "unsupported resource type");
      }
    }
    return dialogs;
  }

 private:
  [[noreturn]] void Fail(const Token& at, const std::string& message) const {
    throw ParseError{source_, at.line, message};
  }

  const Token& Peek() const { return tokens_[pos_]; }
  Token Take() {
    const Token& token = tokens_[pos_];
    if (token.kind != TokenKind::End) ++pos_;
    return token;
  }

  static bool IsKeyword(const Token& token, std::string_view keyword) {
    return token.kind == TokenKind::Name && EqualsIgnoringCase(token.text, keyword);
  }
  static bool IsPunct(const Token& token, char c) {
    return token.kind == TokenKind::Punct && token.text.size() == 1 && token.text[0] == c;
  }
  bool IsBlockStart(const Token& token) const {
    return IsKeyword(token, "BEGIN") || IsPunct(token, '{');
  }
  bool IsBlockEnd(const Token& token) const {
    return IsKeyword(token, "END") || IsPunct(token, '}');
  }

  void Comma() {
    if (!IsPunct(Peek(), ',')) Fail(Peek(), "',' expected");
    Take();
  }
  bool OptionalComma() {
    if (!IsPunct(Peek(), ',')) return false;
    Take();
    return true;
  }

  std::u16string Text() {
    if (Peek().kind != TokenKind::String) Fail(Peek(), "text in quotes expected");
    return Take().string;
  }

  // Skips statements up to a block and the block itself, nested blocks
  // included.
  void SkipBlock() {
    while (!IsBlockStart(Peek())) {
      if (Peek().kind == TokenKind::End) Fail(Peek(), "BEGIN expected");
      Take();
    }
    int depth = 0;
    do {
      const Token token = Take();
      if (token.kind == TokenKind::End) Fail(token, "END expected");
      if (IsBlockStart(token)) ++depth;
      if (IsBlockEnd(token)) --depth;
    } while (depth > 0);
  }

  int64_t Primary() {
    const Token token = Take();
    if (token.kind == TokenKind::Number) return token.number;
    if (IsPunct(token, '-')) return -Primary();
    if (IsPunct(token, '~')) return ~Primary();
    if (IsPunct(token, '(')) {
      const Style inner = Expression();
      if (inner.cleared != 0) Fail(token, "NOT inside parentheses");
      if (!IsPunct(Peek(), ')')) Fail(Peek(), "')' expected");
      Take();
      return static_cast<int32_t>(inner.set);
    }
    if (token.kind == TokenKind::Name) {
      const auto& names = WindowsNames();
      auto found = names.find(token.text);
      if (found == names.end()) Fail(token, "unknown name " + token.text);
      return found->second;
    }
    Fail(token, "number or name expected");
  }

  int64_t Sum() {
    int64_t value = Primary();
    while (IsPunct(Peek(), '+') || IsPunct(Peek(), '-')) {
      const bool plus = IsPunct(Take(), '+');
      const int64_t operand = Primary();
      value = plus ? value + operand : value - operand;
    }
    return value;
  }

  int64_t Intersection() {
    int64_t value = Sum();
    while (IsPunct(Peek(), '&')) {
      Take();
      value &= Sum();
    }
    return value;
  }

  Style Expression() {
    Style style;
    bool first = true;
    do {
      if (!first) Take();  // '|'
      first = false;
      if (IsKeyword(Peek(), "NOT")) {
        Take();
        const auto bits = static_cast<uint32_t>(Primary());
        style.set &= ~bits;
        style.cleared |= bits;
      } else {
        style.set |= static_cast<uint32_t>(Intersection());
      }
    } while (IsPunct(Peek(), '|'));
    return style;
  }

  int32_t Integer() {
    const Token& at = Peek();
    const Style value = Expression();
    if (value.cleared != 0) Fail(at, "NOT is only for styles");
    return static_cast<int32_t>(value.set);
  }

  uint16_t Language() {
    const int32_t primary = Integer();
    Comma();
    const int32_t sub = Integer();
    return static_cast<uint16_t>((sub << 10) | primary);
  }

  DialogTemplate Dialog(int id) {
    DialogTemplate dialog;
    dialog.id = id;
    dialog.language = language_;
    dialog.x = Integer();
    Comma();
    dialog.y = Integer();
    Comma();
    dialog.width = Integer();
    Comma();
    dialog.height = Integer();
    if (OptionalComma()) Integer();  // help id

    std::optional<uint32_t> style;
    bool hasCaption = false;
    while (!IsBlockStart(Peek())) {
      if (Peek().kind == TokenKind::End) Fail(Peek(), "BEGIN expected");
      const Token statement = Take();
      if (IsKeyword(statement, "STYLE")) {
        const Style written = Expression();
        style = written.set;
      } else if (IsKeyword(statement, "EXSTYLE")) {
        dialog.exStyle = Expression().set;
      } else if (IsKeyword(statement, "CAPTION")) {
        dialog.caption = Text();
        hasCaption = true;
      } else if (IsKeyword(statement, "FONT")) {
        dialog.fontPointSize = Integer();
        Comma();
        dialog.fontName = Text();
        if (OptionalComma()) {
          dialog.fontWeight = Integer();
          if (OptionalComma()) {
            dialog.fontItalic = Integer() != 0;
            if (OptionalComma()) dialog.fontCharset = Integer();
          }
        }
      } else if (IsKeyword(statement, "LANGUAGE")) {
        dialog.language = Language();
      } else {
        Fail(statement, "unsupported dialog statement");
      }
    }
    Take();

    dialog.style = style.value_or(kWsPopup | kWsBorder | kWsSysMenu);
    if (hasCaption) dialog.style |= kWsCaption;
    if (dialog.fontPointSize != 0) dialog.style |= kDsSetFont;

    while (!IsBlockEnd(Peek())) {
      if (Peek().kind == TokenKind::End) Fail(Peek(), "END expected");
      const Token statement = Take();
      if (!IsKeyword(statement, "CONTROL")) Fail(statement, "only CONTROL rows are supported");
      dialog.controls.push_back(Control());
    }
    Take();
    return dialog;
  }

  ControlTemplate Control() {
    ControlTemplate control;
    control.text = Text();
    Comma();
    control.id = Integer();
    Comma();
    control.className = Text();
    Comma();
    const Style style = Expression();
    control.style = ((kWsChild | kWsVisible) & ~style.cleared) | style.set;
    Comma();
    control.x = Integer();
    Comma();
    control.y = Integer();
    Comma();
    control.width = Integer();
    Comma();
    control.height = Integer();
    if (OptionalComma()) {
      control.exStyle = Expression().set;
      if (OptionalComma()) Integer();  // help id
    }
    return control;
  }

  std::vector<Token> tokens_;
  std::string source_;
  std::size_t pos_ = 0;
  uint16_t language_ = 0;
};

}  // namespace

bool ParseResourceScript(std::string_view text, std::string_view sourceName,
                         const IncludeReader& readInclude, ResourceScript& script,
                         std::string& error) {
  try {
    Context context{readInclude, {}, 0, 0};
    Lexer lexer(text, std::string(sourceName), context, Lexer::Mode::Script);
    std::vector<Token> tokens = lexer.Run();
    Parser parser(std::move(tokens), std::string(sourceName));
    ResourceScript parsed;
    parsed.dialogs = parser.Run();
    parsed.codePage = context.codePage;
    script = std::move(parsed);
    return true;
  } catch (const ParseError& failure) {
    std::ostringstream message;
    message << failure.source << ":" << failure.line << ": " << failure.message;
    error = message.str();
    return false;
  }
}

namespace {

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace

bool LoadResourceScript(const std::string& path, ResourceScript& script, std::string& error) {
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text) {
    error = path + ": cannot be read";
    return false;
  }
  const std::filesystem::path directory = std::filesystem::path(path).parent_path();
  const IncludeReader readInclude = [&directory](std::string_view name) {
    return ReadWholeFile(directory / std::string(name));
  };
  return ParseResourceScript(*text, path, readInclude, script, error);
}

}  // namespace dlgstandin
