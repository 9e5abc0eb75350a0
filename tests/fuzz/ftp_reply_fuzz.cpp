// Fuzzes what the FTP transfer reads from outside: an address (first line of the input) turned
// into the library's request address, and server reply lines (the rest). Nothing may crash; the
// request's path must hold no byte an address may not, and no query or fragment.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/ftp_connection.h"
#include "foundation/url.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string address(NextPart(rest));

  const std::string url = FtpRequestUrl(address);
  const std::string server = ExtractUrlServer(address);
  FUZZ_CHECK(url.compare(0, server.size(), server) == 0);
  const std::string_view path = std::string_view(url).substr(server.size());
  FUZZ_CHECK(path.size() >= 2 && path[0] == '/' && path.back() != '/');
  for (unsigned char c : path) {
    FUZZ_CHECK(c > 0x20 && c < 0x7F && c != '#' && c != '?');
  }

  while (!rest.empty()) {
    const std::string_view line = NextPart(rest);
    const int code = FtpReplyCode(line);
    FUZZ_CHECK(code == 0 || (code >= 0 && code <= 999 && line[3] == ' '));
    FUZZ_CHECK(FtpReplySize(line) >= -1);
  }
  return 0;
}
