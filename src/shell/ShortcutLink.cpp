#include "shell/ShortcutLink.h"

#include "platform/Text.h"

namespace qvr {

namespace {

constexpr int kCsidlDesktopDirectory = 16;
// Ctrl and Alt in the modifier byte of a link's hot key.
constexpr std::uint16_t kHotkeyCtrlAlt = 0x0600;

constexpr std::int32_t kSwShowMaximized = 3;
constexpr std::int32_t kSwShowMinNoActive = 7;
constexpr std::int32_t kSwRestore = 9;

}  // namespace

std::string TShortcutLink::HotKey() {
  if (hotKey_ == 0) hotKey_ = ' ';
  std::string text;
  AppendUtf8(text, hotKey_);
  return text;
}

void TShortcutLink::SetHotKey(const std::string& value) {
  std::size_t position = 0;
  char32_t c = value.empty() ? U' ' : NextCodePoint(value, position);
  if (c >= U'a' && c <= U'z') c = c - U'a' + U'A';
  // A character beyond 16 bits has no character code to keep: no hot key.
  hotKey_ = static_cast<std::uint16_t>(c < U' ' || c > 0xFFFF ? U' ' : c);
}

TShowCmd TShortcutLink::ShowCmd() const {
  switch (showCmd_) {
    case kSwShowMaximized:
      return TShowCmd::scShowMaximized;
    case kSwShowMinNoActive:
      return TShowCmd::scShowMinimized;
    default:
      return TShowCmd::scShowNormal;
  }
}

void TShortcutLink::SetShowCmd(TShowCmd value) {
  switch (value) {
    case TShowCmd::scShowMaximized:
      showCmd_ = kSwShowMaximized;
      break;
    case TShowCmd::scShowMinimized:
      showCmd_ = kSwShowMinNoActive;
      break;
    case TShowCmd::scShowNormal:
      showCmd_ = kSwRestore;
      break;
  }
}

void TShortcutLink::CreateShortcut() {
  auto link = binding_->CreateShellLink();
  // The setters' results are not checked: a link the shell cannot use fails the save.
  link->SetPath(Target);
  link->SetWorkingDirectory(WorkingDir);
  link->SetArguments(Arguments);
  link->SetDescription(Description);
  // Written as stored: a never-set show command stays 0, which the shell opens normally.
  link->SetShowCmd(showCmd_);
  // The character code is the key's virtual-key code in the low byte; a larger code
  // would spill into the modifier byte and name another key, so it writes none.
  if (hotKey_ > ' ' && hotKey_ <= 0xFF) {
    link->SetHotkey(static_cast<std::uint16_t>(hotKey_ + kHotkeyCtrlAlt));
  }
  link->SetIconLocation(IconLocation, IconNumber);
  if (link->Save(ShortcutFile, true) != 0) throw EShortcutError("Unable to create .lnk file");
}

void TShortcutLink::GetSpecialFolder(int folder, std::string& path) {
  const auto* form = dynamic_cast<const TCustomForm*>(Owner());
  if (form == nullptr) throw EInvalidCast("Invalid class typecast");
  if (auto found = binding_->SpecialFolderPath(form->WindowHandle(), folder)) path = *found;
}

void TShortcutLink::GetDesktopFolder(std::string& path) {
  GetSpecialFolder(kCsidlDesktopDirectory, path);
}

}  // namespace qvr
