// The hand-over from a second start of the program to the running one: a few lines (a project
// file to open, or an address and a project name) sent over a local socket in the user's private
// runtime folder, each hand-over answered with a receipt.
//
// A hand-over on the wire: "TQH1", the line count (32-bit, big-endian), then each line as its
// length (32-bit, big-endian) and its bytes. At most kMaxHandOverLines lines and
// kMaxHandOverBytes bytes in all; the receipt is the single byte 'A'.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/main_loop.h"

namespace tq {

inline constexpr size_t kMaxHandOverLines = 64;
inline constexpr size_t kMaxHandOverBytes = 65536;

std::string EncodeHandOver(const std::vector<std::string>& lines);

enum class THandOverDecode { hdComplete, hdIncomplete, hdMalformed };
// Decodes the hand-over at the front of bytes into lines (replaced). hdIncomplete when more
// bytes are needed, hdMalformed when no more bytes can make it a hand-over (wrong start, a count
// or length over the limits, bytes after its end).
THandOverDecode DecodeHandOver(std::string_view bytes, std::vector<std::string>& lines);

// Receives hand-overs. Create, use and destroy on the interface thread.
class THandOverServer {
 public:
  THandOverServer();
  ~THandOverServer();
  THandOverServer(const THandOverServer&) = delete;
  THandOverServer& operator=(const THandOverServer&) = delete;

  // Listens as name in the user's runtime folder. A socket a crashed holder left there is
  // replaced, so call this only while holding the TInstanceLock of the same name. Raises
  // EVornOSError when it cannot listen.
  void Listen(const std::string& name);
  bool Listening() const;

  // Each complete hand-over, once, on the interface thread after its receipt was sent. A sender
  // that sends too much, something malformed, or nothing for a few seconds is cut off.
  std::function<void(const std::vector<std::string>& lines)> OnHandOver;

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

// Hands lines to the instance listening as name and waits for its receipt; true when it took
// them. Connecting is retried until timeout has passed, since the running instance may hold its
// claim but not listen yet. Any thread; blocks the caller.
bool SendHandOver(const std::string& name, const std::vector<std::string>& lines, Millis timeout);

}  // namespace tq
