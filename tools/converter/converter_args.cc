#include "tools/converter/converter_args.h"

namespace {

// Reads a decimal number (optional '-') at text[at]; false when none is there
// or it does not fit in 32 bits.
bool ReadNumber(const std::u16string& text, size_t at, int64_t* value) {
  bool negative = at < text.size() && text[at] == u'-';
  if (negative) ++at;
  if (at >= text.size() || text[at] < u'0' || text[at] > u'9') return false;
  int64_t number = 0;
  while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') {
    number = number * 10 + (text[at++] - u'0');
    if (number > 0xFFFFFFFFLL) return false;  // no window handle is that long
  }
  *value = negative ? -number : number;
  return true;
}

// The word at text[at], up to the next blank.
std::u16string Word(const std::u16string& text, size_t at) {
  size_t end = text.find(u' ', at);
  return text.substr(at, end == std::u16string::npos ? std::u16string::npos : end - at);
}

bool ReadWindow(const std::u16string& text, size_t from, const char16_t* keyword,
                ConverterArguments* arguments) {
  size_t at = text.find(keyword, from);
  if (at == std::u16string::npos) return true;
  arguments->has_window =
      ReadNumber(text, at + std::char_traits<char16_t>::length(keyword), &arguments->window);
  return arguments->has_window;
}

}  // namespace

bool ParseConverterArguments(const std::u16string& line, ConverterArguments* arguments) {
  *arguments = ConverterArguments{};
  size_t url = line.find(u"url= \"");
  if (url == std::u16string::npos) {
    size_t sdlg = line.find(u"sdlg mode= ");
    if (sdlg == std::u16string::npos || (sdlg > 0 && line[sdlg - 1] != u' ')) return false;
    arguments->settings = true;
    arguments->mode = Word(line, sdlg + 11);
    return ReadWindow(line, sdlg + 11, u" wndPrnt= ", arguments);
  }
  size_t source = url + 6;
  size_t close = line.find(u'"', source);
  if (close == std::u16string::npos) return false;
  arguments->source = line.substr(source, close - source);
  if (line.compare(close + 1, 7, u" mode= ") != 0) return false;
  arguments->mode = Word(line, close + 8);
  size_t at = close + 8 + arguments->mode.size();
  if (line.compare(at, 7, u" delsrc") == 0) {
    arguments->delete_source = true;
    at += 7;
  }
  if (line.compare(at, 10, u" savefn= \"") != 0) return false;
  size_t name = at + 10;
  close = line.find(u'"', name);
  if (close == std::u16string::npos) return false;
  arguments->save_name = line.substr(name, close - name);
  return ReadWindow(line, close + 1, u" wndMsgs= ", arguments);
}
