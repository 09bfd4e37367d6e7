#include "actions/chunked_transfer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scripted_channel.h"

namespace {

const std::string kAsk = "{ \"action\": \"sendNextData\", \"version\": 1 }";

class ChunkedTransferTest : public ::testing::Test {
 protected:
  // Runs a transfer begun by the request text, into the payload unless a sink
  // is given; the continuations must have been fed already.
  bool Receive(const std::string& request_text, ActionId action = kActionOpenPdf,
               PieceSink* sink = nullptr) {
    // The payload may keep the request's own piece where it lies.
    payload_.Release();
    request_text_ = request_text;
    ParseRequest(&request_text_[0], &request_);
    ChainSink chain(&payload_);
    return ReceiveChunkedData(session_, request_, action, sink ? sink : &chain);
  }
  std::string Payload() const {
    std::string joined;
    payload_.Each([&](const uint8_t* bytes, uint32_t count) {
      joined.append(reinterpret_cast<const char*>(bytes), count);
      return true;
    });
    return joined;
  }
  // The frames written so far, each of which must be the chunk request.
  size_t ChunkRequests() const {
    const std::vector<std::string> frames = pipe_.OutputFrames();
    EXPECT_EQ(frames, std::vector<std::string>(frames.size(), kAsk));
    return frames.size();
  }

  ScriptedChannel pipe_;
  HostSession session_{pipe_.channel(), &pipe_, {}, {}};
  std::string request_text_;  // parsed in place
  ParsedRequest request_;
  DByteChain payload_;
};

}  // namespace

// More is asked for only while "dataRest" is an integer that fits a signed
// 32-bit value and is at least 1, in the request as in a continuation. A host
// that asks when no piece is coming waits for ever (here: the input ends).
TEST_F(ChunkedTransferTest, OnlyASigned32BitRestOfAtLeastOneAsksForMore) {
  const struct {
    const char* members;
    bool more;
  } cases[] = {{R"("dataRest":1)", true},           {R"("dataRest":500)", true},
               {R"("dataRest":2147483647)", true},  {R"("dataRest":0)", false},
               {R"("dataRest":-1)", false},         {R"("dataRest":"2")", false},
               {R"("dataRest":1.5)", false},        {R"("dataRest":2.0)", false},
               {R"("dataRest":1e1)", false},        {R"("dataRest":4294967296)", false},
               {R"("dataRest":2147483648)", false}, {R"("dataRest":true)", false},
               {R"("dataRest":null)", false},       {R"("dataRest":[1])", false},
               {R"("DataRest":1)", false},          {R"("title":"no rest")", false}};
  size_t asks = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.members);
    const std::string tail = std::string(",") + c.members + "}";
    if (c.more) pipe_.FeedFrame(R"({"action":"openPDF","data":"B"})");
    EXPECT_TRUE(Receive(R"({"action":"openPDF","data":"A")" + tail));
    EXPECT_EQ(Payload(), c.more ? "AB" : "A");

    pipe_.FeedFrame(R"({"action":"openPDF","data":"B")" + tail);
    if (c.more) pipe_.FeedFrame(R"({"action":"openPDF","data":"C"})");
    EXPECT_TRUE(Receive(R"({"action":"openPDF","data":"A","dataRest":1})"));
    EXPECT_EQ(Payload(), c.more ? "ABC" : "AB");
    asks += c.more ? 3 : 1;
    EXPECT_EQ(ChunkRequests(), asks);
  }
}

// Messages of other actions are dropped and the piece asked for again, as is
// a piece cut between the halves of a surrogate pair (not JSON); a piece
// without a "data" string adds nothing, and its "dataRest" counts. An escaped
// NUL ends its piece. The request behind the last piece is left unread.
TEST_F(ChunkedTransferTest, OtherMessagesAreDroppedAndPiecesWithoutDataAddNothing) {
  pipe_.FeedFrame(R"({"action":"cancel","data":"X","dataRest":1})");
  pipe_.FeedFrame(R"({"action":"MHTMLoPDF","data":"X","dataRest":0})");
  pipe_.FeedFrame(R"({"data":"X"})");
  pipe_.FeedFrame("not json");
  pipe_.FeedFrame(R"(["openPDF"])");
  pipe_.Feed(std::string(4, '\0'));  // a frame of length 0
  pipe_.FeedFrame(R"({"action":"openPDF","data":"X\ud83d","dataRest":1})");
  pipe_.FeedFrame(R"({"action":"openPDF","data":7,"dataRest":1})");
  pipe_.FeedFrame(R"({"action":"openPDF","Data":"X","dataRest":1})");
  pipe_.FeedFrame(R"({"action":"OPENPDF","data":"on\u0000x","dataRest":1})");
  pipe_.FeedFrame(R"({"action":"openPDF","data":"ly"})");
  pipe_.FeedFrame(R"({"action":"actGetVersion"})");
  // The request itself has no "data": the payload comes from the continuations.
  EXPECT_TRUE(Receive(R"({"action":"openPDF","dataRest":1})"));
  EXPECT_EQ(Payload(), "only");
  EXPECT_EQ(ChunkRequests(), 11u);
  EXPECT_EQ(pipe_.Unread(), 4u + 26u);
}

TEST_F(ChunkedTransferTest, APieceTheSinkRefusesBreaksTheTransferOff) {
  struct Refusing : PieceSink {
    int taken = 0;
    bool Take(const char*, uint32_t) override { return ++taken < 2; }
  } sink;
  pipe_.FeedFrame(R"({"action":"openPDF","data":"B","dataRest":1})");
  pipe_.FeedFrame(R"({"action":"openPDF","data":"C"})");
  EXPECT_FALSE(Receive(R"({"action":"openPDF","data":"A","dataRest":1})", kActionOpenPdf, &sink));
  EXPECT_EQ(sink.taken, 2);
  EXPECT_EQ(ChunkRequests(), 1u);
}

TEST_F(ChunkedTransferTest, ManyLargePiecesEachKeepTheirPlace) {
  std::string expected = "first";
  for (int i = 0; i < 40; ++i) {
    std::string piece(100000 + i, char('a' + i % 26));
    expected += piece;
    pipe_.FeedFrame(R"({"action":"openPDF","data":")" + piece + R"(","dataRest":)" +
                    (i < 39 ? "1" : "0") + "}");
  }
  EXPECT_TRUE(Receive(R"({"action":"openPDF","data":"first","dataRest":1})"));
  EXPECT_TRUE(Payload() == expected);  // not EXPECT_EQ: no 4 MB message
}
