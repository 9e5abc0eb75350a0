// Fuzzes the offline server's answer to requests whose request line, Host, Referer and
// Sec-Fetch-Dest fields and peer come from the input (one per line; the first byte of the first
// line picks the peer and whether other machines are allowed), over a small stored site. Nothing
// may crash; a local-only server answers a stranger or a Host that names another server with the
// access-denied page only; no answer's header fields can be split by what a request named.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "../support/ready_document.h"
#include "engine/download.h"
#include "formats/stored_document.h"
#include "fuzz_check.h"
#include "server/offline_page.h"
#include "server/server.h"
#include "server/site_origin.h"
#include "storage/document.h"

namespace {

using namespace tq;

const std::string kPage = "http://www.example.com/a.html";

struct TSite {
  TVornDocument Document;
  TVornOptions Options;
  TVornDownload Download;
  TVornServer Server;

  TSite() {
    Download.SetVornDocument(&Document);
    Download.SetVornOptions(&Options);
    Server.SetVornDownload(&Download);
    TStoredDocumentWriter page;
    page.AddLink("http://www.example.com/b.png");
    page.AddLink("http://other.example.org/c.html");
    Store(kPage, "text/html",
          page.Build(kPage, "<base href=x><img src=\"" + LinkPlaceholder(0) + "\"><a href=\"" +
                                LinkPlaceholder(1) + "\">c</a>"));
    Store("http://www.example.com/b.png", "image/png", "\x89PNG\r\n");
    Store("ftp://files.example.com/d.txt", "", "text");
  }
  void Store(const std::string& url, const std::string& type, const std::string& content) {
    test::AddReadyDocument(Download, Document, url, type, content);
  }
};

// A field as the request reader hands it on: never with a line break in it.
std::string Field(std::string_view& rest) {
  std::string field(NextPart(rest));
  std::erase(field, '\r');
  return field;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TSite site;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string_view flags = NextPart(rest);
  const unsigned bits = flags.empty() ? 0 : static_cast<unsigned char>(flags[0]);
  const bool remote = bits & 1;
  site.Options.InternetConnection.AllowLocalConnectionOnly = !remote;
  THttpRequest request;
  request.PeerAddress = bits & 2 ? "192.168.1.7" : "127.0.0.1";
  request.RequestLine = Field(rest);
  request.Method = "GET";
  request.Host = Field(rest);
  request.Referer = Field(rest);
  request.FetchDest = Field(rest);
  request.Range = Field(rest);
  request.IfRange = bits & 4;

  const THttpResponse answer = site.Server.Answer(request);
  FUZZ_CHECK(answer.Status >= 100 && answer.Status < 600);
  const bool stranger =
      request.PeerAddress != "127.0.0.1" || !IsOwnHostField(request.Host, site.Server.Port(), {});
  if (!remote && stranger) FUZZ_CHECK(answer.Body == kAccessDeniedPage);
  // Every field is one line ended by CR LF.
  for (size_t at = 0; at < answer.Fields.size();) {
    const size_t end = answer.Fields.find("\r\n", at);
    FUZZ_CHECK(end != std::string::npos);
    const std::string_view line = std::string_view(answer.Fields).substr(at, end - at);
    FUZZ_CHECK(!line.empty() && line.find_first_of("\r\n") == std::string_view::npos);
    at = end + 2;
  }
  FUZZ_CHECK(answer.ContentType.find_first_of("\r\n") == std::string::npos);
  return 0;
}
