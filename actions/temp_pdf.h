// The document of an "openPDF" request as a temporary file for the editor.
#pragma once

#include <cstdint>

#include "zevar/dmemstream.h"
#include "zevar/dstring.h"

// The bytes after the first ";base64," of the joined data URL; without that
// marker the payload is empty, so nothing is written. Portable.
void ExtractBase64Payload(const char* joined, uint32_t length, const char** payload,
                          uint32_t* payload_length);

// Decodes the Base64 payload of the joined data URL into document (created
// here). False when the payload is empty or does not decode. Portable.
bool DecodeBase64Payload(const char* joined, uint32_t length, DMemoryStream* document);

// Decodes the payload into a new "vlx_<32 hex digits>.pdf" in the temporary
// folder. False when the payload is empty or the file cannot be written in
// full; the path is then empty. Windows.
bool WriteTempPdf(const char* joined, uint32_t length, DWString* path);
