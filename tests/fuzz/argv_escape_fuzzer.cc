// The editor's argument escaping: "<escaped>" read back by the Windows rules
// for command-line arguments (CommandLineToArgvW, the C runtime) is exactly
// one argument, the text itself.
#include "launch/argv_escape.h"
#include "tests/fuzz/fuzz_text.h"

namespace {

// 2n backslashes and a quote: n backslashes, the quote opens or closes;
// 2n + 1 and a quote: n backslashes and a literal quote; other backslashes
// are literal; inside quotes, "" is a literal quote.
std::vector<std::u16string> SplitArguments(const std::u16string& line) {
  std::vector<std::u16string> arguments;
  size_t i = 0;
  for (;;) {
    while (i < line.size() && (line[i] == u' ' || line[i] == u'\t')) ++i;
    if (i == line.size()) return arguments;
    std::u16string argument;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != u' ' && line[i] != u'\t'))) {
      size_t backslashes = 0;
      while (i < line.size() && line[i] == u'\\') ++backslashes, ++i;
      if (i < line.size() && line[i] == u'"') {
        argument.append(backslashes / 2, u'\\');
        if (backslashes % 2) {
          argument += u'"';
        } else if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
          argument += u'"';
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        argument.append(backslashes, u'\\');
        if (i < line.size() && backslashes == 0) argument += line[i++];
      }
    }
    arguments.push_back(argument);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text = FuzzText(data, size);
  DWString line;
  FUZZ_CHECK(line.Assign(u"/A \""));
  FUZZ_CHECK(AppendArgvEscaped(&line, text.c_str()));
  FUZZ_CHECK(line.Append(u'"'));
  std::vector<std::u16string> arguments = SplitArguments(Str(line));
  FUZZ_CHECK(arguments.size() == 2 && arguments[0] == u"/A" && arguments[1] == text);
  return 0;
}
