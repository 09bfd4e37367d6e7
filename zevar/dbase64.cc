#include "zevar/dbase64.h"

#include <cstring>

#include "zevar/dmem.h"

#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the decoding tables assume a little-endian machine"
#endif

namespace {

constexpr uint32_t kPiece = 2048;

// Each table holds a character's six bits already placed where they land in
// the three output bytes of a little-endian word, so a group of four decodes
// with four loads, three ORs and one store; an invalid character sets bit 24.
struct Tables {
  uint32_t at[4][256];
  int8_t value[256];
};

constexpr uint32_t kInvalid = 0x01FFFFFF;

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
    uint32_t u = uint32_t(v);
    t.at[0][c] = v < 0 ? kInvalid : u << 2;
    t.at[1][c] = v < 0 ? kInvalid : (u >> 4) | (u & 15) << 12;
    t.at[2][c] = v < 0 ? kInvalid : (u >> 2) << 8 | (u & 3) << 22;
    t.at[3][c] = v < 0 ? kInvalid : u << 16;
  }
  return t;
}

constexpr Tables kTables = MakeTables();

// Four characters as loaded from memory, the first in the low byte.
inline uint32_t Group(uint32_t c) {
  return kTables.at[0][c & 255] | kTables.at[1][(c >> 8) & 255] | kTables.at[2][(c >> 16) & 255] |
         kTables.at[3][c >> 24];
}

// The clean groups from *i on: two at a time while both are clean (one
// 8-byte load, one 8-byte store), then one. Stops at a group that holds a
// character outside the alphabet, or when fewer than four are left. The
// 8-byte store writes two bytes past what it produces; decoding in place,
// they never reach unread input (output trails input by a quarter).
void DecodeCleanGroups(const uint8_t* in, uint32_t n, uint8_t* out, uint32_t* at, uint32_t* made) {
  uint32_t i = *at, o = *made;
  for (;;) {
    while (n - i >= 8) {
      uint64_t w;
      std::memcpy(&w, in + i, 8);
      uint32_t x = Group(uint32_t(w)), y = Group(uint32_t(w >> 32));
      if ((x | y) > 0xFFFFFF) break;
      uint64_t bytes = x | uint64_t(y) << 24;
      std::memcpy(out + o, &bytes, 8);
      i += 8;
      o += 6;
    }
    if (n - i < 4) break;
    uint32_t w;
    std::memcpy(&w, in + i, 4);
    uint32_t x = Group(w);
    if (x > 0xFFFFFF) break;
    std::memcpy(out + o, &x, 4);
    i += 4;
    o += 3;
  }
  *at = i;
  *made = o;
}

// One group the slow way, skipping characters outside the alphabet. Returns
// how many significant characters it took (0 to 4; the first three are kept
// in seen), or -1 for a zero byte where the group would start.
int TakeGroup(const uint8_t* in, uint32_t n, uint32_t* at, uint32_t* group, uint8_t seen[3]) {
  uint32_t i = *at;
  int k = 0;
  *group = 0;
  while (i < n && k < 4) {
    uint8_t c = in[i];
    if (k == 0 && c == 0) return -1;
    ++i;
    int v = kTables.value[c];  // NOLINT(bugprone-signed-char-misuse,cert-str34-c): -1 is no digit
    if (v < 0) continue;
    *group = *group << 6 | uint32_t(v);
    if (k < 3) seen[k] = c;
    ++k;
  }
  *at = i;
  return k;
}

// A group of k significant characters as bytes: 3, or 2 and 1 for a final
// group of 3 and 2 characters, none for a lone character.
uint32_t PutGroup(uint32_t group, int k, uint8_t* out) {
  if (k < 2) return 0;
  group <<= 6 * (4 - k);
  out[0] = uint8_t(group >> 16);
  if (k > 2) out[1] = uint8_t(group >> 8);
  if (k > 3) out[2] = uint8_t(group);
  return uint32_t(k - 1);
}

// Decodes n characters of in to out (which may be in itself).
uint32_t Decode(const uint8_t* in, uint32_t n, uint8_t* out, uint8_t* carry, uint32_t* carried) {
  if (carried) *carried = 0;
  uint32_t i = 0, o = 0;
  for (;;) {
    DecodeCleanGroups(in, n, out, &i, &o);
    uint32_t group;
    uint8_t seen[3];
    int k = TakeGroup(in, n, &i, &group, seen);
    if (k == 4) {
      o += PutGroup(group, k, out + o);
      continue;
    }
    // A group cut by the piece's end goes on in the next piece.
    if (carry && k > 0) {
      std::memcpy(carry, seen, size_t(k));
      *carried = uint32_t(k);
      return o;
    }
    return k > 0 ? o + PutGroup(group, k, out + o) : o;
  }
}

}  // namespace

uint32_t DBase64DecodePiece(uint8_t* p, uint32_t n, uint8_t* carry, uint32_t* carried) {
  return Decode(p, n, p, carry, carried);
}

uint32_t DBase64Stream::Feed(const uint8_t* text, uint32_t count, uint8_t* out) {
  uint32_t i = 0, o = 0;
  if (carried_) {
    while (i < count && carried_ < 4) {
      uint8_t c = text[i++];
      if (kTables.value[c] >= 0) carry_[carried_++] = c;
    }
    if (carried_ < 4) return 0;
    o = Decode(carry_, 4, out, nullptr, nullptr);
    carried_ = 0;
  }
  return o + Decode(text + i, count - i, out + o, carry_, &carried_);
}

uint32_t DBase64Stream::Finish(uint8_t* out) {
  uint32_t made = Decode(carry_, carried_, out, nullptr, nullptr);
  carried_ = 0;
  return made;
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
  // Characters of a group that a piece boundary cut, put back in front of the
  // next piece: skipped characters (line breaks) must not shift the groups.
  uint32_t carried = 0;
  while (count > 0) {
    uint32_t room = kPiece - carried;
    uint32_t want = count < room ? uint32_t(count) : room;
    uint32_t got = 0;
    status = source->Read(work + carried, want, &got);
    if (status < 0) break;
    bool last = got < want || got == count;
    uint8_t rest[3];
    uint32_t produced = DBase64DecodePiece(work, carried + got, last ? nullptr : rest, &carried);
    uint32_t put = 0;
    if (produced > 0) {
      status = destination->Write(work, produced, &put);
      // A fixed buffer takes what fits; losing the rest must not pass.
      if (status == kDEndOfStream || (status >= 0 && put < produced)) status = kDBase64Overflow;
      if (status < 0) break;
    }
    if (got < want) break;  // the source ended early
    count -= got;
    if (carried) std::memcpy(work, rest, carried);
  }
  DMemFree(work);
  return status < 0 ? status : kDOk;
}
