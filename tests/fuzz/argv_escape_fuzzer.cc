// The editor's argument escaping: "<escaped>" read back by the Windows rules
// for command-line arguments (CommandLineToArgvW, the C runtime) is exactly
// one argument, the text itself.
#include "launch/argv_escape.h"
#include "tests/fuzz/fuzz_text.h"
#include "tools/argv_split.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text = FuzzText(data, size);
  DWString line;
  FUZZ_CHECK(line.Assign(u"/A \""));
  FUZZ_CHECK(AppendArgvEscaped(&line, text.c_str()));
  FUZZ_CHECK(line.Append(u'"'));
  std::vector<std::u16string> arguments =
      SplitCommandLine(Str(line), false, [](char16_t) { return false; });
  FUZZ_CHECK(arguments.size() == 2 && arguments[0] == u"/A" && arguments[1] == text);
  return 0;
}
