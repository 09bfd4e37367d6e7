#include "zevar/dbase64.h"

#include "zevar/dmem.h"

namespace {

constexpr uint32_t kPiece = 2048;
constexpr uint32_t kInvalid = 0xFFFFFFFF;

// Each table holds a character's six bits already shifted into place, so a
// group of four decodes with four loads and three ORs; any invalid character
// sets the top byte.
struct Tables {
  uint32_t at[4][256];
  int8_t value[256];
};

constexpr Tables MakeTables() {
  Tables t{};
  for (int c = 0; c < 256; ++c) {
    int v = -1;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    else if (c >= '0' && c <= '9') v = c - '0' + 52;
    else if (c == '+') v = 62;
    else if (c == '/') v = 63;
    t.value[c] = int8_t(v);
    for (int k = 0; k < 4; ++k)
      t.at[k][c] = v < 0 ? kInvalid : uint32_t(v) << (6 * (3 - k));
  }
  return t;
}

constexpr Tables kTables = MakeTables();

}  // namespace

uint32_t DBase64DecodePiece(uint8_t* p, uint32_t n) {
  // Output never overtakes input (three bytes out per four in), so the piece
  // is decoded where it lies.
  uint32_t i = 0, o = 0;
  for (;;) {
    while (n - i >= 4) {
      uint32_t x = kTables.at[0][p[i]] | kTables.at[1][p[i + 1]] | kTables.at[2][p[i + 2]] |
                   kTables.at[3][p[i + 3]];
      if (x > 0xFFFFFF) break;
      p[o] = uint8_t(x >> 16);
      p[o + 1] = uint8_t(x >> 8);
      p[o + 2] = uint8_t(x);
      i += 4;
      o += 3;
    }
    // One group the slow way: skipped characters, a zero, or the tail.
    uint32_t group = 0;
    int k = 0;
    while (i < n && k < 4) {
      uint8_t c = p[i];
      if (k == 0 && c == 0) return o;
      ++i;
      int v = kTables.value[c];
      if (v < 0) continue;
      group = group << 6 | uint32_t(v);
      ++k;
    }
    if (k == 4) {
      p[o] = uint8_t(group >> 16);
      p[o + 1] = uint8_t(group >> 8);
      p[o + 2] = uint8_t(group);
      o += 3;
      continue;
    }
    if (k == 3) {
      group <<= 6;
      p[o] = uint8_t(group >> 16);
      p[o + 1] = uint8_t(group >> 8);
      o += 2;
    } else if (k == 2) {
      group <<= 12;
      p[o] = uint8_t(group >> 16);
      o += 1;
    }
    return o;
  }
}

int32_t DBase64DecodeCopy(DStream* destination, DStream* source, uint64_t count,
                          uint64_t source_offset) {
  if (count == 0) return kDBase64Empty;
  if (source_offset > uint64_t(INT64_MAX)) return kDSeekOutOfRange;
  int32_t status = source->Seek(kDSeekBegin, int64_t(source_offset));
  if (status < 0) return status;
  uint8_t* work = static_cast<uint8_t*>(DMemAlloc(kPiece));
  if (!work) return kDBase64NoWorkBuffer;
  status = kDOk;
  while (count > 0) {
    uint32_t want = count < kPiece ? uint32_t(count) : kPiece;
    uint32_t got = 0;
    status = source->Read(work, want, &got);
    if (status < 0) break;
    uint32_t produced = DBase64DecodePiece(work, got);
    uint32_t put = 0;
    if (produced > 0) {
      status = destination->Write(work, produced, &put);
      // A fixed buffer takes what fits; losing the rest must not pass.
      if (status == kDEndOfStream || (status >= 0 && put < produced)) status = kDBase64Overflow;
      if (status < 0) break;
    }
    if (got < want) break;  // the source ended early
    count -= got;
  }
  DMemFree(work);
  return status < 0 ? status : kDOk;
}
