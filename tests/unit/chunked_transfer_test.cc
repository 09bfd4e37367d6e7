#include "actions/chunked_transfer.h"

#include <gtest/gtest.h>

#include <string>

#include "scripted_channel.h"

namespace {

const std::string kAsk = "{ \"action\": \"sendNextData\", \"version\": 1 }";

rapidjson::Document Json(const char* text) {
  rapidjson::Document document;
  document.Parse(text);
  return document;
}

class ChunkedTransferTest : public ::testing::Test {
 protected:
  // Runs a transfer begun by the request text; the continuations must have
  // been fed already.
  bool Receive(const char* request_text, ActionId action = kActionOpenPdf) {
    // The payload may keep the request's own piece where it lies.
    payload_.Release();
    ParseRequest(request_text, &request_);
    ChainSink sink(&payload_);
    return ReceiveChunkedData(session_, request_, action, &sink);
  }
  std::string Payload() const {
    std::string joined;
    payload_.Each([&](const uint8_t* bytes, uint32_t count) {
      joined.append(reinterpret_cast<const char*>(bytes), count);
      return true;
    });
    return joined;
  }
  size_t ChunkRequests() const {
    size_t asks = 0;
    for (const std::string& frame : pipe_.OutputFrames()) {
      EXPECT_EQ(frame, kAsk);
      ++asks;
    }
    return asks;
  }

  ScriptedChannel pipe_;
  RecordingPlatform platform_{pipe_};
  HostSession session_{pipe_.channel(), &platform_, {}, {}};
  ParsedRequest request_;
  DByteChain payload_;
};

}  // namespace

TEST(ChunkRequestTest, IsTheFixed42ByteFrame) {
  ScriptedChannel pipe;
  RecordingPlatform platform{pipe};
  HostSession session{pipe.channel(), &platform, {}, {}};
  pipe.FeedFrame(R"({"action":"openPDF","data":"b"})");
  ParsedRequest request;
  ParseRequest(R"({"action":"openPDF","data":"a","dataRest":1})", &request);
  DByteChain payload;
  ChainSink sink(&payload);
  ASSERT_TRUE(ReceiveChunkedData(session, request, kActionOpenPdf, &sink));
  EXPECT_EQ(pipe.Output(), std::string("\x2a\0\0\0", 4) + kAsk);
}

TEST(AppendDataChunkTest, OnlyASigned32BitIntegerOfAtLeastOneMeansMore) {
  struct Case {
    const char* rest;
    bool more;
  } cases[] = {{"1", true},      {"500", true},         {"2147483647", true},
               {"0", false},     {"-1", false},         {"\"2\"", false},
               {"1.5", false},   {"2.0", false},        {"1e1", false},
               {"4294967296", false}, {"2147483648", false}, {"true", false},
               {"null", false},  {"[1]", false}};
  for (const Case& c : cases) {
    std::string text = std::string(R"({"data":"x","dataRest":)") + c.rest + "}";
    DString payload;
    bool appended = false;
    EXPECT_EQ(AppendDataChunk(Json(text.c_str()), &payload, &appended), c.more) << c.rest;
    EXPECT_TRUE(appended);
    EXPECT_STREQ(payload.c_str(), "x");
  }
  DString payload;
  bool appended = false;
  EXPECT_FALSE(AppendDataChunk(Json(R"({"data":"x"})"), &payload, &appended));
  // Names match exactly.
  EXPECT_FALSE(AppendDataChunk(Json(R"({"Data":"y","DataRest":1})"), &payload, &appended));
  EXPECT_STREQ(payload.c_str(), "x");
}

TEST(AppendDataChunkTest, GrowsToTheExactNeedRoundedTo32AndStopsAtTheLimit) {
  DString payload;
  bool appended = false;
  AppendDataChunk(Json(R"({"data":"0123456789012345678901234567890"})"), &payload, &appended);
  EXPECT_EQ(payload.length(), 31u);
  EXPECT_EQ(payload.capacity(), 31u);
  AppendDataChunk(Json(R"({"data":"a"})"), &payload, &appended);
  EXPECT_EQ(payload.capacity(), 63u);
  // A "data" that is no string, or empty, adds nothing and needs no room.
  AppendDataChunk(Json(R"({"data":5,"dataRest":1})"), &payload, &appended);
  EXPECT_TRUE(appended);
  EXPECT_EQ(payload.length(), 32u);

  // A payload at its length limit (faked: only the bookkeeping says so) takes
  // no more, is left as it was, and "dataRest" still gives the answer.
  DString full;
  char* buffer = static_cast<char*>(DMemAlloc(32));
  full.Adopt(buffer, DString::kLimit - 1, DString::kLimit - 1);
  EXPECT_TRUE(AppendDataChunk(Json(R"({"data":"ab","dataRest":1})"), &full, &appended));
  EXPECT_FALSE(appended);
  EXPECT_EQ(full.length(), DString::kLimit - 1);
  EXPECT_EQ(full.data(), buffer);
}

TEST_F(ChunkedTransferTest, ALastPieceInTheRequestAsksForNothing) {
  EXPECT_TRUE(Receive(R"({"action":"openPDF","data":"whole"})"));
  EXPECT_EQ(Payload(), "whole");
  EXPECT_TRUE(Receive(R"({"action":"openPDF","data":"again","dataRest":0})"));
  EXPECT_EQ(Payload(), "again");
  EXPECT_EQ(ChunkRequests(), 0u);
}

TEST_F(ChunkedTransferTest, JoinsPiecesInOrderAskingOnceBeforeEach) {
  pipe_.FeedFrame(R"({"action":"openPDF","version":9,"data":"BB","dataRest":1})");
  pipe_.FeedFrame(R"({"action":"OPENPDF","data":"CCC","dataRest":0})");
  pipe_.FeedFrame(R"({"action":"actGetVersion"})");  // the next request, left unread
  EXPECT_TRUE(Receive(R"({"action":"openPDF","data":"A","dataRest":2})"));
  EXPECT_EQ(Payload(), "ABBCCC");
  EXPECT_EQ(ChunkRequests(), 2u);
  EXPECT_EQ(pipe_.Unread(), 4u + 26u);
}

TEST_F(ChunkedTransferTest, ANonIntegerRestEndsTheTransferAfterItsPiece) {
  for (const char* rest : {"\"1\"", "1.5", "2.0", "4294967296"}) {
    pipe_.FeedFrame(std::string(R"({"action":"openPDF","data":"B","dataRest":)") + rest + "}");
    pipe_.FeedFrame(R"({"action":"openPDF","data":"C"})");
    EXPECT_TRUE(Receive(R"({"action":"openPDF","data":"A","dataRest":1})"));
    EXPECT_EQ(Payload(), "AB") << rest;
    DString unasked;
    EXPECT_EQ(ReadMessage(pipe_.channel(), &unasked), ReadOutcome::kBody);
  }
  EXPECT_EQ(ChunkRequests(), 4u);
}

TEST_F(ChunkedTransferTest, OtherMessagesWhileWaitingAreDroppedAndAskedAgain) {
  pipe_.FeedFrame(R"({"action":"cancel","data":"X","dataRest":1})");
  pipe_.FeedFrame(R"({"action":"MHTMLoPDF","data":"X","dataRest":0})");
  pipe_.FeedFrame(R"({"data":"X"})");
  pipe_.FeedFrame("not json");
  pipe_.FeedFrame(R"(["openPDF"])");
  pipe_.Feed(std::string(4, '\0'));  // a frame of length 0
  pipe_.FeedFrame(R"({"action":"openPDF","data":"B"})");
  EXPECT_TRUE(Receive(R"({"action":"openPDF","data":"A","dataRest":1})"));
  EXPECT_EQ(Payload(), "AB");
  EXPECT_EQ(ChunkRequests(), 7u);
}

TEST_F(ChunkedTransferTest, PiecesWithoutDataAddNothingButMayAskForMore) {
  // The request itself has no "data": the payload comes from the continuations.
  pipe_.FeedFrame(R"({"action":"MHTMLoPDF","dataRest":1})");
  pipe_.FeedFrame(R"({"action":"MHTMLoPDF","data":7,"dataRest":1})");
  pipe_.FeedFrame(R"({"action":"MHTMLoPDF","data":"only"})");
  EXPECT_TRUE(Receive(R"({"action":"MHTMLoPDF","version":2,"dataRest":1})", kActionMhtmlToPdf));
  EXPECT_EQ(Payload(), "only");
  EXPECT_EQ(ChunkRequests(), 3u);
}

TEST_F(ChunkedTransferTest, AnEscapedNulEndsItsPiece) {
  pipe_.FeedFrame(R"({"action":"openPDF","data":"B\u0000b","dataRest":1})");
  pipe_.FeedFrame(R"({"action":"openPDF","data":"\u0000c","dataRest":1})");
  pipe_.FeedFrame(R"({"action":"openPDF","data":"D"})");
  EXPECT_TRUE(Receive(R"({"action":"openPDF","data":"A\u0000a","dataRest":1})"));
  EXPECT_EQ(Payload(), "ABD");
}

TEST_F(ChunkedTransferTest, EndOfInputBreaksTheTransferOff) {
  pipe_.FeedFrame(R"({"action":"openPDF","data":"B","dataRest":1})");
  EXPECT_FALSE(Receive(R"({"action":"openPDF","data":"A","dataRest":1})"));
  EXPECT_EQ(ChunkRequests(), 2u);

  // Input that stops inside a frame is the end of input too.
  pipe_.Feed(std::string("\x10\0\0\0{\"act", 9));
  EXPECT_FALSE(Receive(R"({"action":"openPDF","data":"A","dataRest":1})"));
  EXPECT_EQ(ChunkRequests(), 3u);
}

TEST_F(ChunkedTransferTest, APieceTheSinkRefusesBreaksTheTransferOff) {
  struct Refusing : PieceSink {
    int taken = 0;
    bool Take(const char*, uint32_t) override { return ++taken < 2; }
  } sink;
  pipe_.FeedFrame(R"({"action":"openPDF","data":"B","dataRest":1})");
  pipe_.FeedFrame(R"({"action":"openPDF","data":"C"})");
  ParsedRequest request;
  ParseRequest(R"({"action":"openPDF","data":"A","dataRest":1})", &request);
  EXPECT_FALSE(ReceiveChunkedData(session_, request, kActionOpenPdf, &sink));
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
  EXPECT_TRUE(Payload() == expected);
  EXPECT_EQ(payload_.size(), expected.size());
}
