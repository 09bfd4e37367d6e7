// A message template with numbered placeholders: "%1", "%2", ... stand for
// the arguments, "%%" for one '%'. The command line of the editor is built
// from "/A \"%1\"".
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

class DPositionalFormat {
 public:
  // Placeholder numbers above this are never filled.
  static constexpr uint32_t kMaxArgument = 0xFFFF;

  // Takes the template over and parses it at once.
  explicit DPositionalFormat(DWString&& pattern);
  ~DPositionalFormat();
  DPositionalFormat(const DPositionalFormat&) = delete;
  DPositionalFormat& operator=(const DPositionalFormat&) = delete;

  // Stores a copy of the text as argument number (1 and up). False for 0, a
  // number above kMaxArgument, or when there is no memory.
  [[nodiscard]] bool SetArgument(uint32_t number, const DWChar* text);
  // Builds the text from the template and the arguments set; a placeholder
  // whose argument was never set gives nothing. False when there is no
  // memory (or the template could not be parsed); the text is then empty.
  [[nodiscard]] bool Build();
  // The text last built; the template itself when it needs no building
  // (neither placeholders nor "%%") or before Build.
  const DWString& text() const { return built_ ? result_ : pattern_; }

 private:
  struct Segment {
    uint32_t offset;  // literal text: where in the template
    uint32_t length;
    uint32_t number;  // placeholder: the argument number; 0 for literal text
  };
  struct Argument {
    DWChar* text;  // null while not set
    uint32_t length;
  };

  [[nodiscard]] bool Parse();
  [[nodiscard]] bool AddSegment(uint32_t offset, uint32_t length, uint32_t number);

  DWString pattern_;
  DWString result_;
  Segment* segments_ = nullptr;
  uint32_t segment_count_ = 0;
  uint32_t segment_room_ = 0;
  Argument* arguments_ = nullptr;
  uint32_t argument_count_ = 0;
  bool parsed_ = false;
  bool needs_building_ = false;  // the template differs from its result
  bool built_ = false;
  bool dirty_ = true;
};
