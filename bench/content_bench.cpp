// Link analysis throughput: generated pages shaped like real ones (navigation with many links,
// event handlers naming images, javascript: links, inline scripts and styles, tables, text), in
// UTF-8 and windows-1252, analysed into stored copies. Arg: distinct link addresses per page.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "engine/content.h"
#include "formats/html_rewrite.h"

namespace {

std::string MakePage(bool utf8, int sections, int distinct) {
  std::mt19937 rng(7);
  const std::string word =
      utf8 ? "Привет мир текст страницы " : "Caf\xE9 na\xEFve r\xE9sum\xE9 \x80 ";
  auto pick = [&] { return std::to_string(rng() % static_cast<unsigned>(distinct)); };
  std::string page = "<!DOCTYPE html>\n<html><head>";
  page += utf8 ? "<meta charset=\"utf-8\">"
               : "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">";
  page += "<title>" + word +
          "</title>\n<link rel=stylesheet href=\"/css/site.css\">\n"
          "<style>body{font-family:Arial;background:url('img/bg.png')}a:hover{color:#f00}"
          ".nav li{display:inline}</style>\n<script src=\"/js/jquery.min.js\"></script>\n"
          "<script>var cfg={a:1,b:'</div>',img:'x.gif'};"
          "function go(u){if(a<b&&c>d){window.location=u;}}</script></head>\n"
          "<body bgcolor=white background=\"img/body.jpg\" onload=\"init('start.html')\">\n";
  for (int s = 0; s < sections; ++s) {
    page += "<div class=\"nav\"><ul>";
    for (int i = 0; i < 12; ++i)
      page += "<li><a href=\"/section" + std::to_string(s % 10) + "/page" + pick() +
              ".html#top\" title='" + word + "' onmouseover=\"document.images['b" +
              std::to_string(i) + "'].src='img/btn" + std::to_string(i) +
              "_on.gif'\" onmouseout=\"show('Hello world.')\">" + word + "</a></li>";
    page += "</ul></div>\n<table width=100% border=0><tr><td background=\"img/bg.gif\">";
    page += "<p>" + word + word + word + "<br><img src=\"/img/photo" + pick() + ".jpg\" alt=\"" +
            word + "\" width=120 height=80></img> <a href=\"javascript:openWin('pics/big" + pick() +
            ".jpg')\">zoom</a> <a href=\"mailto:info@example.org\">mail</a>" +
            " <a href=\"#top\">top</a></p><!-- section " + std::to_string(s) + " -->";
    page +=
        "</td></tr></table>\n<script>document.write('<a href=\"x.html\">' + cfg.a + "
        "'</a>');</script>\n<p style=\"background:url('y.gif')\">" +
        word + "</p>\n";
  }
  page += "</body></html>\n";
  return page;
}

void BM_Analyze(benchmark::State& state) {
  const bool utf8 = state.range(0) != 0;
  const int distinct = static_cast<int>(state.range(1));
  const std::string page = MakePage(utf8, 200, distinct);
  int links = 0;
  for (auto _ : state) {
    tq::TVornContent content("http://www.example.org/dir/index.html?id=3", 1);
    content.Analyze(page, "text/html");
    links = content.Links()->Count();
    benchmark::DoNotOptimize(content.Output());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  state.counters["links"] = links;
  state.SetLabel(utf8 ? "utf-8" : "windows-1252");
}
BENCHMARK(BM_Analyze)->Args({1, 50})->Args({0, 50})->Args({1, 5000})->Args({0, 5000});

// The same pages copied without looking at links: what the analysis adds on top.
void BM_CopyOnly(benchmark::State& state) {
  const std::string page = MakePage(state.range(0) != 0, 200, 50);
  for (auto _ : state) benchmark::DoNotOptimize(tq::RewriteHtml(page, "text/html"));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_CopyOnly)->Arg(1)->Arg(0);

}  // namespace
