// An in-memory stand-in for the browser's pipes: frames queued as the input,
// everything the host writes captured as the output. It is the host's
// platform too: its poll sees the scripted input, and it records what the
// host asked of Windows.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/channel.h"
#include "host/platform.h"

// The host's messages as it writes them: a reply envelope, and a
// converter's report ("HTML2PDFProgress" or "HTML2PDFError") with its value.
inline std::string Reply(const std::string& state, const std::string& answer = "") {
  return "{\n    \"action\": \"responceDone\",\n    \"version\": 3,\n    \"state\": " + state +
         ",\n    \"answer\": \"" + answer + "\"\n}";
}
inline std::string Report(const std::string& action, const std::string& value) {
  return "{\n    \"action\": \"" + action + "\",\n    \"version\": 1,\n    \"value\": " + value +
         "\n}";
}
inline std::string Progress(const std::string& value) { return Report("HTML2PDFProgress", value); }
// The replies to "actGetVersion" and to a request without an action.
inline const std::string kVersionReply = Reply("0", "11.1.1.0");
inline const std::string kUnknownReply = Reply("65280");

inline std::string Frame(const std::string& body) {
  uint32_t n = uint32_t(body.size());
  std::string out{char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
  return out + body;
}

// Splits captured output into frame bodies; a trailing partial frame is kept
// whole as the last element so a test sees it.
inline std::vector<std::string> SplitFrames(const std::string& bytes) {
  std::vector<std::string> frames;
  size_t at = 0;
  while (at + 4 <= bytes.size()) {
    uint32_t n = uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8 | uint8_t(bytes[at + 2]) << 16 |
                 uint32_t(uint8_t(bytes[at + 3])) << 24;
    if (at + 4 + n > bytes.size()) break;
    frames.push_back(bytes.substr(at + 4, n));
    at += 4 + n;
  }
  if (at < bytes.size()) frames.push_back(bytes.substr(at));
  return frames;
}

class ScriptedChannel : public InputSource, public HostPlatform {
 public:
  ScriptedChannel() : channel_{&reader_, std::tmpfile()} {}
  ~ScriptedChannel() override { std::fclose(channel_.output); }
  ScriptedChannel(const ScriptedChannel&) = delete;
  ScriptedChannel& operator=(const ScriptedChannel&) = delete;

  // Appends raw bytes behind what is still unread.
  void Feed(const std::string& bytes) { input_ += bytes; }
  void FeedFrame(const std::string& body) { Feed(Frame(body)); }
  // A frame of 0x7FFFFFFF body bytes, more than a string holds; its bytes are
  // counted as they are read, never stored. One per pipe.
  void FeedOversizedFrame() {
    Feed("\xff\xff\xff\x7f");
    oversized_at_ = input_.size();
    oversized_left_ = 0x7FFFFFFF;
  }
  uint32_t Unread() const { return uint32_t(input_.size() - at_ + oversized_left_); }

  // The read that would pass this many bytes in all stops there, once, as a
  // cancelled read does.
  size_t stop_at = SIZE_MAX;

  // The most bytes one read asked for: a body is read into the room it has.
  uint32_t largest_read = 0;

  uint32_t Read(void* buffer, uint32_t count, bool* ended) override {
    if (count > largest_read) largest_read = count;
    *ended = false;
    if (at_ == oversized_at_ && oversized_left_ > 0) {
      const uint32_t got = count < oversized_left_ ? count : oversized_left_;
      oversized_left_ -= got;
      return got;
    }
    const size_t end =
        std::min({input_.size(), stop_at, oversized_left_ ? oversized_at_ : SIZE_MAX});
    const uint32_t got = count < end - at_ ? count : uint32_t(end - at_);
    std::memcpy(buffer, input_.data() + at_, got);
    at_ += got;
    *ended = got < count && at_ == input_.size();
    if (got < count) stop_at = SIZE_MAX;
    return got;
  }

  std::string Output() const {
    std::fflush(channel_.output);
    std::string bytes(size_t(std::ftell(channel_.output)), '\0');
    std::rewind(channel_.output);
    bytes.resize(std::fread(&bytes[0], 1, bytes.size(), channel_.output));
    std::fseek(channel_.output, 0, SEEK_END);  // a write may follow the read
    return bytes;
  }
  std::vector<std::string> OutputFrames() const { return SplitFrames(Output()); }

  bool PeekInput(uint32_t* available) override {
    *available = Unread();
    return true;
  }
  void RunCommandLine(const DWChar* program, DWChar* command_line) override {
    programs.emplace_back(program);
    command_lines.emplace_back(command_line);
  }
  void SignalNamedEvent(const DWChar* name) override { signalled_events.emplace_back(name); }

  const Channel& channel() const { return channel_; }

  std::vector<std::u16string> programs;
  std::vector<std::u16string> command_lines;
  std::vector<std::u16string> signalled_events;

 private:
  std::string input_;
  size_t at_ = 0;
  size_t oversized_at_ = SIZE_MAX;
  uint32_t oversized_left_ = 0;
  InputReader reader_{*this};
  Channel channel_;
};
