// Fuzzes the request-head reader with the input fed in two pieces (as if it came in two reads),
// the requested-address rules on the request line, and the Range field and Host field readers.
// Nothing may crash or trip a sanitizer; a head, once found, must be the same whichever way the
// bytes came in.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "server/http_request.h"
#include "server/server.h"
#include "server/site_origin.h"
#include "server/stored_body.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  THeadScan whole;
  const THttpHeadResult once = ReadRequestHead(input, &whole);
  const size_t split = size == 0 ? 0 : data[0] % size;
  THeadScan pieces;
  THttpHeadResult twice = ReadRequestHead(input.substr(0, split), &pieces);
  if (twice.State == THttpHeadResult::hrIncomplete) twice = ReadRequestHead(input, &pieces);
  FUZZ_CHECK(twice.State == once.State);
  if (once.State == THttpHeadResult::hrComplete) {
    FUZZ_CHECK(once.HeadSize <= size);
    FUZZ_CHECK(twice.HeadSize == once.HeadSize);
    FUZZ_CHECK(twice.Head.RequestLine == once.Head.RequestLine);
    FUZZ_CHECK(once.Head.RequestLine.find_first_of("\r\n") == std::string::npos);
    (void)RequestedAddress(once.Head.RequestLine);
  }

  const std::string address = RequestedAddress(input);
  FUZZ_CHECK(address.size() <= size);
  const std::string blanks = NormalizeBlanks(input);
  if (size >= 2) {
    FUZZ_CHECK(blanks.find("  ") == std::string::npos);
    FUZZ_CHECK(blanks.empty() || (blanks.front() != ' ' && blanks.back() != ' '));
  }
  // A range is always within the content it was asked of.
  const uint64_t contentSize = size == 0 ? 0 : data[size - 1] * 1000u;
  const TRangeRequest range = ParseRangeField(input, contentSize);
  if (range.Range) {
    FUZZ_CHECK(range.Satisfiable && range.Range->First <= range.Range->Last);
    FUZZ_CHECK(range.Range->Last < contentSize);
  }
  const THostField host = SplitHostField(input);
  FUZZ_CHECK(host.Name.size() + host.Port.size() <= size);
  const std::string label = SiteLabel(input);
  FUZZ_CHECK(label.size() <= 63);
  FUZZ_CHECK(label.empty() || HostLabel(label + ".localhost") == label);
  return 0;
}
