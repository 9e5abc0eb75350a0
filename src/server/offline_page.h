// The pages the offline server answers with instead of a stored document.
#pragma once

#include <string>
#include <string_view>

namespace tq {

// Answered to a request from another machine while only local access is allowed.
inline constexpr std::string_view kAccessDeniedPage =
    "<html><head><title>Access denied</title></head><body><div align=center>Access denied. Only "
    "local access permited !</div></body></html>";

// The page for an address that was not fetched: it names the address and links to it online.
// Lines end with CR LF. Quotes and angle brackets of the address are escaped, and the link is
// left empty unless the address is an http, https or ftp one, so a made-up address cannot put
// markup or a script link into a page the browser trusts as the server's own.
std::string NotAvailableOfflinePage(std::string_view address);

// The page for a stored document whose content cannot be read (the project file is damaged):
// it names the address, escaped as above.
std::string UnreadableDocumentPage(std::string_view address);

}  // namespace tq
