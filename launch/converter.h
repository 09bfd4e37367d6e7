// The seam between the conversion requests and the converter program: the
// program uses the Win32 implementation (launch/conversion_job_win.h); native
// tests record what the handlers asked for.
#pragma once

#include <cstdint>

#include "launch/temp_file_writer.h"
#include "zevar/dstring.h"

struct HostSession;

class Converter {
 public:
  virtual ~Converter() = default;

  // The temporary file that takes the next page as it arrives:
  // "vlx_<32 hex>.mhtml", or ".html".
  virtual TempFileWriter& PageFile(bool is_mhtml) = 0;

  // Converts the page written to the file at source; title is the save name,
  // already made safe. The file is the converter's to delete from here on;
  // when the converter cannot be started (state -1) or ends without its
  // result, the job removes it. Returns the conversion's state.
  virtual int32_t RunConversion(HostSession& session, const DWChar* source,
                                const DWChar* title) = 0;

  // Starts the converter's settings dialog; nothing is waited for.
  virtual void ShowSettings() = 0;
};
