#include <cstring>

#include "actions/temp_pdf.h"

#include "zevar/dbase64.h"

void ExtractBase64Payload(const char* joined, uint32_t length, const char** payload,
                          uint32_t* payload_length) {
  static const char kMarker[] = ";base64,";
  const uint32_t kMarkerLength = sizeof kMarker - 1;
  *payload = joined + length;
  *payload_length = 0;
  for (uint32_t at = 0; at + kMarkerLength <= length; ++at) {
    if (std::memcmp(joined + at, kMarker, kMarkerLength) == 0) {
      *payload = joined + at + kMarkerLength;
      *payload_length = length - at - kMarkerLength;
      return;
    }
  }
}

bool DecodeBase64Payload(const char* joined, uint32_t length, DMemoryStream* document) {
  const char* payload;
  uint32_t payload_length;
  ExtractBase64Payload(joined, length, &payload, &payload_length);
  DBufferStream source;
  if (source.Attach(const_cast<char*>(payload), payload_length, kDRead) != kDOk ||
      document->Create(0, -2) != kDOk)
    return false;
  // An empty payload fails here.
  return DBase64DecodeCopy(document, &source, payload_length, 0) == kDOk;
}
