// TVornServer: the offline server of one project window. It serves the project's stored copy over
// HTTP on the local machine, at addresses made of ServerPrefix and an online address
// (http://127.0.0.1:81/http://www.example.com/a.html), so the window's browser shows stored pages
// with their links leading back through the server. An address that was not fetched gets a page
// saying so, with a link to the online address.
//
// Each stored site keeps an origin of its own: a browser on this machine gets the pages of a site
// (and anything else a browser runs scripts in) only under the site's host name
// ("<label>.localhost", see site_origin.h), where it is redirected from any other of the server's
// names, and their links lead to each site under its own name. So the scripts of a stored page
// cannot read what the project holds of other sites, which may include pages fetched with the
// user's credentials. A browser on another machine (when that is allowed) is answered under the
// address it asked, for every site.
//
// Stored contents are sent in pieces as they are read (see kMaxUnsentBodyBytes), and a Range
// field is answered with the bytes it asks for, so that audio and video in a copy can seek.
//
// Threads: create, configure, activate and destroy the server on the interface thread; OnError
// runs there, inside SetActive. Requests are answered on the listener's threads, which read the
// controller's Ready list (under its lock), its link translation settings and options, and the
// project document through its immediate reads. Changing the controller with SetVornDownload waits
// for the requests in progress, so the previous controller and its document may be destroyed
// once it returns (or once SetActive(false) has returned).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "server/document_cache.h"
#include "server/http_listener.h"

namespace tq {

class TVornDownload;

enum TVornServerError : uint8_t { eseNoSource, eseNoAdapter, eseNoPortAvailable };

// What the server keeps of recently served documents while the project does not change.
inline constexpr std::size_t kDocumentCacheBytes = 32 << 20;
// Documents up to this size are read whole (and may be kept); larger ones are sent in pieces as
// they are read, and a larger page is rendered by one request at a time, so that a project of
// large files served to many clients costs a bounded amount of memory.
inline constexpr uint64_t kMaxWholeDocumentBytes = 1 << 20;

// The range the first free port is looked for in.
inline constexpr int kFirstServerPort = 80;
inline constexpr int kLastServerPort = 6666;

class TVornServer {
 public:
  using TVornServerErrorEvent = std::function<void(TVornServer& sender, TVornServerError error)>;

  TVornServer();
  // Stops listening first.
  ~TVornServer();
  TVornServer(const TVornServer&) = delete;
  TVornServer& operator=(const TVornServer&) = delete;

  bool Active() const { return m_listener.Running(); }
  // True: without a network adapter raises OnError(eseNoAdapter); otherwise listens on the first
  // port of the range that can be bound (FindFreePort), or raises OnError(eseNoPortAvailable).
  // It listens on 127.0.0.1 alone unless the controller's options allow other machines, then on
  // every interface. Does nothing when already active. False: stops listening and returns once
  // the requests in progress are answered.
  void SetActive(bool active);

  // The controller whose Ready list, document, link translation and options are served; not
  // owned, may be null (every request then gets an empty answer).
  TVornDownload* VornDownload() const { return m_download; }
  void SetVornDownload(TVornDownload* download);

  // "http://127.0.0.1:" + the port + "/": the prefix that turns an online address into its
  // offline one (the answer leads a browser on to the site's own name). The port is the one last
  // listened on (kFirstServerPort before the first time).
  std::string ServerPrefix() const;
  int Port() const { return m_port.load(); }
  // Whether text is an address of this server on this machine: ServerPrefix or the same under
  // another of its names (a site's own, where a browser is sent on to), followed by more.
  bool IsOfflineAddress(const std::string& text) const {
    return AfterOwnPrefix(text, m_port.load(), false).has_value();
  }

  // The ports SetActive tries; set before activating (the command line passes one port).
  void SetPortRange(int first, int last);

  // Starts the listener on the first port from first to last that it can bind, skipping ports
  // that browsers refuse to load; returns that port, or -1 when there is none (or the server is
  // already active).
  int FindFreePort(int first, int last);

  // Whether some network interface is up, loopback included.
  static bool HasNetworkAdapter();

  TVornServerErrorEvent OnError;

  // The answer to one request; what the listener's threads run.
  THttpResponse Answer(const THttpRequest& request);

 private:
  // Answer, raising EArchiveError for a stored content that cannot be read; address is set to
  // the requested one as soon as it is known.
  THttpResponse AnswerFor(const THttpRequest& request, std::string& address);
  // Where the links of an answer lead: each site under its own name (PerSite), or everything
  // under Prefix. Label: the site label of the host the request named, if any.
  struct TOrigin {
    std::string Prefix;
    bool PerSite = false;
    std::string Label;
  };

  std::string BindAddress() const;
  TOrigin OriginOf(std::string_view host, int port, bool remote) const;
  // The prefix that leads to address from an answer made for origin.
  std::string SitePrefix(const TOrigin& origin, const std::string& address, int port) const;
  // The text after "http://<a name of this server>/" at the start of address, if it starts so.
  std::optional<std::string> AfterOwnPrefix(const std::string& address, int port,
                                            bool remote) const;

  // Held shared by every request for its whole duration, exclusively to change the controller.
  std::shared_mutex m_sourceLock;
  TVornDownload* m_download = nullptr;
  std::atomic<int> m_port{kFirstServerPort};
  int m_firstPort = kFirstServerPort;
  int m_lastPort = kLastServerPort;
  TDocumentCache m_cache{kDocumentCacheBytes};
  std::mutex m_largePageLock;  // held while a page above kMaxWholeDocumentBytes is rendered
  // The machine's addresses, taken when the listener starts, for Host fields of other machines.
  std::vector<std::string> m_addresses;
  THttpListener m_listener;
};

// Whether a browser refuses to load addresses on this port (the "bad ports" that browsers block
// so that pages cannot talk to mail, file-sharing or other servers).
bool IsBrowserBlockedPort(int port);

// The address a request asks for: the request line without its protocol version, its method and
// the "/" that begins the target, passed through NormalizeBlanks.
std::string RequestedAddress(std::string_view requestLine);

// Every character below 33 becomes a blank (the last one excepted), every run of blanks becomes
// one, and one blank is taken off each end. Texts shorter than 2 characters come back unchanged.
std::string NormalizeBlanks(std::string_view text);

// Test-only: replaces the check for a network adapter; null restores it.
void TestOnlySetAdapterProbe(bool (*probe)());

}  // namespace tq
