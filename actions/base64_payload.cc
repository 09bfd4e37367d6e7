#include <cstring>

#include "actions/temp_pdf.h"

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
