// The converter's reading of its command lines. Odd first byte: any text,
// which must not break the reader; even: a line the host builds from fuzzed
// parts, which must read back as those parts.
#include "launch/ansi_safe_value.h"
#include "launch/converter_command_line.h"
#include "tests/fuzz/fuzz_text.h"
#include "tools/converter/converter_args.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  std::u16string text = FuzzText(data + 5, size - 5);
  ConverterArguments read;
  if (data[0] & 1) {
    if (ParseConverterArguments(text, &read) && !read.settings) {
      FUZZ_CHECK(read.source.find(u'"') == std::u16string::npos);
      FUZZ_CHECK(read.save_name.find(u'"') == std::u16string::npos);
    }
    return 0;
  }
  // Program, source, mode and save name; the host never puts a quote in a
  // path or name, nor a backslash in a name, nor a blank in the mode. A name
  // already in its form for the line (ansi_safe_value.h) is kept as it is.
  for (char16_t& c : text)
    if (c == u'"') c = u'_';
  std::vector<std::u16string> parts = FuzzParts(text, 4);
  std::u16string program = parts[0], source = parts[1], mode = parts[2];
  for (char16_t& c : mode)
    if (c == u' ') c = u'_';
  for (char16_t& c : parts[3])
    if (c == u'\\') c = u'_';
  DWString safe;
  FUZZ_CHECK(AppendValue(
      &safe, parts[3].c_str(),
      FitValue(parts[3].c_str(), uint32_t(parts[3].size()), ValueKind::kFileName, UINT32_MAX),
      ValueKind::kFileName));
  std::u16string save_name = Str(safe);
  uint32_t number = uint32_t(data[1]) | uint32_t(data[2]) << 8 | uint32_t(data[3]) << 16 |
                    uint32_t(data[4]) << 24;
  void* window = reinterpret_cast<void*>(uintptr_t(number));
  bool delete_source = data[0] & 2, settings = data[0] & 4;
  DWString arguments;
  FUZZ_CHECK(settings ? BuildSettingsCommandLine(mode.c_str(), window, &arguments)
                      : BuildConvertCommandLine(mode.c_str(), source.c_str(), save_name.c_str(),
                                                delete_source, window, &arguments));
  // Programs live in folders with blanks; the path stands unquoted in front
  // (one that holds the keyword itself cannot be told apart).
  if ((program + u" ").find(u"sdlg mode= ") != std::u16string::npos) return 0;
  FUZZ_CHECK(ParseConverterArguments(program + u" " + arguments.c_str(), &read));
  FUZZ_CHECK(read.settings == settings && read.mode == mode);
  FUZZ_CHECK(read.has_window == (window != nullptr) && (!window || read.window == int32_t(number)));
  if (!settings)
    FUZZ_CHECK(read.source == source && read.save_name == save_name &&
               read.delete_source == delete_source);
  return 0;
}
