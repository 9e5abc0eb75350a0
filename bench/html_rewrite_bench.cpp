// Rewriting throughput: generated pages shaped like real ones (navigation with many links, inline
// scripts and styles, images, tables, text), in UTF-8 and windows-1252; every link value is
// replaced by a placeholder, as the link analyser does. Also rendering the stored copy back.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "formats/html_rewrite.h"
#include "formats/stored_document.h"

namespace {

std::string MakePage(bool utf8, int sections) {
  std::mt19937 rng(42);
  const std::string word =
      utf8 ? "Привет мир текст страницы " : "Caf\xE9 na\xEFve r\xE9sum\xE9 \x80 ";
  std::string page = "<!DOCTYPE html>\n<html><head>";
  page += utf8 ? "<meta charset=\"utf-8\">"
               : "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">";
  page +=
      "<title>" + word +
      "</title>\n<link rel=stylesheet href=\"/css/site.css\">\n"
      "<style>body{font-family:Arial}a:hover{color:#f00}.nav li{display:inline}</style>\n"
      "<script src=\"/js/jquery.min.js\"></script>\n<script>var cfg={a:1,b:'</div>'};"
      "function go(u){if(a<b&&c>d){window.location=u;}}</script></head>\n<body bgcolor=white>\n";
  for (int s = 0; s < sections; ++s) {
    page += "<div class=\"nav\"><ul>";
    for (int i = 0; i < 12; ++i)
      page += "<li><a href=\"/section" + std::to_string(s) + "/page" + std::to_string(rng() % 500) +
              ".html\" title='" + word + "' onmouseover=\"show('img/btn" + std::to_string(i) +
              ".gif')\">" + word + "</a></li>";
    page += "</ul></div>\n<table width=100% border=0><tr><td background=\"img/bg.gif\">";
    page += "<p>" + word + word + word + "<br><img src=\"/img/photo" + std::to_string(rng() % 100) +
            ".jpg\" alt=\"" + word + "\" width=120 height=80></p><!-- section " +
            std::to_string(s) + " -->";
    page +=
        "</td></tr></table>\n<script>document.write('<a href=\"x.html\">' + cfg.a + "
        "'</a>');</script>\n";
  }
  page += "</body></html>\n";
  return page;
}

void RewriteLinks(tq::THtmlStartTag& tag, int& number) {
  for (const char* attribute : {"href", "src", "background"}) {
    if (tag.HasAttribute(attribute))
      tag.SetAttribute(attribute, tq::LinkPlaceholderText(number++ % 40));
  }
}

void BM_RewriteHtml(benchmark::State& state) {
  const bool utf8 = state.range(0) != 0;
  const std::string page = MakePage(utf8, 200);
  for (auto _ : state) {
    int number = 0;
    std::string copy = tq::RewriteHtml(page, "text/html",
                                       [&](tq::THtmlStartTag& tag) { RewriteLinks(tag, number); });
    benchmark::DoNotOptimize(copy);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  state.SetLabel(utf8 ? "utf-8" : "windows-1252");
}
BENCHMARK(BM_RewriteHtml)->Arg(1)->Arg(0);

void BM_TokenizeOnly(benchmark::State& state) {
  const std::string page = MakePage(true, 200);
  const std::u16string text = tq::DecodeHtml(page, "").Text;
  for (auto _ : state) {
    tq::THtmlTokenizer tokenizer(text);
    int items = 0;
    while (tokenizer.Next()) ++items;
    benchmark::DoNotOptimize(items);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_TokenizeOnly);

void BM_RenderStoredDocument(benchmark::State& state) {
  int number = 0;
  const std::string body =
      tq::RewriteHtml(MakePage(false, 200), "text/html",
                      [&](tq::THtmlStartTag& tag) { RewriteLinks(tag, number); });
  tq::TStoredDocumentWriter links;
  for (int i = 0; i < 40; ++i)
    links.AddLink("http://example.com/section/page" + std::to_string(i) + ".html");
  const std::string stored = links.Build("http://example.com/", body);
  for (auto _ : state) {
    std::string page =
        tq::RenderStoredDocument("text/html", stored, [](int n, const std::string& address) {
          return "http://127.0.0.1/" + std::to_string(n) + "/" + address;
        });
    benchmark::DoNotOptimize(page);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stored.size()));
}
BENCHMARK(BM_RenderStoredDocument);

}  // namespace
