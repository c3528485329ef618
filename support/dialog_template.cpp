#include "support/dialog_template.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "support/utf.h"

namespace dlgtemplate {
namespace {

constexpr uint32_t kSetFont = 0x40;  // DS_SETFONT, part of DS_SHELLFONT too

// Reads little-endian fields in order. The first problem sticks: later reads
// give zeros and move nothing, so a caller reads a run of fields and checks
// once. Problems are worded with the place they were met.
class Reader {
 public:
  Reader(std::span<const uint8_t> bytes, std::string source, const char* unit, std::string& error)
      : bytes_(bytes), source_(std::move(source)), unit_(unit), error_(error) {}

  bool Failed() const { return failed_; }
  bool AtEnd() const { return position_ >= bytes_.size(); }
  std::size_t Position() const { return position_; }
  void SetContext(std::string context) { context_ = std::move(context); }

  bool Fail(std::size_t at, const std::string& problem) {
    if (!failed_) {
      error_ = source_ + ": at byte " + std::to_string(at) + unit_ + ": " + context_ + problem;
    }
    failed_ = true;
    return false;
  }

  // Moves on by `count` bytes, or fails at the field that would run past the
  // end.
  bool Skip(std::size_t count, const char* what) {
    if (failed_) return false;
    if (count > bytes_.size() - position_) {
      return Fail(position_, std::string(what) + " runs past the end (" +
                                 std::to_string(bytes_.size()) + " bytes)");
    }
    position_ += count;
    return true;
  }

  // A little-endian field of `size` bytes.
  uint32_t Field(std::size_t size, const char* what) {
    const std::size_t at = position_;
    uint32_t value = 0;
    if (Skip(size, what)) {
      for (std::size_t i = size; i-- > 0;) value = value << 8 | bytes_[at + i];
    }
    return value;
  }
  uint16_t Word(const char* what) { return static_cast<uint16_t>(Field(2, what)); }
  uint32_t Dword(const char* what) { return Field(4, what); }
  int Short(const char* what) { return static_cast<int16_t>(Word(what)); }
  uint8_t Byte(const char* what) { return static_cast<uint8_t>(Field(1, what)); }

  // A NUL-terminated UTF-16 text.
  std::u16string Text(const char* what) {
    if (failed_) return {};
    std::u16string text;
    for (std::size_t at = position_; at + 2 <= bytes_.size(); at += 2) {
      if (WordAt(at) == 0) {
        position_ = at + 2;
        return text;
      }
      text += static_cast<char16_t>(WordAt(at));
    }
    Fail(position_,
         std::string(what) + " runs past the end (" + std::to_string(bytes_.size()) + " bytes)");
    return {};
  }

  // 0xFFFF and a number, or a text (a lone NUL is the empty text).
  ResourceName Name(const char* what) {
    ResourceName name;
    const std::size_t at = position_;
    if (at + 2 <= bytes_.size() && WordAt(at) == 0xFFFF) {
      name.isNumber = Skip(4, what);
      name.number = name.isNumber ? WordAt(at + 2) : 0;
    } else {
      name.text = Text(what);
    }
    return name;
  }

  // Items start on a 4-byte boundary.
  bool AlignToDword(const char* what) { return Skip((4 - position_ % 4) % 4, what); }
  // The same, except that the end of the bytes may come first.
  void SkipPaddingBeforeEnd() {
    position_ = std::min(position_ + (4 - position_ % 4) % 4, bytes_.size());
  }
  void MoveTo(std::size_t position) { position_ = position; }

 private:
  uint16_t WordAt(std::size_t at) const {
    return static_cast<uint16_t>(bytes_[at] | bytes_[at + 1] << 8);
  }

  std::span<const uint8_t> bytes_;
  std::size_t position_ = 0;
  std::string source_;
  const char* unit_;
  std::string context_;
  std::string& error_;
  bool failed_ = false;
};

std::u16string Spelled(const ResourceName& name) {
  return name.isNumber ? u"#" + utf::FromUtf8(std::to_string(name.number)) : name.text;
}

// The predefined control classes, which templates name by atom.
std::u16string ControlClass(const ResourceName& name) {
  static const char16_t* const kPredefined[] = {u"Button",  u"Edit",      u"Static",
                                                u"ListBox", u"ScrollBar", u"ComboBox"};
  if (name.isNumber && name.number >= 0x80 && name.number <= 0x85) {
    return kPredefined[name.number - 0x80];
  }
  return Spelled(name);
}

bool ReadControl(Reader& reader, ControlTemplate& control) {
  reader.AlignToDword("its padding");
  reader.Dword("its help id");
  control.exStyle = reader.Dword("its extended style");
  control.style = reader.Dword("its style");
  control.x = reader.Short("its position");
  control.y = reader.Short("its position");
  control.width = reader.Short("its size");
  control.height = reader.Short("its size");
  control.id = static_cast<int32_t>(reader.Dword("its id"));
  control.className = ControlClass(reader.Name("its class"));
  control.text = Spelled(reader.Name("its text"));
  // Creation data for the control, handed to it as it is made.
  reader.Skip(reader.Word("the size of its creation data"), "its creation data");
  return !reader.Failed();
}

// A .res file begins with an empty entry: no data, a 32-byte header, type
// and name both the number 0. Its first 16 bytes tell a .res from any other
// file.
constexpr uint8_t kLeadingEntry[16] = {0, 0, 0, 0, 32, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0};
constexpr std::size_t kLeadingEntrySize = 32;

bool ReadEntry(Reader& reader, std::span<const uint8_t> file, Resource& entry) {
  const std::size_t start = reader.Position();
  const uint32_t dataSize = reader.Dword("the resource's data size");
  const uint32_t headerSize = reader.Dword("the resource's header size");
  entry.type = reader.Name("the resource's type");
  entry.name = reader.Name("the resource's name");
  reader.AlignToDword("the resource header's padding");
  reader.Dword("the resource's data version");
  reader.Word("the resource's memory flags");
  entry.language = reader.Word("the resource's language");
  reader.Dword("the resource's version");
  reader.Dword("the resource's characteristics");
  if (reader.Failed()) return false;
  if (reader.Position() - start > headerSize) {
    return reader.Fail(start,
                       "header size " + std::to_string(headerSize) + " is smaller than its fields");
  }
  if (headerSize > file.size() - start || dataSize > file.size() - start - headerSize) {
    return reader.Fail(start, "the resource's data (" + std::to_string(dataSize) +
                                  " bytes) runs past the end (" + std::to_string(file.size()) +
                                  " bytes)");
  }
  entry.data = file.subspan(start + headerSize, dataSize);
  reader.MoveTo(start + headerSize + dataSize);
  reader.SkipPaddingBeforeEnd();
  return true;
}

}  // namespace

bool ReadResources(std::span<const uint8_t> file, const std::string& source,
                   std::vector<Resource>& resources, std::string& error) {
  resources.clear();
  Reader reader(file, source, "", error);
  if (file.size() < kLeadingEntrySize ||
      !std::equal(std::begin(kLeadingEntry), std::end(kLeadingEntry), file.begin())) {
    return reader.Fail(0,
                       "not a compiled resource file: it does not begin with the empty "
                       "entry a .res file begins with");
  }
  reader.MoveTo(kLeadingEntrySize);
  while (!reader.AtEnd()) {
    if (!ReadEntry(reader, file, resources.emplace_back())) return false;
  }
  return true;
}

bool ReadDialogTemplate(std::span<const uint8_t> data, const std::string& source,
                        DialogTemplate& dialog, std::string& error) {
  DialogTemplate fresh;
  fresh.id = dialog.id;
  fresh.language = dialog.language;
  dialog = std::move(fresh);
  Reader reader(data, source, " of the template", error);
  const uint16_t version = reader.Word("the version");
  const uint16_t signature = reader.Word("the signature");
  if (reader.Failed()) return false;
  if (signature != 0xFFFF) {
    return reader.Fail(2, "not an extended dialog template (signature " +
                              std::to_string(signature) + ", not 65535)");
  }
  if (version != 1) {
    return reader.Fail(0,
                       "extended dialog template version " + std::to_string(version) + ", not 1");
  }
  reader.Dword("the help id");
  dialog.exStyle = reader.Dword("the extended style");
  dialog.style = reader.Dword("the style");
  const uint16_t controlCount = reader.Word("the number of controls");
  dialog.x = reader.Short("the position");
  dialog.y = reader.Short("the position");
  dialog.width = reader.Short("the size");
  dialog.height = reader.Short("the size");
  dialog.menu = Spelled(reader.Name("the menu"));
  dialog.className = Spelled(reader.Name("the class"));
  dialog.caption = reader.Text("the caption");
  if ((dialog.style & kSetFont) != 0) {
    dialog.fontPointSize = reader.Word("the font's size");
    dialog.fontWeight = reader.Word("the font's weight");
    dialog.fontItalic = reader.Byte("the font's italic flag") != 0;
    dialog.fontCharset = reader.Byte("the font's character set");
    dialog.fontName = reader.Text("the font's name");
  }
  for (int i = 0; i < controlCount && !reader.Failed(); ++i) {
    reader.SetContext("control " + std::to_string(i + 1) + " of " + std::to_string(controlCount) +
                      ": ");
    ReadControl(reader, dialog.controls.emplace_back());
  }
  return !reader.Failed();
}

bool ReadDialogTemplates(std::span<const uint8_t> file, const std::string& source,
                         std::vector<DialogTemplate>& dialogs, std::string& error) {
  dialogs.clear();
  std::vector<Resource> resources;
  if (!ReadResources(file, source, resources, error)) return false;
  for (const Resource& resource : resources) {
    if (!resource.type.isNumber || resource.type.number != kDialogResourceType ||
        !resource.name.isNumber) {
      continue;
    }
    DialogTemplate dialog;
    const std::string place = source + ": dialog " + std::to_string(resource.name.number);
    if (!ReadDialogTemplate(resource.data, place, dialog, error)) return false;
    dialog.id = resource.name.number;
    dialog.language = resource.language;
    dialogs.push_back(std::move(dialog));
  }
  return true;
}

}  // namespace dlgtemplate
