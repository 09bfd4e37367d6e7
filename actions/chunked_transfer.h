// Large payloads ("openPDF", chunked "MHTMLoPDF") arrive in pieces: the first
// in the request, each further one after the host asks for it with the
// "sendNextData" chunk request. The pieces are handed on in order as they
// arrive.
#pragma once

#include <rapidjson/document.h>

#include "host/host_session.h"
#include "host/request.h"
#include "zevar/dbyte_chain.h"
#include "zevar/dstring.h"

// The chunk request, exactly as the browser expects it (42 bytes).
extern const char kChunkRequest[];
constexpr uint32_t kChunkRequestLength = 42;

// Takes the pieces of a payload one by one, as they arrive, so that no
// handler has to hold the joined text.
class PieceSink {
 public:
  virtual ~PieceSink() = default;
  // False when the piece cannot be taken (no memory): the transfer is then
  // broken off.
  virtual bool Take(const char* bytes, uint32_t length) = 0;
  // The request's own piece, which outlives the handler's use of the sink:
  // a sink may keep it where it lies instead of copying it.
  virtual bool Lend(const char* bytes, uint32_t length) { return Take(bytes, length); }
};

// Keeps the pieces as they are, in order.
class ChainSink final : public PieceSink {
 public:
  explicit ChainSink(DByteChain* chain) : chain_(chain) {}
  bool Take(const char* bytes, uint32_t length) override { return chain_->Append(bytes, length); }
  bool Lend(const char* bytes, uint32_t length) override { return chain_->Borrow(bytes, length); }

 private:
  DByteChain* chain_;
};

// Runs the whole exchange for a request whose first piece is in its own
// "data": asks for the following pieces of the same action, dropping anything
// else, and hands each non-empty piece to the sink in the order received.
// True when the whole payload arrived. False when the transfer was broken off
// (the input ended, the sink refused a piece, or the joined text would pass
// DString::kLimit bytes); the handler must then give up rather than use a
// partial document. The channel stays at a frame boundary either way.
bool ReceiveChunkedData(HostSession& session, const ParsedRequest& request, ActionId action,
                        PieceSink* sink);
