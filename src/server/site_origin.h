// The origins the offline server gives stored sites. A browser on this machine reaches every
// stored site under a host name of its own, "<label>.localhost" (browsers take every name below
// "localhost" for this machine without asking any name server), so that the scripts of one site's
// pages cannot read another site's pages: each original site keeps the origin boundary it had.
// Host fields name this server in one of the forms below; anything else may be a name a web page
// controls and is not taken for this server.
//
// Pure functions, safe on any thread (LocalAddresses asks the system).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tq {

// The host label of the site of an online address: its host name in lower case with every other
// character a '-', cut short, and a hash of the whole origin (scheme, host and port), so that
// sites whose names read alike never share a label. Empty for an address without a host.
std::string SiteLabel(std::string_view address);

// A Host field taken apart; Port is empty when the field has none.
struct THostField {
  std::string Name;  // lower-cased
  std::string Port;
};
THostField SplitHostField(std::string_view host);

// Whether a host name (lower case) is this machine's loopback: "localhost", "127.0.0.1", "[::1]",
// or a site's "<label>.localhost".
bool IsLoopbackHostName(std::string_view name);
// The label of "<label>.localhost", or empty for any other name.
std::string HostLabel(std::string_view name);

// Whether a Host field names this machine on port: by a loopback name or, when addresses are
// given (other machines are answered too), by one of them or any address of the loopback
// network. The field's port, or 80 when it has none, must be port.
bool IsOwnHostField(std::string_view host, int port, const std::vector<std::string>& addresses);

// The IPv4 addresses of the interfaces that are up, loopback included.
std::vector<std::string> LocalAddresses();

}  // namespace tq
