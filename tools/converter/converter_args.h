// The reference converter's reading of its two command lines:
//   <program> url= "<source>" mode= <mode>[ delsrc] savefn= "<name>"[ wndMsgs= <n>]
//   <program> sdlg mode= <mode>[ wndPrnt= <n>]
// The program path in front may hold blanks and is not quoted, so the line
// is read from its keywords, not split into words.
#pragma once

#include <cstdint>
#include <string>

struct ConverterArguments {
  bool settings = false;  // "sdlg"
  std::u16string source;
  std::u16string mode;
  bool delete_source = false;
  std::u16string save_name;
  bool has_window = false;
  int64_t window = 0;  // wndMsgs= or wndPrnt=
};

// False when the line is neither form.
bool ParseConverterArguments(const std::u16string& command_line, ConverterArguments* arguments);
