// Reading the head of an HTTP/1.x request (request line and header fields) as it arrives from a
// client that may be hostile: every size is bounded, and anything the server cannot answer
// safely is refused with the status to send back.
//
// Pure functions of their input, safe on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tq {

// Bounds of one request head. A browser's longest addresses stay far below them.
inline constexpr std::size_t kMaxRequestLine = 32 * 1024;
inline constexpr std::size_t kMaxRequestHead = 64 * 1024;  // request line and fields together
inline constexpr int kMaxHeaderFields = 100;

struct THttpRequestHead {
  std::string RequestLine;  // as sent, without its line end
  std::string Method;
  std::string Target;     // between the method and the version, blanks included
  int MinorVersion = 1;   // HTTP/1.<MinorVersion>
  std::string Host;       // the Host field, or empty
  std::string Referer;    // the Referer field, or empty
  std::string Range;      // the Range field, or empty (also when several were sent)
  bool SawRange = false;  // a Range field was sent
  bool IfRange = false;   // an If-Range field was sent
  std::string FetchDest;  // the Sec-Fetch-Dest field lower-cased, or empty
  uint64_t ContentLength = 0;
  bool Chunked = false;   // a Transfer-Encoding field was sent: the body's end is not known
  bool KeepAlive = true;  // the client lets the connection stay open after the answer
};

// What reading a head gave: nothing yet (more bytes needed), a head, or a refusal.
struct THttpHeadResult {
  enum TState : uint8_t { hrIncomplete, hrComplete, hrRefused };
  TState State = hrIncomplete;
  std::size_t HeadSize = 0;  // hrComplete: bytes the head took, its final empty line included
  THttpRequestHead Head;     // hrComplete
  int Status = 0;            // hrRefused: 400, 414, 431 or 505
};

// How far a head's bytes have been looked at; start each head with a fresh one.
struct THeadScan {
  std::size_t Scanned = 0;
  bool SawLineEnd = false;  // the request line is complete
};

// Looks for the end of a request head in buffer, which holds the bytes received so far. The scan
// goes on where the previous call over the same head stopped, so bytes that trickle in are looked
// at once. Lines may end with CR LF or LF alone; empty lines before the request line are skipped.
THttpHeadResult ReadRequestHead(std::string_view buffer, THeadScan* scan);

// The reason phrase of the statuses the server sends.
std::string_view HttpReason(int status);

}  // namespace tq
