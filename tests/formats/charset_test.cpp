// Charsets: names, how a page's charset is found, how a copy is written in windows-1258, and a
// round trip over a corpus of pages in many scripts and code pages.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <string>
#include <vector>

#include "formats/charset.h"
#include "formats/html_rewrite.h"
#include "formats/html_tokenizer.h"
#include "support/encode_as.h"

namespace tq {
namespace {

using test::EncodeAs;

const std::string kLongLabel(200, 'a');

TEST(CharsetNames, FollowTheWebsLabels) {
  const std::pair<const char*, const char*> cases[] = {
      {" UTF-8 ", "UTF-8"},
      {"utf8", "UTF-8"},
      {"ISO-8859-1", "windows-1252"},
      {"latin1", "windows-1252"},
      {"us-ascii", "windows-1252"},
      {"cp1251", "windows-1251"},
      {"'koi8-r'", "KOI8-R"},
      {"Windows_1258", "windows-1258"},
      {"iso-8859-9", "windows-1254"},
      {"utf-7", ""},
      {"x-bogus", ""},
      {"", ""},
      {"SCSU", ""},
      {kLongLabel.c_str(), ""},
  };
  for (const auto& [label, expected] : cases) {
    const std::string name = NormalizeCharsetName(label);
    if (*expected) {
      EXPECT_FALSE(name.empty()) << label;
      EXPECT_EQ(name, NormalizeCharsetName(expected)) << label;
    } else {
      EXPECT_EQ(name, "") << label;
    }
  }
}

TEST(CharsetNames, ContentTypeParameter) {
  const std::pair<const char*, const char*> cases[] = {
      {"text/html; charset=UTF-8", "utf-8"},
      {"text/html;charset=\"iso-8859-2\"", "iso-8859-2"},
      {"text/html; Charset = 'koi8-r' ; x=y", "koi8-r"},
      {"text/html; charsetx; charset=cp1251", "cp1251"},
      {"text/html", ""},
      {"charset=", ""},
  };
  for (const auto& [value, expected] : cases)
    EXPECT_EQ(CharsetFromContentType(value), expected) << value;
}

struct TDetectCase {
  std::string Bytes;
  const char* ContentType;
  THtmlCharsetSource Source;
  const char* Charset;   // label whose canonical name is expected
  const char* Utf8Text;  // decoded text, or nullptr to skip
};

class CharsetDetection : public ::testing::TestWithParam<TDetectCase> {};

TEST_P(CharsetDetection, PicksTheCharsetABrowserWould) {
  const auto& c = GetParam();
  const TDecodedHtml page = DecodeHtml(c.Bytes, c.ContentType);
  EXPECT_EQ(page.Source, c.Source);
  EXPECT_EQ(page.Charset, NormalizeCharsetName(c.Charset));
  if (c.Utf8Text) {
    EXPECT_EQ(Utf16ToUtf8(page.Text), c.Utf8Text);
  }
}

using S = THtmlCharsetSource;
INSTANTIATE_TEST_SUITE_P(
    Pages, CharsetDetection,
    ::testing::Values(
        TDetectCase{"\xEF\xBB\xBF<meta charset=iso-8859-2>\xC5\xBC", "text/html; charset=koi8-r",
                    S::hcsByteOrderMark, "utf-8", "<meta charset=iso-8859-2>\xC5\xBC"},
        TDetectCase{std::string("\xFF\xFE<\0b\0>\0", 8), "", S::hcsByteOrderMark, "utf-16le",
                    "<b>"},
        TDetectCase{
            "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-8859-2\">\xBF",
            "text/html; charset=utf-8", S::hcsMeta, "iso-8859-2", nullptr},
        TDetectCase{"<head><meta charset=\"utf-8\"></head>\xC5\xBC", "text/html; charset=koi8-r",
                    S::hcsMeta, "utf-8", nullptr},
        TDetectCase{"<meta charset=x-bogus><meta charset=cp1251>", "", S::hcsMeta, "windows-1251",
                    nullptr},
        TDetectCase{"<meta charset=x-bogus>\xF0", "text/html; charset=koi8-r", S::hcsContentType,
                    "koi8-r", "<meta charset=x-bogus>\xD0\x9F"},
        TDetectCase{"<meta charset=utf-16>\xC5\xBC", "", S::hcsMeta, "utf-8", nullptr},
        TDetectCase{"<meta charset=utf-7>+ADw-", "", S::hcsDefault, "windows-1252", nullptr},
        TDetectCase{"<!-- <meta charset=utf-8> --><script>'<meta charset=utf-8>'</script>\x80", "",
                    S::hcsDefault, "windows-1252", nullptr},
        TDetectCase{"<body><meta charset=utf-8>", "", S::hcsDefault, "windows-1252", nullptr},
        // Past the first kilobyte a declaration is still found; a comment the first kilobyte
        // cuts off hides what it holds.
        TDetectCase{"<title>" + std::string(1500, 'x') + "</title><meta charset=koi8-r>", "",
                    S::hcsMeta, "koi8-r", nullptr},
        TDetectCase{"<!--" + std::string(900, ' ') + "<meta charset=koi8-r>" +
                        std::string(300, ' ') + "-->",
                    "", S::hcsDefault, "windows-1252", nullptr},
        TDetectCase{"<p>\x80\x9F\xE9", "text/html", S::hcsDefault, "windows-1252",
                    "<p>\xE2\x82\xAC\xC5\xB8\xC3\xA9"},
        TDetectCase{"<p>\x80", "text/html; charset=ISO-8859-1", S::hcsContentType, "windows-1252",
                    "<p>\xE2\x82\xAC"}));

// The copy of a page: written in windows-1258, declaring it, nothing lost.
struct TCopyCase {
  std::string Bytes;
  const char* ContentType;
  std::string Expected;
};

class StoredCopy : public ::testing::TestWithParam<TCopyCase> {};

TEST_P(StoredCopy, IsWindows1258WithEscapes) {
  EXPECT_EQ(RewriteHtml(GetParam().Bytes, GetParam().ContentType), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, StoredCopy,
    ::testing::Values(
        // iso-8859-2: ż is not in windows-1258, é is.
        TCopyCase{
            "<meta http-equiv=content-type content=\"text/html; charset=iso-8859-2\">\xBF\xE9", "",
            "<meta http-equiv=\"content-type\" "
            "content=\"text/html; charset=windows-1258\">&#380;\xE9"},
        TCopyCase{"<meta charset=utf-8><p title=\"\xD0\x96\">\xE2\x82\xAC</p>", "",
                  "<meta charset=\"windows-1258\"><p title=\"&#1046;\">\x80</p>"},
        // Letters windows-1258 holds where windows-1252 has others are escaped too.
        TCopyCase{"<p>\xC4\x82\xC3\x83\xE2\x82\xAB", "text/html; charset=utf-8",
                  "<p>&#258;&#195;&#8363;"},
        TCopyCase{"<script>alert('\xD0\x96\xF0\x9F\x98\x80');</"
                  "script><style>p:after{content:'\xE2\x86\x92'}</style>",
                  "text/html; charset=utf-8",
                  "<script>alert('\\u0416\\uD83D\\uDE00');</"
                  "script><style>p:after{content:'\\002192 '}</style>"},
        TCopyCase{
            "<meta http-equiv=refresh content=\"0; url=x.html\"><meta name=charset content=utf-8>",
            "",
            "<meta http-equiv=refresh content=\"0; url=x.html\"><meta name=charset content=utf-8>"},
        TCopyCase{"\xEF\xBB\xBF<p>\xC3\xA9", "", "<p>\xE9"},
        // A reference is written only where it will be read: title and markup templates are
        // decoded, xmp and scripts of other types never are.
        TCopyCase{"<title>\xC5\xBC</title><script type=text/x-template>\xC5\xBC</script>"
                  "<xmp>\xC5\xBC\xC3\xA9</xmp><script type=text/x-shader>\xC5\xBC</script>",
                  "text/html; charset=utf-8",
                  "<title>&#380;</title><script type=text/x-template>&#380;</script>"
                  "<xmp>?\xE9</xmp><script type=text/x-shader>?</script>"},
        TCopyCase{std::string("<p>a\0b", 6), "", "<p>a&#0;b"}));

// --- Round trip over a corpus ---

enum TDeclaration { kMetaCharset, kHttpEquiv, kContentTypeOnly, kByteOrderMark, kNone };

struct TCorpusPage {
  const char* Text;  // UTF-8
  const char* Charset;
  TDeclaration Declaration;
  int Flavor;
};

std::string BuildPage(const TCorpusPage& p, std::string& contentType) {
  const std::string t = p.Text;
  std::string word = t;  // for unquoted values: no blanks
  for (char& c : word)
    if (c == ' ') c = '_';
  std::string head;
  if (p.Declaration == kMetaCharset) head = std::string("<meta charset=\"") + p.Charset + "\">";
  if (p.Declaration == kHttpEquiv)
    head = std::string("<META HTTP-EQUIV='Content-Type' CONTENT='text/html; charset=") + p.Charset +
           "'>";
  contentType = p.Declaration == kContentTypeOnly ? std::string("text/html; charset=") + p.Charset
                                                  : "text/html";
  std::string html;
  switch (p.Flavor) {
    case 0:
      html = "<!DOCTYPE html><html><head>" + head + "<title>" + t +
             "</title><style>h1:before{content:\"" + t + "\"}</style></head><body><h1 title=\"" +
             t + "\">" + t + "</h1><a href=\"page.html#" + t + "\">" + t +
             "</a><img src=a.gif alt='" + t + "'></img><script>var s = '" + t +
             "'; if (a < b) document.write('</div>');</script><!-- " + t + " --></body></html>";
      break;
    case 1:
      html = head + "<P CLASS=x>" + t + " &amp; &#169; &lt;b&gt;<BR><A HREF=x.html TITLE=" + word +
             ">x</A><TABLE BACKGROUND=bg.gif><TR><TD>" + t + "</TD></TR></TABLE><%= " + t + " %>";
      break;
    default:
      html = head + "<p <b>" + t + "</p></img><div title=\"" + t + "\" data-x='a\"b'>" + t +
             "<textarea><a href=" + t + "></textarea>< " + t + " <a href=\"" + t;
      break;
  }
  if (p.Declaration == kByteOrderMark) return "\xEF\xBB\xBF" + html;
  return EncodeAs(html, p.Charset);
}

// Resolves \uXXXX (JavaScript) or \HHHHHH (CSS) escapes.
std::u16string ResolveEscapes(std::u16string_view s, bool css) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 >= s.size()) {
      out += s[i];
      continue;
    }
    std::size_t j = i + 1 + (css ? 0 : 1);
    if (!css && s[i + 1] != 'u') {
      out += s[i];
      continue;
    }
    uint32_t cp = 0;
    std::size_t digits = 0;
    while (j < s.size() && digits < (css ? 6u : 4u) && std::isxdigit(static_cast<int>(s[j]))) {
      cp = cp * 16 +
           static_cast<uint32_t>(std::stoi(std::string(1, static_cast<char>(s[j])), nullptr, 16));
      ++j;
      ++digits;
    }
    if (digits == 0) {
      out += s[i];
      continue;
    }
    if (css && j < s.size() && s[j] == ' ') ++j;
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i = j - 1;
  }
  return out;
}

// What a reader of the page sees: each item with references (or script and style escapes)
// resolved; start tags as name and attribute values, charset declarations left out.
std::vector<std::u16string> Meaning(std::u16string_view text) {
  std::vector<std::u16string> items;
  THtmlTokenizer tokenizer(text);
  while (tokenizer.Next()) {
    const THtmlItem& item = tokenizer.Item();
    switch (item.Kind) {
      case THtmlItemKind::hikStartTag: {
        const THtmlStartTag& tag = tokenizer.StartTag();
        std::u16string s = u"<" + std::u16string(item.Name);
        for (const auto& a : tag.Attributes())
          if (!(tag.NameIs("meta") &&
                (HtmlNameEquals(a.Name, "charset") || HtmlNameEquals(a.Name, "content"))))
            s += u" " + std::u16string(a.Name) + u"=" + DecodeCharacterReferences(a.RawValue);
        items.push_back(s);
        break;
      }
      case THtmlItemKind::hikEndTag:
        if (!IsVoidEndTag(item)) items.emplace_back(item.Source);
        break;
      case THtmlItemKind::hikScriptText:
        items.push_back(ResolveEscapes(item.Source, false));
        break;
      case THtmlItemKind::hikStyleText:
        items.push_back(ResolveEscapes(item.Source, true));
        break;
      default:
        items.push_back(DecodeCharacterReferences(item.Source));
    }
  }
  return items;
}

class CorpusRoundTrip : public ::testing::TestWithParam<TCorpusPage> {};

TEST_P(CorpusRoundTrip, CopyReadsAsTheOriginal) {
  std::string contentType;
  const std::string bytes = BuildPage(GetParam(), contentType);
  ASSERT_FALSE(bytes.empty());
  const TDecodedHtml original = DecodeHtml(bytes, contentType);
  EXPECT_EQ(Utf16ToUtf8(original.Text).find("\xEF\xBF\xBD"), std::string::npos)
      << "decoded wrongly";
  const std::string copy = RewriteHtml(bytes, contentType);
  // Read as declared by the copy, and as a browser that ignores the declaration would.
  const TDecodedHtml declared = DecodeHtml(copy, "");
  EXPECT_EQ(Meaning(declared.Text), Meaning(original.Text));
  EXPECT_EQ(Meaning(DecodeBytes(copy, "windows-1252")), Meaning(original.Text));
}

const char* const kRussian = "Привет, мир! Ёжик в тумане";
const char* const kPolish = "Zażółć gęślą jaźń";
const char* const kCzech = "Příliš žluťoučký kůň úpěl ďábelské ódy";
const char* const kGerman = "Grüße aus Köln – „Zitat“ € œ";
const char* const kFrench = "Œuvre façade naïve « guillemets »";
const char* const kSpanish = "¡Hola! ¿Qué tal? Año niño ÃÕ ãõ ÝÞ";
const char* const kGreek = "Καλημέρα κόσμε";
const char* const kChinese = "你好，世界。中文网页";
const char* const kJapanese = "こんにちは世界、カタカナ";
const char* const kKorean = "안녕하세요 세계";
const char* const kArabic = "مرحبا بالعالم";
const char* const kHebrew = "שלום עולם";
const char* const kVietnamese = "Tiếng Việt: ă â đ ê ô ơ ư ₫ Ă Ơ Ư";
const char* const kTurkish = "Işığın ğüşöç İĞÜŞÖÇ";
const char* const kEmoji = "Smile 😀 and 𝄞 music";
const char* const kThai = "สวัสดีชาวโลก";
const char* const kHindi = "नमस्ते दुनिया";
const char* const kSymbols = "™ © ® ½ ∞ ≠ ≤ → ← ¤¤";

INSTANTIATE_TEST_SUITE_P(Pages, CorpusRoundTrip,
                         ::testing::Values(TCorpusPage{kRussian, "utf-8", kMetaCharset, 0},
                                           TCorpusPage{kRussian, "windows-1251", kHttpEquiv, 1},
                                           TCorpusPage{kRussian, "koi8-r", kContentTypeOnly, 2},
                                           TCorpusPage{kRussian, "utf-8", kByteOrderMark, 0},
                                           TCorpusPage{kPolish, "iso-8859-2", kHttpEquiv, 0},
                                           TCorpusPage{kPolish, "utf-8", kContentTypeOnly, 1},
                                           TCorpusPage{kCzech, "windows-1250", kMetaCharset, 2},
                                           TCorpusPage{kCzech, "iso-8859-2", kMetaCharset, 1},
                                           TCorpusPage{kGerman, "windows-1252", kNone, 0},
                                           TCorpusPage{kGerman, "utf-8", kHttpEquiv, 2},
                                           TCorpusPage{kFrench, "windows-1252", kHttpEquiv, 1},
                                           TCorpusPage{kFrench, "iso-8859-15", kMetaCharset, 0},
                                           TCorpusPage{kSpanish, "iso-8859-1", kHttpEquiv, 0},
                                           TCorpusPage{kSpanish, "windows-1252", kNone, 2},
                                           TCorpusPage{kSpanish, "iso-8859-1", kContentTypeOnly, 1},
                                           TCorpusPage{kGreek, "iso-8859-7", kHttpEquiv, 0},
                                           TCorpusPage{kGreek, "utf-8", kMetaCharset, 2},
                                           TCorpusPage{kChinese, "gbk", kMetaCharset, 0},
                                           TCorpusPage{kChinese, "utf-8", kByteOrderMark, 1},
                                           TCorpusPage{kChinese, "gb18030", kContentTypeOnly, 2},
                                           TCorpusPage{kJapanese, "shift_jis", kHttpEquiv, 0},
                                           TCorpusPage{kJapanese, "euc-jp", kMetaCharset, 1},
                                           TCorpusPage{kKorean, "euc-kr", kMetaCharset, 0},
                                           TCorpusPage{kArabic, "windows-1256", kHttpEquiv, 1},
                                           TCorpusPage{kArabic, "utf-8", kMetaCharset, 2},
                                           TCorpusPage{kHebrew, "windows-1255", kMetaCharset, 0},
                                           TCorpusPage{kVietnamese, "utf-8", kMetaCharset, 0},
                                           TCorpusPage{kVietnamese, "utf-8", kHttpEquiv, 2},
                                           TCorpusPage{kTurkish, "windows-1254", kHttpEquiv, 1},
                                           TCorpusPage{kEmoji, "utf-8", kMetaCharset, 0},
                                           TCorpusPage{kEmoji, "utf-8", kContentTypeOnly, 2},
                                           TCorpusPage{kThai, "windows-874", kMetaCharset, 1},
                                           TCorpusPage{kHindi, "utf-8", kByteOrderMark, 2},
                                           TCorpusPage{kSymbols, "utf-8", kMetaCharset, 1},
                                           TCorpusPage{"Plain ASCII <b>only</b>", "windows-1252",
                                                       kNone, 0},
                                           TCorpusPage{kRussian, "ibm866", kMetaCharset, 0}));

// Long runs the code page holds, broken by characters it cannot hold at every distance from the
// start: the output must be the characters one by one, whatever the length of the run. ASCII,
// letters only the code page holds, NUL and lone surrogates are mixed in, and UTF-8 output too.
TEST(CharsetEncoder, LongRunsMatchCharacterByCharacterEncoding) {
  for (const char* charset : {"windows-1252", "windows-1258", "KOI8-R", "UTF-8"}) {
    const TCharsetEncoder encoder(charset);
    for (const std::size_t run : {0u, 1u, 7u, 8u, 9u, 511u, 512u, 513u, 1024u, 1500u}) {
      SCOPED_TRACE(std::string(charset) + " " + std::to_string(run));
      std::u16string text;
      std::string expected;
      for (int piece = 0; piece < 3; ++piece) {
        for (std::size_t i = 0; i < run; ++i) {
          const char16_t c = i % 7 == 0    ? u'\u00e9'
                             : i % 11 == 0 ? u'\u0416'
                             : i % 97 == 0 ? (i % 2 ? u'\0' : u'\xD800')
                                           : static_cast<char16_t>(u'a' + i % 26);
          text += c;
          expected += encoder.Encode(std::u16string(1, c));
        }
        text += u'\u4e2d';  // in none of the code pages
        expected += encoder.Encode(u"\u4e2d");
      }
      EXPECT_EQ(encoder.Encode(text), expected);
    }
  }
}

// UTF-8 is decoded without a converter: it must read every byte sequence, broken ones included,
// exactly as ICU's UTF-8 converter does.
TEST(CharsetDecoding, Utf8ReadsAsTheConverterDoes) {
  const std::string pieces[] = {"a",
                                "<",
                                "\xC3\xA9",
                                "\xE4\xB8\xAD",
                                "\xF0\x9F\x98\x80",
                                "\x80",
                                "\xBF",
                                "\xC0",
                                "\xC2",
                                "\xE0\x80",
                                "\xED\xA0\x80",
                                "\xF4\x90",
                                "\xF5",
                                "\xFF",
                                std::string(1, '\0')};
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open("UTF-8", &error);
  ASSERT_TRUE(U_SUCCESS(error));
  uint32_t seed = 7;
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    const int count = round % 40;
    for (int i = 0; i < count; ++i) {
      seed = seed * 1103515245 + 12345;
      bytes += pieces[(seed >> 16) % std::size(pieces)];
    }
    std::u16string expected(bytes.size() + 1, u'\0');
    error = U_ZERO_ERROR;
    ucnv_reset(converter);
    const int32_t n = ucnv_toUChars(converter, reinterpret_cast<UChar*>(expected.data()),
                                    static_cast<int32_t>(expected.size()), bytes.data(),
                                    static_cast<int32_t>(bytes.size()), &error);
    ASSERT_TRUE(U_SUCCESS(error));
    expected.resize(static_cast<std::size_t>(n));
    ASSERT_EQ(DecodeBytes(bytes, "UTF-8"), expected) << round;
  }
  ucnv_close(converter);
}

}  // namespace
}  // namespace tq
