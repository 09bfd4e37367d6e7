// DPositionalFormat against the plain rule. Input: the template, then
// arguments, separated by U+0001; the first unit of each argument gives its
// number.
#include <map>

#include "tests/fuzz/fuzz_text.h"
#include "zevar/dpositional_format.h"

namespace {

// A run of k '%' gives k / 2 of them; an odd run's last one takes up to 31
// digits as the argument's number (beyond 0xFFFF: never set, 0: nothing).
std::u16string Formatted(const std::u16string& pattern,
                         const std::map<uint32_t, std::u16string>& arguments) {
  std::u16string out;
  for (size_t at = 0; at < pattern.size();) {
    if (pattern[at] != u'%') {
      out += pattern[at++];
      continue;
    }
    size_t run = 0;
    while (at + run < pattern.size() && pattern[at + run] == u'%') ++run;
    out.append(run / 2, u'%');
    at += run;
    if (run % 2 == 0) continue;
    uint64_t number = 0;
    for (int digits = 0;
         digits < 31 && at < pattern.size() && pattern[at] >= u'0' && pattern[at] <= u'9';
         ++digits, ++at)
      number = number > 0xFFFF ? number : number * 10 + (pattern[at] - u'0');
    auto argument = arguments.find(uint32_t(number > 0xFFFF ? 0 : number));
    if (argument != arguments.end()) out += argument->second;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::u16string> pieces = FuzzParts(FuzzText(data, size));
  DWString pattern;
  FUZZ_CHECK(pattern.Assign(pieces[0].c_str(), uint32_t(pieces[0].size())));
  DPositionalFormat format(std::move(pattern));
  std::map<uint32_t, std::u16string> arguments;
  for (size_t i = 1; i < pieces.size(); ++i) {
    // A digit stands for its value; units from U+FFF0 for numbers around the
    // limit; others for small numbers (large ones make runs slow).
    char16_t first = pieces[i].empty() ? 0 : pieces[i][0];
    uint32_t number = first >= u'0' && first <= u'9' ? first - u'0'
                      : first >= 0xFFF0              ? 0xFFF8u + (first & 15)
                                                     : first % 64u;
    std::u16string value = pieces[i].empty() ? u"" : pieces[i].substr(1);
    bool set = format.SetArgument(number, value.c_str());
    FUZZ_CHECK(set == (number >= 1 && number <= DPositionalFormat::kMaxArgument));
    if (set) arguments[number] = value;
    // Building between arguments must not keep a stale text.
    if (i % 2 == 1) FUZZ_CHECK(format.Build());
  }
  FUZZ_CHECK(format.Build());
  FUZZ_CHECK(Formatted(pieces[0], arguments) == Str(format.text()));
  return 0;
}
