// Link admission: where a pending link ends up (Queue, Ignored, Emails or nowhere) and why, for
// tables of starting address, link and settings; the filter, keyword and size checks on their
// own; errors inside a run; admission while another thread keeps appending.
#include "engine/admission.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>

namespace tq {
namespace {

TVornLinkPtr MakeLink(const std::string& page, const std::string& text, int32_t level = 1,
                      TVornPublishedTagsKind tag = eptAnchor) {
  auto link = std::make_shared<TVornLink>();
  link->SetPage(page);
  link->SetText(text);
  link->Level = level;
  link->TagKind = tag;
  return link;
}

struct TLists {
  TVornBaseLinks ready, working, queue, failed, ignored, email, deleted, pending;
  TVornAdmissionLists Pointers() {
    return {&ready, &working, &queue, &failed, &ignored, &email, &deleted, &pending};
  }
};

class Admission : public ::testing::Test {
 protected:
  Admission() {
    ApplyNewProjectSettings(m_settings);
    m_settings.General.BaseUrl = "http://h/";
  }

  // Admits one link found on the starting page; returns where it went and its reason.
  std::string Admit(const std::string& text, int32_t level = 1,
                    TVornPublishedTagsKind tag = eptAnchor, TVornRequisite requisite = erqNone) {
    const std::array<std::pair<const char*, TVornBaseLinks*>, 3> targets = {
        {{"queue", &m_lists.queue}, {"ignored", &m_lists.ignored}, {"email", &m_lists.email}}};
    std::map<std::string, int> before;
    for (const auto& [name, list] : targets) before[name] = list->Count();
    const TVornLinkPtr link = MakeLink(m_settings.General.BaseUrl, text, level, tag);
    link->Requisite = requisite;
    m_lists.pending.Add(link);
    TVornAdmission(m_settings, m_lists.Pointers()).AdmitPending();
    EXPECT_EQ(m_lists.pending.Count(), 0);
    std::string where = "dropped";
    for (const auto& [name, list] : targets) {
      if (list->Count() == before[name]) continue;
      where = name;
      if (list == &m_lists.ignored) where += ": " + list->Get(list->Count() - 1)->Reason;
    }
    return where;
  }

  TVornCrawlSettings m_settings;
  TLists m_lists;
};

struct TAdmitCase {
  const char* name;
  std::function<void(TVornCrawlSettings&, TLists&)> setup;
  std::string start;
  std::string link;
  int32_t level;
  TVornPublishedTagsKind tag;
  std::string expected;  // list reached, and reason for Ignored
  TVornRequisite requisite = erqNone;
};

void PrintTo(const TAdmitCase& c, std::ostream* os) {
  *os << c.name;
}

class AdmissionTable : public Admission, public ::testing::WithParamInterface<TAdmitCase> {};

const std::string kIgnored = "ignored: ";
auto kNoSetup = [](TVornCrawlSettings&, TLists&) {};
auto kAllDirectories = [](TVornCrawlSettings& s, TLists&) {
  s.DirectoryRules.DirectoryRules = edrAll;
};
// Images take any site the server rules allow; directories are not restricted.
std::function<void(TVornCrawlSettings&, TLists&)> ServerRule(
    std::function<void(TVornServerRules&)> change) {
  return [change](TVornCrawlSettings& s, TLists&) {
    s.DirectoryRules.DirectoryRules = edrAll;
    s.FilterImagesFiles.FileLocation = fflAySite;
    change(s.ServerRules);
  };
}
const std::string kSite = "http://www.site.com/";

TEST_P(AdmissionTable, LinkReachesTheExpectedList) {
  const TAdmitCase& c = GetParam();
  c.setup(m_settings, m_lists);
  if (!c.start.empty()) m_settings.General.BaseUrl = c.start;
  EXPECT_EQ(Admit(c.link, c.level, c.tag, c.requisite), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, AdmissionTable,
    ::testing::Values(
        TAdmitCase{"directoryPassesWithoutExtensions",
                   [](TVornCrawlSettings& s, TLists&) {
                     for (auto* f : {&s.FilterTextFiles, &s.FilterImagesFiles})
                       f->FileExtensions.Clear();
                   },
                   "", "http://h/a/", 1, eptAnchor, "queue"},
        TAdmitCase{"listedUpperCaseExtension", kNoSetup, "", "http://h/a/img.GIF", 1, eptImage,
                   "queue"},
        TAdmitCase{"filterNotDownloading",
                   [](TVornCrawlSettings& s, TLists&) { s.FilterImagesFiles.Download = false; }, "",
                   "http://h/a/img.GIF", 1, eptImage, kIgnored + std::string(kReasonNoFilter)},
        TAdmitCase{"unlistedExtension", kNoSetup, "", "http://h/a.exe", 1, eptAnchor,
                   kIgnored + std::string(kReasonNoFilter)},
        TAdmitCase{"doubleExtensionClaimedByItsLastPart",
                   [](TVornCrawlSettings& s, TLists&) {
                     s.FilterArchiveFiles.Download = true;
                     s.FilterArchiveFiles.FileExtensions.SetText("gz;");
                   },
                   "", "http://h/archive.tar.gz", 1, eptAnchor, "queue"},
        TAdmitCase{"unselectedExtension",
                   [](TVornCrawlSettings& s, TLists&) {
                     s.FilterImagesFiles.FileExtensionsUsage = ffeSelected;
                     s.FilterImagesFiles.FileExtensions.Items(1).Checked = false;  // gif
                   },
                   "", "http://h/a.gif", 1, eptAnchor, kIgnored + std::string(kReasonNoFilter)},
        TAdmitCase{"otherServer", kNoSetup, "", "http://x/a.gif", 1, eptAnchor,
                   kIgnored + std::string(kReasonBaseServer)},
        TAdmitCase{"serverComparedWithoutCase", kAllDirectories, "", "HTTP://H/a.gif", 1, eptAnchor,
                   "queue"},
        TAdmitCase{"belowStartingDirectory",
                   [](TVornCrawlSettings& s, TLists&) {
                     s.FilterImagesFiles.FileLocation = fflStartingDirectory;
                   },
                   "http://h/docs/index.html", "http://h/docs/a/b.png", 1, eptAnchor, "queue"},
        TAdmitCase{"outsideStartingDirectory",
                   [](TVornCrawlSettings& s, TLists&) {
                     s.FilterImagesFiles.FileLocation = fflStartingDirectory;
                     s.DirectoryRules.DirectoryRules = edrAll;
                   },
                   "http://h/docs/index.html", "http://h/old/docs/b.png", 1, eptAnchor,
                   kIgnored + std::string(kReasonStartingDirectory)}),
    [](const auto& param) { return std::string(param.param.name); });

INSTANTIATE_TEST_SUITE_P(
    TagsAndLevel, AdmissionTable,
    ::testing::Values(
        TAdmitCase{"tagOff",
                   [](TVornCrawlSettings& s, TLists&) {
                     s.TagsRecognition.TagsSensibility.reset(eptForm);
                   },
                   "", "http://h/a.gif", 1, eptForm, kIgnored + std::string(kReasonTag)},
        TAdmitCase{"unknownTagNeverAdmitted", kNoSetup, "", "http://h/a.gif", 1, eptUnknown,
                   kIgnored + std::string(kReasonTag)},
        TAdmitCase{"atLevelLimit", kNoSetup, "", "http://h/a.gif", 5, eptAnchor, "queue"},
        TAdmitCase{"beyondLevelLimit", kNoSetup, "", "http://h/a.gif", 6, eptAnchor,
                   kIgnored + std::string(kReasonLevel)},
        TAdmitCase{"levelReasonOverwritesFilterReason", kNoSetup, "", "http://x/a.gif", 6,
                   eptAnchor, kIgnored + std::string(kReasonLevel)}),
    [](const auto& param) { return std::string(param.param.name); });

INSTANTIATE_TEST_SUITE_P(
    DirectoryAndFileRules, AdmissionTable,
    ::testing::Values(
        // Host names have no case: the address is http://h/a.gif, on the starting server.
        TAdmitCase{"emptyStartDirectoryHostWithoutCase", kNoSetup, "", "http://H/a.gif", 1,
                   eptAnchor, "queue"},
        TAdmitCase{"startDirectoryPrefixWithoutCase", kNoSetup, "http://h/Docs/",
                   "http://h/docs/x/a.gif", 1, eptAnchor, "queue"},
        TAdmitCase{"directoryKeywordFound",
                   [](TVornCrawlSettings& s, TLists&) {
                     s.DirectoryRules.DirectoryRules = edrKeywords;
                     s.DirectoryRules.IncludedKeywords.SetText("API;");
                   },
                   "", "http://h/v1/api/a.gif", 1, eptAnchor, "queue"},
        TAdmitCase{"directoryKeywordMissing",
                   [](TVornCrawlSettings& s, TLists&) {
                     s.DirectoryRules.DirectoryRules = edrKeywords;
                     s.DirectoryRules.IncludedKeywords.SetText("api;");
                   },
                   "", "http://h/img/a.gif", 1, eptAnchor,
                   kIgnored + std::string(kReasonDirectoryKeywords)},
        TAdmitCase{"fileKeywordExcluded",
                   [](TVornCrawlSettings& s, TLists&) {
                     s.FileRules.FileRules = efrKeywords;
                     s.FileRules.Enabled = true;
                     s.FileRules.IncludedKeywords.SetText("logo;");
                     s.FileRules.ExcludedKeywords.SetText("old;");
                   },
                   "", "http://h/logo-old.gif", 1, eptAnchor,
                   kIgnored + std::string(kReasonFileKeywords)},
        TAdmitCase{"fileKeywordsDisabled",
                   [](TVornCrawlSettings& s, TLists&) { s.FileRules.FileRules = efrKeywords; }, "",
                   "http://h/bg.gif", 1, eptAnchor, "queue"}),
    [](const auto& param) { return std::string(param.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ServerRules, AdmissionTable,
    ::testing::Values(TAdmitCase{"otherProtocolRefused", ServerRule([](TVornServerRules& r) {
                                   r.ServerRules = esrStartingProtocol;
                                 }),
                                 kSite, "https://cdn.site.com/a.gif", 1, eptAnchor,
                                 kIgnored + std::string(kReasonStartingProtocol)},
                      TAdmitCase{"relatedHostPasses", ServerRule([](TVornServerRules& r) {
                                   r.ServerRules = esrStartingProtocol;
                                   r.FollowApropiateDomains = true;
                                 }),
                                 kSite, "https://cdn.site.com/a.gif", 1, eptAnchor, "queue"},
                      TAdmitCase{"unrelatedHostRefused", ServerRule([](TVornServerRules& r) {
                                   r.ServerRules = esrStartingProtocol;
                                   r.FollowApropiateDomains = true;
                                 }),
                                 kSite, "https://other.org/a.gif", 1, eptAnchor,
                                 kIgnored + std::string(kReasonStartingProtocol)},
                      TAdmitCase{"selectedProtocol", ServerRule([](TVornServerRules& r) {
                                   r.ServerRules = esrStartingProtocolAnd;
                                   r.HTTPS = true;
                                 }),
                                 kSite, "https://other.org/a.gif", 1, eptAnchor, "queue"},
                      TAdmitCase{"protocolNotSelected", ServerRule([](TVornServerRules& r) {
                                   r.ServerRules = esrStartingProtocolAnd;
                                   r.FTP = true;
                                 }),
                                 kSite, "https://other.org/a.gif", 1, eptAnchor,
                                 kIgnored + std::string(kReasonProtocolNotSelected)},
                      TAdmitCase{"hostKeywordMissing", ServerRule([](TVornServerRules& r) {
                                   r.Enabled = true;
                                   r.IncludedKeywords.SetText("cdn;");
                                 }),
                                 kSite, "http://img.site.com/a.gif", 1, eptAnchor,
                                 kIgnored + std::string(kReasonServerKeywords)},
                      TAdmitCase{"hostKeywordFound", ServerRule([](TVornServerRules& r) {
                                   r.Enabled = true;
                                   r.IncludedKeywords.SetText("CDN;");
                                 }),
                                 kSite, "http://cdn.site.com/a.gif", 1, eptAnchor, "queue"}),
    [](const auto& param) { return std::string(param.param.name); });

INSTANTIATE_TEST_SUITE_P(
    DuplicatesAndKinds, AdmissionTable,
    ::testing::Values(
        TAdmitCase{"inReady",
                   [](TVornCrawlSettings&, TLists& l) {
                     l.ready.Add(MakeLink("http://h/a.gif", "http://h/a.gif"));
                   },
                   "", "http://h/a.gif", 1, eptAnchor, "dropped"},
        TAdmitCase{"inDeleted",
                   [](TVornCrawlSettings&, TLists& l) {
                     l.deleted.Add(MakeLink("http://h/a.gif", "http://h/a.gif"));
                   },
                   "", "http://h/a.gif", 1, eptAnchor, "dropped"},
        TAdmitCase{"inIgnored",
                   [](TVornCrawlSettings&, TLists& l) {
                     l.ignored.Add(MakeLink("http://h/a.exe", "http://h/a.exe"));
                   },
                   "", "http://h/a.exe", 1, eptAnchor, "dropped"},
        TAdmitCase{"ignoredNotSearchedWhenNotListed",
                   [](TVornCrawlSettings& s, TLists& l) {
                     l.ignored.Add(MakeLink("http://h/a.gif", "http://h/a.gif"));
                     s.System.SetBuildIgnored(false);
                   },
                   "", "http://h/a.gif", 1, eptAnchor, "queue"},
        TAdmitCase{"refusedVanishesWhenNotListed",
                   [](TVornCrawlSettings& s, TLists&) { s.System.SetBuildIgnored(false); }, "",
                   "http://h/a.exe", 1, eptAnchor, "dropped"},
        TAdmitCase{"queryDiffersBasic",
                   [](TVornCrawlSettings& s, TLists& l) {
                     l.ready.Add(MakeLink("http://h/a.gif?x=1", "http://h/a.gif?x=1"));
                     s.TagsRecognition.RecognitionMode = erBasic;
                   },
                   "", "http://h/a.gif?x=2", 1, eptAnchor, "dropped"},
        TAdmitCase{"queryDiffersAggressive",
                   [](TVornCrawlSettings&, TLists& l) {
                     l.ready.Add(MakeLink("http://h/a.gif?x=1", "http://h/a.gif?x=1"));
                   },
                   "", "http://h/a.gif?x=2", 1, eptAnchor, "queue"},
        TAdmitCase{"mail", kNoSetup, "", "mailto:me@h.com", 1, eptAnchor, "email"},
        TAdmitCase{"mailAlreadyListed",
                   [](TVornCrawlSettings&, TLists& l) {
                     l.email.Add(MakeLink("http://h/", "mailto:me@h.com?subject=x"));
                   },
                   "", "mailto:me@h.com", 1, eptAnchor, "dropped"},
        TAdmitCase{"mailNotListed",
                   [](TVornCrawlSettings& s, TLists&) { s.System.SetBuildEmails(false); }, "",
                   "mailto:me@h.com", 1, eptAnchor, "dropped"},
        TAdmitCase{"script", kNoSetup, "", "javascript:go()", 1, eptAnchor, "dropped"}),
    [](const auto& param) { return std::string(param.param.name); });

// An unlisted type goes to the filter of the requisite's role; a listed one follows its filter.
INSTANTIATE_TEST_SUITE_P(
    Requisites, AdmissionTable,
    ::testing::Values(
        TAdmitCase{"unlistedTypeTakenByRole", kNoSetup, "", "http://h/f.eot", 9, eptLink, "queue",
                   erqFont},
        TAdmitCase{"roleFilterOff",
                   [](TVornCrawlSettings& s, TLists&) { s.FilterTextFiles.Download = false; }, "",
                   "http://h/f.eot", 1, eptLink, kIgnored + std::string(kReasonNoFilter), erqFont},
        TAdmitCase{"listedTypeFilterOff", kNoSetup, "", "http://h/a.mp4", 1, eptEmbed,
                   kIgnored + std::string(kReasonNoFilter), erqImage}),
    [](const auto& param) { return std::string(param.param.name); });

// A file refused for its level is judged again when a page needs it; one refused for its size is
// not, or every page naming it would fetch it again.
TEST_F(Admission, AnIgnoredFileThatAPageNeedsIsJudgedAgain) {
  Admit("http://h/a.png", 9);
  Admit("http://h/b.png", 9);
  m_lists.ignored.Get(1)->Reason = kReasonSize;
  Admit("http://h/a.png", 9, eptImage, erqImage);
  Admit("http://h/b.png", 9, eptImage, erqImage);
  EXPECT_EQ(m_lists.queue.Get(0)->GetUrl(), "http://h/a.png");
  EXPECT_EQ(m_lists.ignored.Count(), 1);
}

TEST_F(Admission, SecondSightingOfALinkIsADuplicate) {
  EXPECT_EQ(Admit("http://h/a.gif"), "queue");
  EXPECT_EQ(Admit("http://h/a.gif"), "dropped");
  EXPECT_EQ(Admit("http://h/a.exe"), kIgnored + std::string(kReasonNoFilter));
  EXPECT_EQ(Admit("http://h/a.exe"), "dropped");
  // The Queue receives a copy; the pending link is gone with PendingLinks' entry.
  EXPECT_EQ(m_lists.queue.Get(0)->Owner(), &m_lists.queue);
}

TEST_F(Admission, AnErrorEndsTheRunAfterDeletingItsLink) {
  m_lists.ignored.OnAdd = [](TVornBaseLinks&, const TVornLinkPtr&) {
    throw std::runtime_error("hook");
  };
  m_lists.queue.OnAdd = [](TVornBaseLinks&, const TVornLinkPtr&) {
    throw std::runtime_error("hook");
  };
  for (const char* url : {"http://h/a.gif", "http://h/a.exe", "http://h/b.gif"}) {
    m_lists.pending.Add(MakeLink("http://h/", url));
  }
  TVornAdmission admission(m_settings, m_lists.Pointers());
  // Queue errors cost only their link; the Ignored error ends the run.
  EXPECT_THROW(admission.AdmitPending(), std::runtime_error);
  EXPECT_EQ(m_lists.queue.Count(), 1);
  ASSERT_EQ(m_lists.pending.Count(), 1);
  EXPECT_EQ(m_lists.pending.Get(0)->GetUrl(), "http://h/b.gif");
}

// --- the checks on their own ---

TEST_F(Admission, FiltersClaimTheTextAfterTheFirstOrTheLastDot) {
  m_settings.FilterArchiveFiles.Download = true;
  m_settings.FilterArchiveFiles.FileExtensions.SetText("tar.gz;zip;");
  const std::pair<const char*, const char*> table[] = {
      {"archive.tar.gz", "archive"},  // the whole text after the first dot
      {"jquery.min.js", "text"},      // the last dot
      {"library/collections.abc.html", "text"},
      {"backup.2024.ZIP", "archive"},
      {"/v1.2/docs/page.html", "text"},  // a dotted folder
      {"/v1.2/docs/page", ""},
      {"./section-1/page.html", "text"},
      {"/a/page", ""},
      {"page.", ""},
      {"p.html?img=a.gif", "text"},  // the query is no part of the name
      {"http://www.h.com", ""},      // nor is the host
  };
  const std::pair<const char*, const TVornFileFilters*> filters[] = {
      {"archive", &m_settings.FilterArchiveFiles},
      {"images", &m_settings.FilterImagesFiles},
      {"text", &m_settings.FilterTextFiles}};
  for (const auto& [text, expected] : table) {
    const TVornLinkPtr link = MakeLink("http://h/", text);
    std::string claimedBy;
    for (const auto& [name, filter] : filters)
      if (ClaimsLink(*filter, *link)) claimedBy += name;
    EXPECT_EQ(claimedBy, expected) << link->GetUrl();
  }
}

struct TKeywordCase {
  const char* name;
  bool enabled;
  const char* included;
  const char* excluded;
  const char* text;
  TVornLinkValidation expected;
};

void PrintTo(const TKeywordCase& c, std::ostream* os) {
  *os << c.name;
}

class Keywords : public ::testing::TestWithParam<TKeywordCase> {};

TEST_P(Keywords, Verdict) {
  const TKeywordCase& c = GetParam();
  TVornFileRules rules;
  rules.Enabled = c.enabled;
  rules.IncludedKeywords.SetText(c.included);
  rules.ExcludedKeywords.SetText(c.excluded);
  // The second entry of either list is unmarked.
  if (rules.IncludedKeywords.Count() > 1) rules.IncludedKeywords.Items(1).Checked = false;
  if (rules.ExcludedKeywords.Count() > 1) rules.ExcludedKeywords.Items(1).Checked = false;
  EXPECT_EQ(CheckKeywords(rules, c.text), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Keywords,
    ::testing::Values(TKeywordCase{"disabled", false, "", "", "x", elvOk},
                      TKeywordCase{"noIncluded", true, "", "", "x", elvNo},
                      TKeywordCase{"emptyEntryNeverOccurs", true, ";", "", "x", elvNo},
                      TKeywordCase{"substringWithoutCase", true, "Pic", "", "a/PICTURES/", elvOk},
                      TKeywordCase{"unmarkedIncludedIgnored", true, "zzz;pic", "", "pic", elvNo},
                      TKeywordCase{"excludedWins", true, "pic", "tmp", "pic/tmp", elvNo},
                      TKeywordCase{"unmarkedExcludedIgnored", true, "pic", "x;tmp", "pic/tmp",
                                   elvOk},
                      TKeywordCase{"excludedAbsent", true, "pic", "tmp", "pic/new", elvOk}),
    [](const auto& param) { return std::string(param.param.name); });

struct TSizeCase {
  const char* name;
  TFileFiltersSize usage;
  TVornFileSize min, max;
  int32_t size;
  TVornLinkValidation expected;
};

void PrintTo(const TSizeCase& c, std::ostream* os) {
  *os << c.name;
}

class SizeBounds : public ::testing::TestWithParam<TSizeCase> {};

TEST_P(SizeBounds, Verdict) {
  const TSizeCase& c = GetParam();
  TVornFileFilters filter;
  filter.FileSizeUsage = c.usage;
  filter.FileMinSize = c.min;
  filter.FileMaxSize = c.max;
  TVornLink link;
  link.Size = c.size;
  EXPECT_EQ(CheckSize(filter, link), c.expected);
  EXPECT_EQ(link.Reason, c.expected == elvNo ? std::string(kReasonSize) : "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, SizeBounds,
    ::testing::Values(TSizeCase{"allSizes", ffsAll, {1, true}, {1, true}, 5000, elvOk},
                      TSizeCase{"atMax", ffsSelected, {0, false}, {20, true}, 20480, elvOk},
                      TSizeCase{"overMax", ffsSelected, {0, false}, {20, true}, 20481, elvNo},
                      TSizeCase{"maxDisabled", ffsSelected, {0, false}, {20, false}, 99999, elvOk},
                      TSizeCase{"noSizeUnderMin", ffsSelected, {1, true}, {0, false}, 0, elvNo},
                      TSizeCase{"atMin", ffsSelected, {1, true}, {0, false}, 1024, elvOk},
                      // 4 GiB in KiB would wrap a 32-bit byte count and refuse everything.
                      TSizeCase{
                          "hugeMax", ffsSelected, {0, false}, {4194304, true}, 2000000000, elvOk}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(Admission, SizeCheckUsesTheFirstClaimingFilterAndWritesUnderTheListLock) {
  m_settings.FilterArchiveFiles.Download = true;
  m_settings.FilterArchiveFiles.FileExtensions.SetText("zip;");
  m_settings.FilterArchiveFiles.FileSizeUsage = ffsSelected;
  m_settings.FilterArchiveFiles.FileMaxSize = {1, true};
  m_settings.FilterTextFiles.FileExtensions.SetText("zip;");  // claims too, but comes later
  TVornAdmission admission(m_settings, m_lists.Pointers());
  m_lists.working.Add(MakeLink("http://h/a.zip", "http://h/a.zip"));
  TVornLinkPtr zip = m_lists.working.Get(0);
  zip->Size = 2048;
  EXPECT_EQ(admission.CheckSize(*zip), elvNo);
  EXPECT_EQ(zip->Reason, kReasonSize);
  TVornLinkPtr exe = MakeLink("http://h/a.exe", "http://h/a.exe");
  exe->Size = 1 << 30;
  EXPECT_EQ(admission.CheckSize(*exe), elvOk);
}

TEST_F(Admission, RunsWhileAnotherThreadAppendsToPending) {
  constexpr int kLinks = 2000;
  std::atomic<bool> writerDone{false};
  std::thread writer([&] {
    for (int i = 0; i < kLinks; ++i) {
      const std::string url = "http://h/p" + std::to_string(i % (kLinks / 2)) + ".gif";
      m_lists.pending.Add(MakeLink("http://h/", url));
    }
    writerDone = true;
  });
  std::thread admitter([&] {
    TVornAdmission admission(m_settings, m_lists.Pointers());
    bool finalRun = false;
    while (!finalRun) {
      finalRun = writerDone.load();
      admission.AdmitPending();
    }
  });
  writer.join();
  admitter.join();
  EXPECT_EQ(m_lists.pending.Count(), 0);
  EXPECT_EQ(m_lists.queue.Count(), kLinks / 2);  // every address once, the second sighting dropped
}

}  // namespace
}  // namespace tq
