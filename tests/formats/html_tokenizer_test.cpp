// Tokenizer and writer: items found in tricky markup, exact write-back, start tag edits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/charset.h"
#include "formats/html_tokenizer.h"
#include "formats/html_writer.h"

namespace tq {
namespace {

std::u16string Latin1(std::string_view s) {
  return DecodeBytes(s, "windows-1252");
}

// Items as "kind:source" lines, start and end tags as "<name" / "</name".
std::vector<std::string> Items(std::string_view html) {
  const std::u16string text = Latin1(html);
  THtmlTokenizer tokenizer(text);
  std::vector<std::string> items;
  static const char* kKinds[] = {"text",   "start",  "end",   "comment", "decl",   "pi",
                                 "server", "script", "style", "raw",     "literal"};
  while (tokenizer.Next())
    items.push_back(std::string(kKinds[static_cast<int>(tokenizer.Item().Kind)]) + ":" +
                    Utf16ToUtf8(tokenizer.Item().Source));
  return items;
}

std::string WriteBack(std::string_view html, const TCharsetEncoder& encoder) {
  const std::u16string text = Latin1(html);
  THtmlTokenizer tokenizer(text);
  THtmlWriter writer(encoder, "windows-1252");
  while (tokenizer.Next()) writer.WriteCurrent(tokenizer);
  return writer.TakeOutput();
}

struct TItemsCase {
  const char* Html;
  std::vector<std::string> Expected;
};

class TokenizerItems : public ::testing::TestWithParam<TItemsCase> {};

TEST_P(TokenizerItems, SplitsAsBrowsersDo) {
  EXPECT_EQ(Items(GetParam().Html), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Markup, TokenizerItems,
    ::testing::Values(
        TItemsCase{"a<b>c</b>", {"text:a", "start:<b>", "text:c", "end:</b>"}},
        TItemsCase{"<!-- x <a href=y> --><p>", {"comment:<!-- x <a href=y> -->", "start:<p>"}},
        TItemsCase{"<!--> <p>", {"comment:<!-->", "text: ", "start:<p>"}},
        TItemsCase{"<!-- never closed <a>", {"comment:<!-- never closed <a>"}},
        TItemsCase{"<script>if (a < b) x = '</div>';</script>",
                   {"start:<script>", "script:if (a < b) x = '</div>';", "end:</script>"}},
        TItemsCase{"<SCRIPT>a</scriptx></Script >",
                   {"start:<SCRIPT>", "script:a</scriptx>", "end:</Script >"}},
        TItemsCase{"<script type=text/template><a href=x></script>",
                   {"start:<script type=text/template>", "raw:<a href=x>", "end:</script>"}},
        TItemsCase{
            "<script type=text/x-shader>a&amp;</script><xmp><b></xmp><plaintext></b>",
            {"start:<script type=text/x-shader>", "literal:a&amp;", "end:</script>", "start:<xmp>",
             "literal:<b>", "end:</xmp>", "start:<plaintext>", "literal:</b>"}},
        TItemsCase{"<style>p>a{}</style>", {"start:<style>", "style:p>a{}", "end:</style>"}},
        TItemsCase{"<script>never closed <b>", {"start:<script>", "script:never closed <b>"}},
        TItemsCase{"1 < 2 <3 a<-b </ x> <>", {"text:1 < 2 <3 a<-b </ x> <>"}},
        TItemsCase{"<a href='x", {"text:<a href='x"}}, TItemsCase{"<a href=x", {"text:<a href=x"}},
        TItemsCase{"x</a", {"text:x", "text:</a"}},
        TItemsCase{"<b>x<a href='y>z<b>w", {"start:<b>", "text:x", "text:<a href='y>z<b>w"}},
        TItemsCase{"<?a><?b?>", {"pi:<?a><?b?>"}}, TItemsCase{"<?a><?b>", {"pi:<?a>", "pi:<?b>"}},
        TItemsCase{
            "<!DOCTYPE html><?xml v?><% if a > b %><? echo '>' ?>",
            {"decl:<!DOCTYPE html>", "pi:<?xml v?>", "server:<% if a > b %>", "pi:<? echo '>' ?>"}},
        TItemsCase{"<![CDATA[ <a> ]]>x", {"decl:<![CDATA[ <a> ]]>", "text:x"}},
        TItemsCase{"<textarea><b>x</b></textarea>",
                   {"start:<textarea>", "raw:<b>x</b>", "end:</textarea>"}},
        TItemsCase{"<a title='>' href=\"b>\">", {"start:<a title='>' href=\"b>\">"}}));

// Write-back with no edits gives back the input, except for end tags HTML does not have.
struct TWriteBackCase {
  const char* Html;
  const char* Expected;  // nullptr: the input itself
};

class WriterRoundTrip : public ::testing::TestWithParam<TWriteBackCase> {};

TEST_P(WriterRoundTrip, WritesUntouchedItemsExactly) {
  const TCharsetEncoder encoder("windows-1252");
  const std::string expected = GetParam().Expected ? GetParam().Expected : GetParam().Html;
  EXPECT_EQ(WriteBack(GetParam().Html, encoder), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, WriterRoundTrip,
    ::testing::Values(
        TWriteBackCase{"<HTML><Body BGCOLOR=red onLoad=\"init()\">Caf\xE9 \x80 5</BODY>", nullptr},
        TWriteBackCase{"<input type=checkbox checked disabled><br/><img src=a.gif />", nullptr},
        TWriteBackCase{"<a href=\"it's.html\" title='say \"hi\"'>q</a>", nullptr},
        TWriteBackCase{"<p>a < b && c > d</p><!-- c --><!doctype x>", nullptr},
        TWriteBackCase{"<img src=a.gif></img><IMG src=b></IMG><br></br>",
                       "<img src=a.gif><IMG src=b><br></br>"},
        TWriteBackCase{"<meta charset=x></meta><link rel=a></link><area></area><base></base>"
                       "<input></input><bgsound></bgsound>",
                       "<meta charset=x><link rel=a><area><base><input><bgsound>"},
        TWriteBackCase{"<a href=x\n\ttarget=_top\r\n>unterminated <b", nullptr},
        TWriteBackCase{"\x81\x8D\x8F\x90\x9D\x01\xFF", nullptr}));

struct TEditCase {
  const char* Tag;
  const char* Attribute;
  const char* Value;  // nullptr removes the attribute
  const char* Expected;
};

class StartTagEdits : public ::testing::TestWithParam<TEditCase> {};

TEST_P(StartTagEdits, RebuildsTagWithQuotedValues) {
  const TCharsetEncoder encoder("windows-1252");
  const std::u16string text = Latin1(GetParam().Tag);
  THtmlTokenizer tokenizer(text);
  ASSERT_TRUE(tokenizer.Next());
  ASSERT_EQ(tokenizer.Item().Kind, THtmlItemKind::hikStartTag);
  THtmlStartTag& tag = tokenizer.StartTag();
  if (GetParam().Value)
    tag.SetAttribute(GetParam().Attribute, GetParam().Value);
  else
    tag.RemoveAttribute(GetParam().Attribute);
  THtmlWriter writer(encoder, "windows-1252");
  writer.WriteStartTag(tag);
  EXPECT_EQ(writer.Output(), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Attributes, StartTagEdits,
    ::testing::Values(
        TEditCase{"<A HREF=x.html Target=_top>", "href",
                  "\xC2\xA4\xC2\xA4"
                  "0\xC2\xA4\xC2\xA4",
                  "<A HREF=\"\xA4\xA4"
                  "0\xA4\xA4\" Target=\"_top\">"},
        TEditCase{"<a href='x' title=a\"b>", "href", "y", "<a href=\"y\" title='a\"b'>"},
        TEditCase{"<a href=x title=a\"b'c>", "href", "y", "<a href=\"y\" title=\"a&quot;b'c\">"},
        TEditCase{"<a href=x>", "href", "say \"a&b\"", "<a href=\"say &quot;a&amp;b&quot;\">"},
        TEditCase{"<img src=a.gif/>", "alt", "", "<img src=\"a.gif/\" alt=\"\">"},
        TEditCase{"<br/>", "class", "x", "<br class=\"x\"/>"},
        TEditCase{"<input checked src=a>", "src", "b", "<input checked src=\"b\">"},
        TEditCase{"<a href=a href=b name=n>", "href", nullptr, "<a name=\"n\">"},
        TEditCase{"<a href=a href=b>", "HREF", "c", "<a href=\"c\" href=\"b\">"},
        TEditCase{"<p \xC9=1>", "\xC3\x89", "2", "<p \xC9=\"2\">"},
        TEditCase{"<a href=x>", "title", "\xE2\x82\xAC \xD0\x96",
                  "<a href=\"x\" title=\"\x80 &#1046;\">"}));

TEST(StartTag, ReadsAttributesCaseInsensitivelyWithReferencesResolved) {
  const std::u16string text =
      Latin1("<A HREF=\"a.php?x=1&amp;y=2&copy=3\" Title='&#8364;&#x41;&eacute;&bogus;' checked>");
  THtmlTokenizer tokenizer(text);
  ASSERT_TRUE(tokenizer.Next());
  const THtmlStartTag& tag = tokenizer.StartTag();
  EXPECT_TRUE(tag.NameIs("a"));
  EXPECT_EQ(tag.GetAttribute("href"), "a.php?x=1&y=2&copy=3");
  EXPECT_EQ(tag.GetAttribute("TITLE"),
            "\xE2\x82\xAC"
            "A\xC3\xA9&bogus;");
  EXPECT_EQ(tag.GetAttribute("checked"), "");
  EXPECT_EQ(tag.GetAttribute("missing"), std::nullopt);
  EXPECT_FALSE(tag.Modified());
}

TEST(StartTag, NumericReferencesFollowBrowsers) {
  EXPECT_EQ(DecodeCharacterReferences(u"&#128;&#0;&#xD800;&#1114112;&#128512;&#"),
            u"\u20AC\uFFFD\uFFFD\uFFFD\U0001F600&#");
}

}  // namespace
}  // namespace tq
