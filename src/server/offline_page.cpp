// The "not available offline" page.
#include "server/offline_page.h"

#include <array>

#include "engine/http_connection.h"
#include "foundation/ansi.h"

namespace tq {
namespace {

constexpr std::array<std::string_view, 34> kHead = {
    R"(<TARNQUILL DOCUMENT CONTENT>)",
    R"(<html>)",
    R"(<head>)",
    R"(<meta NAME="GENERATOR" Content="Tarnquill">)",
    R"(<title>Page not available offline</title>)",
    R"(<style>)",
    R"(BODY)",
    R"({MARGIN: 0px;})",
    R"(.topttl)",
    R"({font-weight:cbold; FONT-SIZE: 20px;COLOR: #003366;FONT-FAMILY:  Tahoma,Verdana;})",
    R"(.topttl A)",
    R"({font-weight:cbold; FONT-SIZE: 20px;COLOR: #003366;FONT-FAMILY:  Tahoma,Verdana;})",
    R"(.inbody)",
    R"({FONT-SIZE: 12px; COLOR: #565656;FONT-FAMILY: Arial,Verdana,Tahoma;})",
    R"(.inbody A)",
    R"({Font-weight:bold; FONT-SIZE: 12px; COLOR: #1681E5;FONT-FAMILY: Arial,Verdana,Tahoma;})",
    R"(.inbody A:hover)",
    R"({FONT-SIZE: 12px; COLOR: #F59231;FONT-FAMILY: Arial,Verdana,Tahoma;})",
    R"(.inbody A:visited)",
    R"({})",
    R"(.inbodytit)",
    R"({Font-weight:bold; FONT-SIZE: 12px; COLOR: #1B5DB7;FONT-FAMILY: Arial,Verdana,Tahoma;})",
    R"(</style>)",
    R"(</head>)",
    R"(<body style="BACKGROUND-COLOR: white" ><!--page content-->)",
    R"(<br>)",
    R"(<table  border="0" cellpadding="20" width="98%" align=center>)",
    R"(  <TR bgcolor=#f2f2f2>)",
    R"(    <TD class=topttl style="PADDING-RIGHT: 5px; PADDING-LEFT: 5px" vAlign=top)",
    R"(    width=600>&nbsp;<FONT)",
    R"(      style="BACKGROUND-COLOR: #f2f2f2" color=brown>Page not available offline)",
    R"(    </FONT>  </TD></TR>)",
    R"(<tr valign="top"><td style="PADDING-RIGHT: 5px; PADDING-LEFT: 5px" valign="top" WIDTH="600" class="inbody">)",
    R"(             Tarnquill was unable to serve)",
};

constexpr std::array<std::string_view, 6> kTail = {
    R"(      online.&nbsp;)",
    R"(          <br></td>)",
    R"(</tr>)",
    R"(</table><!--/page content-->&nbsp;)",
    R"(</body>)",
    R"(</html>)",
};

bool IsOnlineAddress(std::string_view address) {
  return AnsiStartsText("http://", address) || AnsiStartsText("https://", address) ||
         AnsiStartsText("ftp://", address);
}

}  // namespace

std::string NotAvailableOfflinePage(std::string_view address) {
  const std::string text = EscapeAddressForHtml(std::string(address));
  const std::string link = IsOnlineAddress(address) ? text : std::string();
  std::string page;
  for (std::string_view line : kHead) {
    page += line;
    page += "\r\n";
  }
  page += "      <STRONG>" + text + "</STRONG>  \r\n";
  page +=
      "      in offline mode.&nbsp;<A href=\"" + link + "\">Click here</A> to&nbsp; to browse\r\n";
  for (std::string_view line : kTail) {
    page += line;
    page += "\r\n";
  }
  return page;
}

std::string UnreadableDocumentPage(std::string_view address) {
  return "<html><head><title>Page could not be read</title></head><body><p>Tarnquill could "
         "not read <strong>" +
         EscapeAddressForHtml(std::string(address)) +
         "</strong>: its copy in the project file is damaged or missing.</p></body></html>\r\n";
}

}  // namespace tq
