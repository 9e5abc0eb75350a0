// Stored documents: the header the writer produces and what rendering delivers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/html_rewrite.h"
#include "formats/stored_document.h"

namespace tq {
namespace {

const std::string P0 = LinkPlaceholder(0);
const std::string P1 = LinkPlaceholder(1);
const std::string P10 = LinkPlaceholder(10);

std::string Mapped(int number, const std::string& address) {
  return "[" + std::to_string(number) + ":" + address + "]";
}

TEST(StoredDocumentWriter, WritesCrEndedHeaderLines) {
  TStoredDocumentWriter writer;
  EXPECT_EQ(writer.AddLink("http://h/dir/page.html"), 0);
  EXPECT_EQ(writer.AddMailLink("me@h.org"), 1);
  EXPECT_EQ(writer.AddLink(""), 2);
  EXPECT_EQ(writer.AddLink("http://h/a\r\nb\nc\0d"), 3);
  EXPECT_EQ(writer.Build("http://h/dir/index.html", "<p>"),
            "<TARNQUILL DOCUMENT LINKS>\r<http://h/dir/page.html>\r<mailto:me@h.org>\r<>\r"
            "<http://h/abc>\r<TARNQUILL DOCUMENT CONTENT>\r"
            "<!-- saved from url=\"http://h/dir/index.html\" using Tarnquill -->\r<p>");
  EXPECT_EQ(TStoredDocumentWriter().Header("http://h/"),
            "<TARNQUILL DOCUMENT LINKS>\r<TARNQUILL DOCUMENT CONTENT>\r"
            "<!-- saved from url=\"http://h/\" using Tarnquill -->\r");
}

// Addresses from a page must not change the header's shape, or every later link number shifts.
TEST(StoredDocumentWriter, KeepsLinkNumbersWhateverTheAddressesHold) {
  TStoredDocumentWriter writer;
  writer.AddLink(std::string("http://h/a\0b", 12));
  writer.AddLink("http://h/<TARNQUILL DOCUMENT LINKS>");
  writer.AddLink("Tarnquill Document Content");
  writer.AddMailLink("x@h\r\n<TARNQUILL DOCUMENT CONTENT>");
  // The line break goes, and the marker word it hid must still be caught.
  writer.AddLink("\nTARNQUILL DOCUMENT ");
  writer.AddLink("http://h/c");
  std::string body;
  for (int i = 0; i < 6; ++i) body += LinkPlaceholder(i) + " ";
  const std::string stored = writer.Build(
      "http://h/\" --><script>\xA4\xA4"
      "0\xA4\xA4",
      body);
  const TStoredDocument read = ParseStoredDocument(stored);
  EXPECT_EQ(read.Links,
            (std::vector<std::string>{"http://h/a%00b", "http://h/%3CTARNQUILL DOCUMENT LINKS%3E",
                                      "%54arnquill Document Content",
                                      "mailto:x@h%3CTARNQUILL DOCUMENT CONTENT%3E",
                                      "%54ARNQUILL DOCUMENT ", "http://h/c"}));
  // Every placeholder leads to its own link; the page address in the comment holds none.
  std::string expected;
  for (int i = 0; i < 6; ++i) expected += Mapped(i, read.Links[static_cast<size_t>(i)]) + " ";
  EXPECT_EQ(RenderStoredDocument("text/html", stored, Mapped),
            "<!-- saved from url=\"http://h/%22 --%3E%3Cscript%3E%A4%A40%A4%A4\" using Tarnquill "
            "-->\r\n" +
                expected + "\r\n");
}

struct TRenderCase {
  const char* Name;
  std::string ContentType;
  std::string Content;
  std::string Expected;
};

class Render : public ::testing::TestWithParam<TRenderCase> {};

TEST_P(Render, DeliversThePage) {
  EXPECT_EQ(RenderStoredDocument(GetParam().ContentType, GetParam().Content, Mapped),
            GetParam().Expected);
}

const std::string kHead = "<TARNQUILL DOCUMENT LINKS>\r";
const std::string kContent = "<TARNQUILL DOCUMENT CONTENT>\r";
const std::string kSaved = "<!-- saved from url=\"http://h/\" using Tarnquill -->\r";

std::string ElevenLinks() {
  std::string header = kHead;
  for (int i = 0; i <= 10; ++i) header += "<http://h/" + std::to_string(i) + ">\r";
  return header + kContent + kSaved;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Render,
    ::testing::Values(
        TRenderCase{
            "NoLinks", "text/html", kHead + kContent + kSaved + "<p>x</p>\n<p>y",
            "<!-- saved from url=\"http://h/\" using Tarnquill -->\r\n<p>x</p>\r\n<p>y\r\n"},
        TRenderCase{"CrLfHeader", "TEXT/HTML",
                    "<TARNQUILL DOCUMENT LINKS>\r\n<http://h/a>\r\n<TARNQUILL DOCUMENT "
                    "CONTENT>\r\n<a href=\"" +
                        P0 + "#top\">",
                    "<a href=\"[0:http://h/a]#top\">\r\n"},
        TRenderCase{
            "OneAndTen", "text/html; charset=Windows_1258",
            ElevenLinks() + "<a href=\"" + P1 + "\"><a href=\"" + P10 + "\">" + P1,
            "<!-- saved from url=\"http://h/\" using Tarnquill -->\r\n<a href=\"[1:http://h/1]\">"
            "<a href=\"[10:http://h/10]\">[1:http://h/1]\r\n"},
        TRenderCase{"BodyLineEqualToMarker", "text/html",
                    kHead + "<http://h/a>\r" + kContent + kSaved +
                        "body\r<Tarnquill Document Content>\r" + P1 + P0 + LinkPlaceholder(3),
                    "[1:!-- saved from url=&quot;http://h/&quot; using Tarnquill --][0:http://h/a]"
                    "[3:Tarnquill Document Content]\r\n"},
        TRenderCase{"Binary", "image/gif", "GIF89a\r\n\r\0\n" + P0, "GIF89a\r\n\r\0\n" + P0},
        TRenderCase{"NoMarker", "text/html", "<a href=\"" + P0 + "\">\r<b>",
                    "<a href=\"" + P0 + "\">\r\n<b>\r\n"},
        TRenderCase{"UnknownOrMalformedNumbers", "text/html",
                    kHead + "<http://h/a>\r<http://h/b>\r" + kContent + LinkPlaceholder(2) +
                        "\xA4\xA4"
                        "01\xA4\xA4" +
                        "\xA4\xA4\xA4"
                        "1\xA4\xA4" +
                        "\xA4\xA4"
                        "1\xA4x",
                    LinkPlaceholder(2) +
                        "\xA4\xA4"
                        "01\xA4\xA4" +
                        "\xA4[1:http://h/b]" +
                        "\xA4\xA4"
                        "1\xA4x\r\n"},
        // The trailing pair of one placeholder and the digits after it are not read as another.
        TRenderCase{"AdjacentPlaceholders", "text/html",
                    kHead + "<http://h/a>\r<http://h/b>\r" + kContent + P1 + "0\xA4\xA4",
                    "[1:http://h/b]0\xA4\xA4\r\n"},
        TRenderCase{"ShortHeaderLineAndNul", "text/html",
                    kHead + "<\r" + kContent + "<img src=\"" + P0 + "\">" +
                        std::string("\0rest", 5) + "\nnext",
                    "<img src=\"[0:]\">\r\nnext\r\n"},
        TRenderCase{"Empty", "text/html", "", ""},
        // Earlier copies declared their code page under a label browsers do not know.
        TRenderCase{"OldCharsetLabel", "text/html",
                    kHead + kContent + "<meta content=\"text/html;charset=Windows_1258\">",
                    "<meta content=\"text/html;charset=windows-1258\">\r\n"}),
    [](const auto& param) { return std::string(param.param.Name); });

TEST(RenderMapping, MappedTextIsLiteralAndCannotLeaveItsAttribute) {
  const std::string stored =
      kHead + "<http://h/a>\r<http://h/b>\r" + kContent + "<a href=\"" + P0 + "\">" + P1;
  const auto mapping = [](int number, const std::string& address) {
    return number == 0 ? LinkPlaceholder(1) + "\" onclick=\"x()&y" : address;
  };
  EXPECT_EQ(RenderStoredDocument("text/html", stored, mapping),
            "<a href=\"" + P1 + "&quot; onclick=&quot;x()&amp;y\">http://h/b\r\n");
  // Without a mapping the header addresses go back in.
  EXPECT_EQ(RenderStoredDocument("text/html", stored), "<a href=\"http://h/a\">http://h/b\r\n");
}

// The pieces together as the link analyser uses them: rewrite, store, render.
TEST(StoredDocumentFlow, PlaceholdersWrittenByTheRewriterComeBackAsAddresses) {
  TStoredDocumentWriter links;
  const std::string body = RewriteHtml(
      "<meta charset=utf-8><A HREF='page.html#part'>\xC3\xA9</A><img src=pic.gif><a "
      "href=page.html>",
      "", [&](THtmlStartTag& tag) {
        for (const char* attribute : {"href", "src"}) {
          auto value = tag.GetAttribute(attribute);
          if (!value) continue;
          const std::string fragment = value->substr(std::min(value->find('#'), value->size()));
          const std::string address =
              "http://h/dir/" + value->substr(0, value->size() - fragment.size());
          int number = -1;
          const TStoredDocument known = ParseStoredDocument(links.Header("x"));
          for (std::size_t i = 0; i < known.Links.size(); ++i)
            if (known.Links[i] == address) number = static_cast<int>(i);
          if (number < 0) number = links.AddLink(address);
          tag.SetAttribute(attribute, LinkPlaceholderText(number) + fragment);
        }
      });
  const std::string stored = links.Build("http://h/dir/index.html", body);
  EXPECT_NE(stored.find("<A HREF=\"" + P0 + "#part\">\xE9</A><img src=\"" + P1 + "\"><a href=\"" +
                        P0 + "\">"),
            std::string::npos);
  EXPECT_EQ(RenderStoredDocument("text/html", stored),
            "<!-- saved from url=\"http://h/dir/index.html\" using Tarnquill -->\r\n"
            "<meta charset=\"windows-1258\"><A HREF=\"http://h/dir/page.html#part\">\xE9</A>"
            "<img src=\"http://h/dir/pic.gif\"><a href=\"http://h/dir/page.html\">\r\n");
}

}  // namespace
}  // namespace tq
