// Site labels and the host names of this server.
#include "server/site_origin.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstdint>

#include "foundation/ansi.h"
#include "foundation/url.h"

namespace tq {
namespace {

constexpr std::string_view kLocalhostSuffix = ".localhost";
constexpr std::size_t kMaxNamePart = 40;  // a DNS label holds 63 characters; the hash takes 13

bool IsLabelChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

}  // namespace

std::string SiteLabel(std::string_view address) {
  const std::string server = AnsiLowerCase(ExtractUrlServer(std::string(address)));
  const std::size_t scheme = server.find("://");
  if (scheme == std::string::npos || scheme + 3 >= server.size()) return {};
  std::string host = server.substr(scheme + 3);
  if (const std::size_t colon = host.rfind(':');
      colon != std::string::npos && host.find(']', colon) == std::string::npos)
    host.erase(colon);
  std::string label;
  for (char c : host) {
    if (label.size() == kMaxNamePart) break;
    label += IsLabelChar(c) ? c : '-';
  }
  // FNV-1a over the origin: stable across runs, so a site keeps its origin (and what its pages
  // stored in the browser) from one session to the next.
  uint64_t hash = 14695981039346656037ull;
  for (char c : server) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  label += '-';
  for (int shift = 44; shift >= 0; shift -= 4) label += kHex[(hash >> shift) & 0xF];
  return label;
}

THostField SplitHostField(std::string_view host) {
  THostField field;
  std::string_view name = host;
  const std::size_t close = host.rfind(']');
  const std::size_t colon = host.rfind(':');
  if (colon != std::string_view::npos && (close == std::string_view::npos || colon > close)) {
    name = host.substr(0, colon);
    field.Port = host.substr(colon + 1);
  }
  field.Name = AnsiLowerCase(name);
  return field;
}

std::string HostLabel(std::string_view name) {
  if (name.size() <= kLocalhostSuffix.size() || !name.ends_with(kLocalhostSuffix)) return {};
  const std::string_view label = name.substr(0, name.size() - kLocalhostSuffix.size());
  if (label.size() > 63 || !std::all_of(label.begin(), label.end(), IsLabelChar)) return {};
  return std::string(label);
}

bool IsLoopbackHostName(std::string_view name) {
  return name == "localhost" || name == "127.0.0.1" || name == "[::1]" || !HostLabel(name).empty();
}

bool IsOwnHostField(std::string_view host, int port, const std::vector<std::string>& addresses) {
  const THostField field = SplitHostField(host);
  in_addr numeric{};
  const bool loopbackNetwork = ::inet_pton(AF_INET, field.Name.c_str(), &numeric) == 1 &&
                               (ntohl(numeric.s_addr) >> 24) == 127;
  const bool ours = IsLoopbackHostName(field.Name) ||
                    std::find(addresses.begin(), addresses.end(), field.Name) != addresses.end() ||
                    (!addresses.empty() && loopbackNetwork);
  return ours && (field.Port.empty() ? port == 80 : field.Port == std::to_string(port));
}

std::vector<std::string> LocalAddresses() {
  std::vector<std::string> addresses;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return addresses;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
        (entry->ifa_flags & IFF_UP) == 0)
      continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr)
      addresses.emplace_back(text);
  }
  ::freeifaddrs(list);
  return addresses;
}

}  // namespace tq
