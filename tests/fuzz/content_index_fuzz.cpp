// Rebuilding links from an arbitrary content index: no crash, the index reads back as written, at
// most one link per section, mail entries come back as mail links, and writing a rebuilt link into
// a fresh index and rebuilding it again keeps its status, level and page (only the status for
// deleted links).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "foundation/errors.h"
#include "storage/content_index.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "content_index_fuzz: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tq::TVornIndexFile index;
  index.SetText(std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<std::string> sections;
  index.ReadSections(sections);
  tq::TVornIndexFile written;
  written.SetText(index.GetText());
  Check(written.GetText() == index.GetText(), "the written index reads back differently");
  size_t seen = 0;
  tq::LoadLinksFromIndex(index, [&](tq::TVornLinkPtr link, int status) {
    ++seen;
    if (status == tq::kStatusEmail) Check(link->Text().starts_with("mailto:"), "mail text");
    const auto list = tq::LinkListOfStatus(status);
    if (!list) return true;
    tq::TVornIndexFile again;
    try {
      if (!tq::WriteLinkEntry(again, *list, *link)) return true;
    } catch (const tq::EVornError&) {
      return true;  // a section name that is no address
    }
    int reloaded = 0;
    tq::LoadLinksFromIndex(again, [&](tq::TVornLinkPtr copy, int copyStatus) {
      ++reloaded;
      Check(copyStatus == status, "status changed");
      if (status == tq::kStatusDeleted) return true;  // only the status is kept for those
      Check(copy->Level == link->Level, "level changed");
      Check(copy->Page() == link->Page(), "page changed");
      return true;
    });
    Check(reloaded <= 1, "one entry written, several read");
    return true;
  });
  Check(seen <= sections.size(), "more links than sections");
  return 0;
}
