#include "launch/converter_command_line.h"

#include <cstdint>

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
  if (!text->Append(u"url= \"") || !AppendText(text, source_path) || !text->Append(u"\"") ||
      !text->Append(u" mode= ") || !AppendText(text, mode))
    return false;
  if (delete_source && !text->Append(u" delsrc")) return false;
  if (!text->Append(u" savefn= \"") || !AppendText(text, save_name) || !text->Append(u"\""))
    return false;
  if (message_window && (!text->Append(u" wndMsgs= ") || !AppendWindowNumber(message_window, text)))
    return false;
  return true;
}

bool BuildSettingsCommandLine(const DWChar* mode, void* owner_window, DWString* text) {
  text->Empty();
  if (!text->Append(u"sdlg") || !text->Append(u" mode= ") || !AppendText(text, mode))
    return false;
  if (owner_window && (!text->Append(u" wndPrnt= ") || !AppendWindowNumber(owner_window, text)))
    return false;
  return true;
}
