// The offline server: activation, and the answer to each request.
#include "server/server.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>
#include <array>
#include <mutex>

#include "engine/download.h"
#include "formats/html_rewrite.h"
#include "formats/stored_document.h"
#include "foundation/ansi.h"
#include "foundation/url.h"
#include "server/offline_page.h"
#include "storage/document.h"

namespace tq {
namespace {

bool (*g_adapterProbe)() = nullptr;

// Pages the server makes up are ASCII apart from the address they name, which is 8-bit text like
// every stored address.
constexpr std::string_view kOwnPageType = "text/html; charset=windows-1258";

// Stored pages are kept in Windows-1258 whatever the site sent, so the origin's charset (or none,
// leaving the browser to guess) would garble every character outside ASCII.
std::string StoredPageType(std::string_view contentType) {
  std::string_view media = contentType.substr(0, contentType.find(';'));
  while (!media.empty() && media.back() == ' ') media.remove_suffix(1);
  return std::string(media) + "; charset=windows-1258";
}

// The Host field names this server: 127.0.0.1, localhost or [::1], with the server's port (which
// a browser leaves out for port 80). Any other name means the browser was sent here under a name
// a web page controls, and that page must not read the project.
bool IsOwnHost(std::string_view host, int port) {
  std::string_view name = host;
  std::string_view portText;
  const std::size_t close = host.rfind(']');
  const std::size_t colon = host.rfind(':');
  if (colon != std::string_view::npos && (close == std::string_view::npos || colon > close)) {
    name = host.substr(0, colon);
    portText = host.substr(colon + 1);
  }
  if (!AnsiSameText(name, "localhost") && name != "127.0.0.1" && name != "[::1]") return false;
  return portText.empty() ? port == 80 : portText == std::to_string(port);
}

bool MayAnswer(const TVornOptions* options, const THttpRequest& request, int port) {
  if (options != nullptr && !options->InternetConnection.AllowLocalConnectionOnly) return true;
  return request.PeerAddress == "127.0.0.1" && IsOwnHost(request.Host, port);
}

}  // namespace

bool IsBrowserBlockedPort(int port) {
  static constexpr std::array<int, 82> kBlocked = {
      1,    7,    9,    11,   13,   15,   17,   19,   20,   21,   22,   23,   25,   37,
      42,   43,   53,   69,   77,   79,   87,   95,   101,  102,  103,  104,  109,  110,
      111,  113,  115,  117,  119,  123,  135,  137,  139,  143,  161,  179,  389,  427,
      465,  512,  513,  514,  515,  526,  530,  531,  532,  540,  548,  554,  556,  563,
      587,  601,  636,  989,  990,  993,  995,  1719, 1720, 1723, 2049, 3659, 4045, 4190,
      5060, 5061, 6000, 6566, 6665, 6666, 6667, 6668, 6669, 6679, 6697, 10080};
  return std::binary_search(kBlocked.begin(), kBlocked.end(), port);
}

std::string NormalizeBlanks(std::string_view text) {
  if (text.size() < 2) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (static_cast<unsigned char>(c) < 33 && i + 1 < text.size()) c = ' ';
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out += c;
  }
  if (!out.empty() && out.front() == ' ') out.erase(0, 1);
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string RequestedAddress(std::string_view requestLine) {
  // The version is the last "HTTP/" of the line: an address may hold the text too (a folder
  // named http), and cutting at its first occurrence would serve the wrong address.
  const std::size_t version = AnsiUpperCase(requestLine).rfind("HTTP/");
  std::string_view line = requestLine.substr(0, version);
  // The blank before the version goes too: NormalizeBlanks keeps a text of one character, so the
  // target "/" would otherwise ask for the address " ".
  if (version != std::string_view::npos && !line.empty() && line.back() == ' ')
    line.remove_suffix(1);
  bool quoted = false;
  std::size_t blank = 0;
  for (; blank < line.size(); ++blank) {
    if (line[blank] == '"') quoted = !quoted;
    if (line[blank] == ' ' && !quoted) break;
  }
  // Past the method's blank and the "/" that begins the target.
  const std::size_t start = blank + 2;
  return NormalizeBlanks(start < line.size() ? line.substr(start) : std::string_view());
}

void TestOnlySetAdapterProbe(bool (*probe)()) {
  g_adapterProbe = probe;
}

bool TVornServer::HasNetworkAdapter() {
  if (g_adapterProbe != nullptr) return g_adapterProbe();
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return false;
  bool up = false;
  for (const ifaddrs* entry = list; entry != nullptr && !up; entry = entry->ifa_next)
    up = (entry->ifa_flags & IFF_UP) != 0;
  ::freeifaddrs(list);
  return up;
}

TVornServer::TVornServer() : m_listener([this](const THttpRequest& r) { return Answer(r); }) {}

TVornServer::~TVornServer() {
  SetActive(false);
}

void TVornServer::SetActive(bool active) {
  if (!active) {
    m_listener.Stop();
    return;
  }
  if (Active()) return;
  if (!HasNetworkAdapter()) {
    if (OnError) OnError(*this, eseNoAdapter);
    return;
  }
  if (FindFreePort(m_firstPort, m_lastPort) < 0 && OnError) OnError(*this, eseNoPortAvailable);
}

void TVornServer::SetVornDownload(TVornDownload* download) {
  std::unique_lock hold(m_sourceLock);
  m_download = download;
  m_cache.Clear();  // another project's document counts its changes from its own start
}

std::string TVornServer::ServerPrefix() const {
  return "http://127.0.0.1:" + std::to_string(m_port.load()) + "/";
}

void TVornServer::SetPortRange(int first, int last) {
  m_firstPort = first;
  m_lastPort = last;
}

std::string TVornServer::BindAddress() const {
  const TVornOptions* options = m_download != nullptr ? m_download->VornOptions() : nullptr;
  const bool remote = options != nullptr && !options->InternetConnection.AllowLocalConnectionOnly;
  return remote ? "0.0.0.0" : "127.0.0.1";
}

// Binding is the only test that holds: a port that refuses a connection now may be taken a
// moment later, and one below 1024 may refuse nothing yet be out of reach without privileges.
int TVornServer::FindFreePort(int first, int last) {
  if (Active()) return -1;
  const std::string address = BindAddress();
  const int previous = m_port.load();
  for (int port = std::max(first, 1); port <= std::min(last, 65535); ++port) {
    if (IsBrowserBlockedPort(port)) continue;
    m_port = port;  // before the first request can arrive
    if (m_listener.Start(address, port)) return port;
  }
  m_port = previous;
  return -1;
}

THttpResponse TVornServer::Answer(const THttpRequest& request) {
  std::shared_lock hold(m_sourceLock);
  TVornDownload* download = m_download;
  if (download == nullptr) return {};
  const int port = m_port.load();
  if (!MayAnswer(download->VornOptions(), request, port))
    return {std::string(kOwnPageType), std::string(kAccessDeniedPage)};

  const std::string prefix = ServerPrefix();
  std::string address = RequestedAddress(request.RequestLine);
  // A link the stored page did not route through the server (a root-relative address built by a
  // script, say) reaches it as a path of this server; the page it came from names its site.
  std::string referrer = request.Referer;
  if (const std::size_t at = referrer.find(prefix); at != std::string::npos) {
    const TLinkKind kind = GetLinkKind(address, referrer);
    if (kind != lkAbsolute && kind != lkFtp) {
      referrer.erase(0, at + prefix.size());
      address = ResolveUrl(referrer, "/" + address, ExtractUrlServer(referrer));
    }
  }

  TVornBaseLinks& ready = download->ReadyLinks();
  if (!ready.Contains(kFindExact, address))
    return {std::string(kOwnPageType), NotAvailableOfflinePage(address)};
  auto* document = dynamic_cast<TVornDocument*>(download->VornDocument());
  if (document == nullptr) return {};
  const uint64_t changes = document->ChangeCount();
  std::shared_ptr<const TCachedDocument> stored = m_cache.Find(address, changes);
  if (!stored) {
    auto read = std::make_shared<TCachedDocument>();
    read->ContentType = document->GetDocumentValue(address, kIndexContentType);
    read->Content = document->GetDocumentContent(address);
    m_cache.Keep(address, changes, read);
    stored = std::move(read);
  }
  const std::string& contentType = stored->ContentType;
  if (AnsiUpperCase(contentType).find("TEXT/HTML") == std::string::npos)
    return {contentType, stored->Content};

  TLinkMapping mapping;
  const TVornLinkTranslation& translation = download->LinksTranslation();
  if (translation.Enabled) {
    mapping = [&, followed = translation.Followed, unfollowed = translation.UnFollowed](
                  int, const std::string& link) {
      const TLinkKind kind = GetLinkKind(link, referrer);
      if (kind != lkAbsolute && kind != lkFtp) return link;
      const TLinkTranslation how = ready.Contains(kFindExact, link) ? followed : unfollowed;
      return how == EltOffline ? prefix + link : link;
    };
  }
  std::string page = RenderStoredDocument(contentType, stored->Content, mapping);
  if (translation.Enabled && translation.Followed == EltOffline) {
    // A base element decides where every reference the copy did not rewrite (in scripts and
    // style sheets) leads: through this server, whether or not its own address was fetched.
    page = ReplaceBaseHrefs(std::move(page), [&](const std::string& href) {
      const TLinkKind kind = GetLinkKind(href, referrer);
      const bool online = (kind == lkAbsolute || kind == lkFtp) && !href.starts_with(prefix);
      return online ? prefix + href : href;
    });
  }
  return {StoredPageType(contentType), std::move(page)};
}

}  // namespace tq
