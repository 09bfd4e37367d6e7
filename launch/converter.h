// The seam between the conversion requests and the converter program: the
// program uses the Win32 implementation (launch/conversion_job_win.h); native
// tests record what the handlers asked for.
#pragma once

#include <cstdint>

#include "zevar/dbyte_chain.h"
#include "zevar/dstring.h"

struct HostSession;

class Converter {
 public:
  virtual ~Converter() = default;

  // Converts one page: its UTF-8 bytes, in pieces as they arrived; title the
  // save name, already made safe. Returns the conversion's state.
  virtual int32_t RunConversion(HostSession& session, const DByteChain& page, const DWChar* title,
                                bool is_mhtml) = 0;

  // Starts the converter's settings dialog; nothing is waited for.
  virtual void ShowSettings() = 0;
};
