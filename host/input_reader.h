// The one reader of the host's input for the whole run. The main loop, the
// chunked transfer and the cancel watcher all read through it, so no byte the
// browser sends is lost between them: a frame begun by a read that was
// stopped is completed by the next read, and the frames that the watcher
// reads but does not act on are kept, in order, for the main loop.
#pragma once

#include <cstdint>

#include "host/input_source.h"
#include "zevar/dstring.h"

// What a read found; the message is empty for every outcome but kBody.
enum class ReadOutcome {
  kBody,        // a whole body arrived
  kEmptyFrame,  // a length of 0 or less: no body follows
  kEnded,       // the input ended (or the read failed)
  kDiscarded,   // the body could not be stored; it was read and dropped
  kStopped,     // only from ReadFromInput: the frame is not whole yet
};

class InputReader {
 public:
  explicit InputReader(InputSource& source) : source_(source) {}
  ~InputReader();
  InputReader(const InputReader&) = delete;
  InputReader& operator=(const InputReader&) = delete;

  // Blocks until the input's first byte arrives (it begins a frame) or the
  // input ends.
  void AwaitFirstByte();

  // A kept frame or a begun one waits to be read.
  [[nodiscard]] bool HasFramesWaiting() const { return kept_head_ || prefix_got_ > 0; }

  // The main loop's and the chunked transfer's read: the oldest kept frame,
  // else the next frame of the input. A frame cut short by the end of input
  // or a failed read is dropped and yields kEnded. Both reads take over
  // what message held, and its buffer may carry the next body: pass the same
  // string again to read piece after piece without fresh memory.
  [[nodiscard]] ReadOutcome ReadMessage(DString* message);

  // The cancel watcher's read: the next frame of the input, to be kept. When
  // the read stops (kStopped) or the input ends (kEnded) inside a frame, the
  // bytes taken stay begun for the next read. A body that would take the
  // kept frames past kKeptBudget is read and dropped (kDiscarded).
  [[nodiscard]] ReadOutcome ReadFromInput(DString* message);

  // Makes room to keep one more frame; false when there is no memory for it,
  // or the kept frames' budget has no room left for its record.
  [[nodiscard]] bool ReserveKept();
  // Keeps what ReadFromInput yielded behind the frames kept before; needs a
  // successful ReserveKept first.
  void Keep(ReadOutcome outcome, DString* message);

  // What the frames kept behind a conversion may take in all: their bodies,
  // the body being read (while it grows, its old and new buffers both), and
  // their records.
  static constexpr uint64_t kKeptBudget = uint64_t(64) << 20;

 private:
  struct Kept {
    Kept* next;
    ReadOutcome outcome;
    DString body;
  };
  void DropBegunFrame();
  // Reads the next frame; its body may take at most room bytes.
  ReadOutcome ReadFrame(DString* message, uint64_t room);
  static uint64_t Cost(const DString& body);

  InputSource& source_;
  // The frame begun: its prefix, its length, the body bytes so far. A body
  // that cannot be held is read on and dropped.
  unsigned char prefix_[4] = {};
  uint32_t prefix_got_ = 0;
  uint32_t length_ = 0;
  uint32_t received_ = 0;
  bool dropping_ = false;
  DString body_;
  Kept* kept_head_ = nullptr;
  Kept* kept_tail_ = nullptr;
  Kept* spare_ = nullptr;
  uint64_t kept_bytes_ = 0;  // the kept frames' bodies and records
};
