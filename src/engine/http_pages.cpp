// The pages the HTTP transfer generates instead of a document: the refusal page and the stored
// "Redirected" page.
#include <string>

#include "engine/http_connection.h"
#include "formats/stored_document.h"
#include "foundation/ansi.h"
#include "foundation/format.h"

namespace tq {

std::string EscapeAddressForHtml(const std::string& address) {
  // An address comes from the web: a quote or an angle bracket in it must not end the attribute
  // or open a tag in the stored copy, nor may its 0xA4 bytes read as a placeholder there. '&'
  // stays, so ordinary query strings read as they are.
  std::string out;
  out.reserve(address.size());
  for (char c : address) {
    switch (c) {
      case '\xA4':
        out += "&#164;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string MakeRefusalPage(double size, const std::string& address) {
  return "<HTML><TITLE>Page Ignored</TITLE><BODY><P align=center>"
         "Tarnquill ignored this page because " +
         FormatFileSize(size) +
         " is not in the size bounds allowed size specified for this kind of file."
         "<br> If you want to browse this file click <a href=\"" +
         EscapeAddressForHtml(address) + "\">here</a> to get the online copy</P></BODY></HTML>";
}

std::string MakeRedirectPage(const std::string& target, std::string_view pageAddress) {
  // The placeholder of link 0 is 0xA4 0xA4 '0' 0xA4 0xA4.
  static const std::string kTarget =
      "\xA4\xA4"
      "0"
      "\xA4\xA4";
  const bool refresh = target != pageAddress && !AnsiStartsText("file:", target);
  static const char* const kStyle =
      "{font-weight:cbold; FONT-SIZE: 20px;COLOR: #003366;FONT-FAMILY:  Tahoma,Verdana;}";
  const std::string lines[] = {
      std::string(kStoredLinksMarker),
      // Through the header writer, so no byte of the address can break the header's lines.
      StoredLinkLine(target),
      std::string(kStoredContentMarker),
      "<html>",
      "<head>",
      "<meta NAME=\"GENERATOR\" Content=\"Tarnquill\">",
      // Whoever renders the page maps the placeholder, so the refresh leads where the link does.
      refresh ? "<meta http-equiv=\"refresh\" content=\"0; url=" + kTarget + "\">" : "",
      "<title>Redirected</title>",
      "<style>",
      "BODY",
      "{MARGIN: 0px;}",
      ".topttl",
      kStyle,
      ".topttl A",
      kStyle,
      ".inbody",
      "{FONT-SIZE: 12px; COLOR: #565656;FONT-FAMILY: Arial,Verdana,Tahoma;}",
      ".inbody A",
      "{Font-weight:bold; FONT-SIZE: 12px; COLOR: #1681E5;FONT-FAMILY: Arial,Verdana,Tahoma;}",
      ".inbody A:hover",
      "{FONT-SIZE: 12px; COLOR: #F59231;FONT-FAMILY: Arial,Verdana,Tahoma;}",
      ".inbody A:visited",
      "{}",
      ".inbodytit",
      "{Font-weight:bold; FONT-SIZE: 12px; COLOR: #1B5DB7;FONT-FAMILY: Arial,Verdana,Tahoma;}",
      "</style>",
      "</head>",
      "<body style=\"BACKGROUND-COLOR: white\" ><!--page content-->",
      "<br>",
      "<table  border=\"0\" cellpadding=\"20\" width=\"98%\" align=center>",
      "  <TR bgcolor=#f2f2f2>",
      "    <TD class=topttl style=\"PADDING-RIGHT: 5px; PADDING-LEFT: 5px\" vAlign=top",
      "    width=600>&nbsp;<FONT",
      "      style=\"BACKGROUND-COLOR: #f2f2f2\" color=brown>Tarnquill redirection message",
      "    </FONT>  </TD></TR>",
      "<tr valign=\"top\"><td style=\"PADDING-RIGHT: 5px; PADDING-LEFT: 5px\" valign=\"top\" "
      "WIDTH=\"600\" class=\"inbody\">",
      "             Tarnquill was redirected to",
      "      <STRONG>" + EscapeAddressForHtml(target) + "</STRONG>      while",
      "      trying to access this page.&nbsp;<A href=\"" + kTarget +
          "\">Click here</A> to&nbsp;go to the",
      "      new location.&nbsp;",
      "          <br></td>",
      "</tr>",
      "</table><!--/page content-->&nbsp;",
      "</body>",
      "</html>",
  };
  std::string page;
  for (const auto& line : lines) {
    if (line.empty()) continue;
    page += line;
    page += "\r\n";
  }
  return page;
}

}  // namespace tq
