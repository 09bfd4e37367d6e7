// Status codes of the runtime's streams and files. Negative means failure;
// bit 30 marks errors, bits 16-24 the facility (2 = input/output, 5 = Base64).
#pragma once

#include <cstdint>

constexpr int32_t kDOk = 0;
constexpr int32_t kDNothingDone = 1;  // reopen throttled, empty compare
constexpr int32_t kDInvalidArgument = int32_t(0x82020001);
constexpr int32_t kDNotSupported = int32_t(0x82020009);
constexpr int32_t kDAccessDenied = int32_t(0x8202000A);
constexpr int32_t kDBadSeekOrigin = int32_t(0x8202000B);
constexpr int32_t kDSeekOutOfRange = int32_t(0x8202000C);
constexpr int32_t kDNotOpen = int32_t(0x82020010);
constexpr int32_t kDShortCompareRead = int32_t(0x82020011);
constexpr int32_t kDEndOfStream = int32_t(0x8202001B);
constexpr int32_t kDSourceChanged = int32_t(0x8202001E);
constexpr int32_t kDShortWrite = int32_t(0xC202000E);
constexpr int32_t kDUnknownSystemError = int32_t(0xC202000F);
constexpr int32_t kDOutOfMemory = int32_t(0xC20203E8);
constexpr int32_t kDReadFailedAfterReopen = int32_t(0xC2021001);
constexpr int32_t kDBase64Empty = int32_t(0x82050001);
constexpr int32_t kDBase64Overflow = int32_t(0x82050017);
constexpr int32_t kDBase64NoWorkBuffer = int32_t(0x8007000E);

// A Windows error as a status; error 0 (a call failed without saying why)
// still has to read as a failure.
[[nodiscard]] constexpr int32_t DStatusFromSystemError(uint32_t error) {
  return error == 0 ? kDUnknownSystemError : int32_t(0x83FF0000u | (error & 0xFFFFu));
}
