// The offline server: activation, and the answer to each request.
#include "server/server.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>
#include <array>
#include <mutex>

#include "engine/download.h"
#include "engine/http_connection.h"
#include "formats/html_rewrite.h"
#include "formats/stored_document.h"
#include "foundation/ansi.h"
#include "foundation/url.h"
#include "server/media_type.h"
#include "server/offline_page.h"
#include "server/site_origin.h"
#include "server/stored_body.h"
#include "storage/document.h"

namespace tq {
namespace {

bool (*g_adapterProbe)() = nullptr;

constexpr std::string_view kSandboxPolicy =
    "sandbox allow-scripts allow-forms allow-popups allow-modals";

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

// A Host field that names no name of this server means the browser was sent here under a name
// a web page controls, and that page must not read the project.
bool MayAnswer(bool remote, const THttpRequest& request, int port) {
  if (remote) return true;
  return request.PeerAddress == "127.0.0.1" && IsOwnHostField(request.Host, port, {});
}

// Documents a browser runs scripts in: only these make an origin of the host they come from.
bool RunsScripts(std::string_view contentType) {
  const std::string upper = AnsiUpperCase(contentType);
  return upper.find("HTML") != std::string::npos || upper.find("XML") != std::string::npos ||
         upper.find("SVG") != std::string::npos;
}

// All of a content, which said how large it is.
std::string ReadAll(TContentStream& content) {
  std::string bytes(static_cast<std::size_t>(content.Size()), '\0');
  for (std::size_t got = 0; got < bytes.size();) {
    const std::size_t n = content.Read(bytes.data() + got, bytes.size() - got);
    if (n == 0) throw EArchiveError("A stored content ended before its size");
    got += n;
  }
  return bytes;
}

// A browser's request for a document it is going to show (a page, a frame).
bool IsNavigation(std::string_view fetchDest) {
  return fetchDest == "document" || fetchDest == "iframe" || fetchDest == "frame";
}

// Scripts of the answer run in an origin of their own that reaches nothing of the project.
THttpResponse Sandboxed(THttpResponse answer, bool sandboxed) {
  if (sandboxed)
    answer.Fields += "Content-Security-Policy: " + std::string(kSandboxPolicy) + "\r\n";
  return answer;
}

THttpResponse Redirect(const std::string& to) {
  THttpResponse answer;
  answer.Status = 302;
  answer.ContentType = kOwnPageType;
  answer.Fields = "Location: " + to + "\r\n";
  const std::string text = EscapeAddressForHtml(to);
  answer.Body = "<html><body><a href=\"" + text + "\">" + text + "</a></body></html>";
  return answer;
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
  m_addresses = LocalAddresses();  // no request runs while the listener is stopped
  for (int port = std::max(first, 1); port <= std::min(last, 65535); ++port) {
    if (IsBrowserBlockedPort(port)) continue;
    m_port = port;  // before the first request can arrive
    if (m_listener.Start(address, port)) return port;
  }
  m_port = previous;
  return -1;
}

TVornServer::TOrigin TVornServer::OriginOf(std::string_view host, int port, bool remote) const {
  TOrigin origin;
  origin.Prefix = ServerPrefix();
  const THostField field = SplitHostField(host);
  if (IsOwnHostField(host, port, {})) {
    origin.PerSite = true;
    origin.Label = HostLabel(field.Name);
  } else if (remote && IsOwnHostField(host, port, m_addresses)) {
    // Another machine: its browser knows this one by the address it asked, and every site is
    // reached through it (anyone who can ask reads the whole project anyway).
    origin.Prefix = "http://" + field.Name + ":" + std::to_string(port) + "/";
  }
  return origin;
}

std::string TVornServer::SitePrefix(const TOrigin& origin, const std::string& address,
                                    int port) const {
  if (!origin.PerSite) return origin.Prefix;
  const std::string label = SiteLabel(address);
  if (label.empty()) return origin.Prefix;
  return "http://" + label + ".localhost:" + std::to_string(port) + "/";
}

std::optional<std::string> TVornServer::AfterOwnPrefix(const std::string& address, int port,
                                                       bool remote) const {
  constexpr std::string_view kScheme = "http://";
  if (!AnsiStartsText(kScheme, address)) return std::nullopt;
  const std::size_t slash = address.find('/', kScheme.size());
  if (slash == std::string::npos) return std::nullopt;
  const std::string host = address.substr(kScheme.size(), slash - kScheme.size());
  if (!IsOwnHostField(host, port, remote ? m_addresses : std::vector<std::string>()))
    return std::nullopt;
  return address.substr(slash + 1);
}

THttpResponse TVornServer::Answer(const THttpRequest& request) {
  std::string address;
  try {
    return AnswerFor(request, address);
  } catch (const EArchiveError&) {
    // Unreadable is not empty: the browser shows which page the damaged project lost.
    THttpResponse failed(std::string(kOwnPageType), UnreadableDocumentPage(address));
    failed.Status = 500;
    return failed;
  }
}

THttpResponse TVornServer::AnswerFor(const THttpRequest& request, std::string& address) {
  std::shared_lock hold(m_sourceLock);
  TVornDownload* download = m_download;
  if (download == nullptr) return {};
  const int port = m_port.load();
  const TVornOptions* options = download->VornOptions();
  const bool remote = options != nullptr && !options->InternetConnection.AllowLocalConnectionOnly;
  if (!MayAnswer(remote, request, port))
    return THttpResponse(std::string(kOwnPageType), std::string(kAccessDeniedPage));

  TOrigin origin = OriginOf(request.Host, port, remote);
  address = RequestedAddress(request.RequestLine);
  // A link the stored page did not route through the server (a root-relative address built by a
  // script, say) reaches it as a path of this server; the page it came from names its site.
  std::string referrer = request.Referer;
  if (const std::optional<std::string> rest = AfterOwnPrefix(referrer, port, remote)) {
    const TLinkKind kind = GetLinkKind(address, referrer);
    if (kind != lkAbsolute && kind != lkFtp) {
      referrer = *rest;
      address = ResolveUrl(referrer, "/" + address, ExtractUrlServer(referrer));
    }
  }

  TVornBaseLinks& ready = download->ReadyLinks();
  if (!ready.Contains(kFindExact, address))
    return THttpResponse(std::string(kOwnPageType), NotAvailableOfflinePage(address));
  auto* document = dynamic_cast<TVornDocument*>(download->VornDocument());
  if (document == nullptr) return {};
  const uint64_t changes = document->ChangeCount();
  std::shared_ptr<const TCachedDocument> stored = m_cache.Find(address, changes);
  std::string contentType =
      stored ? stored->ContentType : document->GetDocumentValue(address, kIndexContentType);
  // An FTP transfer stores no media type: the file's name tells it as well as a server would.
  if (!IsMediaType(contentType)) contentType = MediaTypeOfAddress(address);
  // Under another site's name, or navigated to by a browser under one of the server's own
  // names, a document that runs scripts is sent on to its site's name. Other clients (that may
  // not know names below "localhost") get it here, with its scripts kept out of every origin.
  bool sandboxed = false;
  if (origin.PerSite && RunsScripts(contentType)) {
    const std::string label = SiteLabel(address);
    if (!label.empty() && label != origin.Label) {
      if (!origin.Label.empty() || IsNavigation(request.FetchDest))
        return Redirect(SitePrefix(origin, address, port) + address);
      sandboxed = true;
      origin.PerSite = false;
    }
  }

  std::unique_ptr<TContentStream> content;
  if (!stored) {
    content = document->OpenDocumentContent(address);
    if (!content || content->Size() <= kMaxWholeDocumentBytes) {
      auto read = std::make_shared<TCachedDocument>();
      read->ContentType = contentType;
      if (content) read->Content = ReadAll(*content);
      m_cache.Keep(address, changes, read);
      stored = std::move(read);
      content.reset();
    }
  }
  const auto whole = [&stored]() {
    return MemoryContentStream(std::shared_ptr<const std::string>(stored, &stored->Content));
  };
  const bool page = AnsiUpperCase(contentType).find("TEXT/HTML") != std::string::npos;
  bool analysed = false;
  if (page && stored) {
    analysed = stored->Content.starts_with(kStoredLinksMarker);
  } else if (page) {
    std::string start(kStoredLinksMarker.size(), '\0');
    start.resize(content->Read(start.data(), start.size()));
    analysed = start == kStoredLinksMarker;
    content = document->OpenDocumentContent(address);  // from its first byte again
    if (!content) return {};
  }
  // A page the analyser refused is stored as it came, in the charset its answer named.
  if (!analysed)
    return Sandboxed(StoredContentAnswer(contentType, stored ? whole() : std::move(content),
                                         request.IfRange ? std::string() : request.Range),
                     sandboxed);

  std::unique_lock<std::mutex> large;
  std::string text;
  if (!stored) {
    large = std::unique_lock(m_largePageLock);
    text = ReadAll(*content);
    content.reset();
  }
  const std::string& storedText = stored ? stored->Content : text;
  TLinkMapping mapping;
  const TVornLinkTranslation& translation = download->LinksTranslation();
  if (translation.Enabled) {
    mapping = [&, followed = translation.Followed.load(),
               unfollowed = translation.UnFollowed.load()](int, const std::string& link) {
      const TLinkKind kind = GetLinkKind(link, referrer);
      if (kind != lkAbsolute && kind != lkFtp) return link;
      const TLinkTranslation how = ready.Contains(kFindExact, link) ? followed : unfollowed;
      return how == EltOffline ? SitePrefix(origin, link, port) + link : link;
    };
  }
  std::string rendered = RenderStoredDocument(contentType, storedText, mapping);
  if (translation.Enabled && translation.Followed == EltOffline) {
    // A base element decides where every reference the copy did not rewrite (in scripts and
    // style sheets) leads: through this server, whether or not its own address was fetched.
    rendered = ReplaceBaseHrefs(std::move(rendered), [&](const std::string& href) {
      const TLinkKind kind = GetLinkKind(href, referrer);
      const bool online =
          (kind == lkAbsolute || kind == lkFtp) && !AfterOwnPrefix(href, port, true);
      return online ? SitePrefix(origin, href, port) + href : href;
    });
  }
  return Sandboxed(THttpResponse(StoredPageType(contentType), std::move(rendered)), sandboxed);
}

}  // namespace tq
