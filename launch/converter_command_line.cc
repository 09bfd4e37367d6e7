#include "launch/converter_command_line.h"

#include <cstdint>

#include "launch/ansi_safe_value.h"

namespace {

bool AppendText(DWString* text, const DWChar* piece) {
  return !piece || !*piece || text->Append(piece);
}

}  // namespace

bool AppendWindowNumber(void* window, DWString* text) {
  // Handles are 32-bit values even in 64-bit processes; the converter reads
  // them sign-extended.
  int64_t value = int32_t(uint32_t(reinterpret_cast<uintptr_t>(window)));
  uint64_t magnitude = value < 0 ? uint64_t(0) - uint64_t(value) : uint64_t(value);
  DWChar digits[24];
  int at = int(sizeof digits / sizeof digits[0]);
  digits[--at] = 0;
  do {
    digits[--at] = DWChar(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (value < 0) digits[--at] = u'-';
  return text->Append(digits + at);
}

bool BuildConvertCommandLine(const DWChar* mode, const DWChar* source_path,
                             const DWChar* save_name, bool delete_source, void* message_window,
                             DWString* text) {
  text->Empty();
  DWString window;
  if (message_window &&
      (!window.Append(u" wndMsgs= ") || !AppendWindowNumber(message_window, &window)))
    return false;
  if (!text->Append(u"url= \"") || !AppendText(text, source_path) || !text->Append(u"\"") ||
      !text->Append(u" mode= ") || !AppendText(text, mode))
    return false;
  if (delete_source && !text->Append(u" delsrc")) return false;
  if (!text->Append(u" savefn= \"")) return false;
  // The save name comes from the page: it reads the same for an ANSI reader,
  // and gives way when the line would be too long.
  uint64_t fixed = uint64_t(text->length()) + 1 + window.length();
  if (fixed > kConverterArgumentsLimit) return false;
  const DWChar* name = save_name ? save_name : u"";
  ValueFit fit = FitValue(name, DWString::Length(name), ValueKind::kFileName,
                          uint32_t(kConverterArgumentsLimit - fixed));
  return AppendValue(text, name, fit, ValueKind::kFileName) && text->Append(u"\"") &&
         text->Append(window.c_str(), window.length());
}

bool BuildSettingsCommandLine(const DWChar* mode, void* owner_window, DWString* text) {
  text->Empty();
  if (!text->Append(u"sdlg") || !text->Append(u" mode= ") || !AppendText(text, mode))
    return false;
  if (owner_window && (!text->Append(u" wndPrnt= ") || !AppendWindowNumber(owner_window, text)))
    return false;
  return true;
}
