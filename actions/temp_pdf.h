// The document of an "openPDF" request, decoded as its pieces arrive and
// written straight to the temporary file the editor gets: neither the joined
// text nor the whole document is ever held in memory.
#pragma once

#include <cstdint>

#include "actions/chunked_transfer.h"
#include "launch/editor_platform.h"
#include "zevar/dbase64.h"
#include "zevar/dstring.h"

// Takes the pieces of the joined data URL and writes the decoded bytes of
// the Base64 text after its first ";base64," (the marker may straddle
// pieces). Without that marker nothing is written. A failed write does not
// stop the transfer: every piece is still asked for, and the writer has
// already removed its file. Portable.
class PdfDocumentSink final : public PieceSink {
 public:
  // A null writer keeps nothing.
  explicit PdfDocumentSink(TempPdfWriter* writer) : writer_(writer) {}
  ~PdfDocumentSink() override;
  PdfDocumentSink(const PdfDocumentSink&) = delete;
  PdfDocumentSink& operator=(const PdfDocumentSink&) = delete;

  // False only without memory for the decoding buffer.
  bool Take(const char* bytes, uint32_t length) override;
  // Writes the last, incomplete group.
  void Finish();

 private:
  bool Decode(const char* text, uint32_t count);

  TempPdfWriter* writer_;
  bool found_ = false;
  char tail_[7] = {};  // the text's last bytes while the marker is looked for
  uint32_t tail_length_ = 0;
  DBase64Stream decoder_;
  uint8_t* buffer_ = nullptr;  // decoded bytes on their way to the file
  uint32_t buffer_size_ = 0;
};
