// How a Windows program splits its command line into arguments: the rules of
// CommandLineToArgvW for the wide line and of the C runtime (msvcrt, UCRT)
// for the ANSI line of a narrow main. Shared by the editor's stand-in and the
// fuzz oracles.
//
// The program's name ends at the first blank or tab, or, when it starts with
// a double quote, at the next one. Then blanks and tabs outside quotes
// separate arguments; 2n backslashes and a double quote give n backslashes
// and open or close a quoted part; 2n + 1 give n and a literal double quote;
// other backslashes are literal; inside quotes, "" is a literal double quote.
// A C runtime reading a double-byte code page takes a lead byte and the byte
// after it as one character, whatever that byte is (is_lead says which
// units are lead bytes; never, for the wide line).
#pragma once

#include <string>
#include <vector>

template <typename Unit, typename IsLead>
std::vector<std::basic_string<Unit>> SplitCommandLine(const std::basic_string<Unit>& line,
                                                      bool with_program, IsLead is_lead) {
  std::vector<std::basic_string<Unit>> arguments;
  const Unit kQuote = Unit('"'), kBackslash = Unit('\\');
  auto blank = [](Unit c) { return c == Unit(' ') || c == Unit('\t'); };
  size_t i = 0, n = line.size();
  // Appends the character at i (two units after a lead byte) and moves on.
  auto take = [&](std::basic_string<Unit>* argument) {
    *argument += line[i];
    if (is_lead(line[i]) && i + 1 < n) *argument += line[++i];
    ++i;
  };
  if (with_program) {
    std::basic_string<Unit> program;
    bool quoted = n > 0 && line[0] == kQuote;
    i = quoted ? 1 : 0;
    while (i < n && (quoted ? line[i] != kQuote : !blank(line[i]))) take(&program);
    if (quoted && i < n) ++i;
    arguments.push_back(program);
  }
  for (;;) {
    while (i < n && blank(line[i])) ++i;
    if (i == n) return arguments;
    std::basic_string<Unit> argument;
    bool quoted = false;
    while (i < n && (quoted || !blank(line[i]))) {
      size_t backslashes = 0;
      while (i < n && line[i] == kBackslash) ++backslashes, ++i;
      if (i < n && line[i] == kQuote) {
        argument.append(backslashes / 2, kBackslash);
        if (backslashes % 2) {
          argument += kQuote;
        } else if (quoted && i + 1 < n && line[i + 1] == kQuote) {
          argument += kQuote;
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        argument.append(backslashes, kBackslash);
        if (i < n && backslashes == 0) take(&argument);
      }
    }
    arguments.push_back(argument);
  }
}
