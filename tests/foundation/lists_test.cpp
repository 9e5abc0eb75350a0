// Keyword lists and hand-over lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "foundation/authorizations.h"
#include "foundation/check_strings.h"
#include "foundation/mem_ini_file.h"
#include "foundation/synch_list.h"

namespace tq {
namespace {

std::vector<std::pair<std::string, bool>> Dump(const TCheckStrings& list) {
  std::vector<std::pair<std::string, bool>> out;
  for (int i = 0; i < list.Count(); ++i)
    out.emplace_back(list.Items(i).Value, list.Items(i).Checked);
  return out;
}

TEST(CheckStrings, PersistsValuesAndMarksWithTheA4Separator) {
  TVornMemIniFile ini("unused.ini");
  TCheckStrings list;
  list.Add().Value = "a";
  list.Add().Checked = false;
  list.Add().Value = "c";
  list.SaveToIni(ini, "Rules", "Include");
  EXPECT_EQ(ini.ReadString("Rules", "IncludeFilterValues", ""),
            "a\xA4\xA4"
            "c\xA4");
  EXPECT_EQ(ini.ReadString("Rules", "IncludeFilterChecked", ""),
            "1\xA4"
            "0\xA4"
            "1\xA4");

  ini.SetText(ini.GetText());  // through the file text and back
  TCheckStrings loaded;
  loaded.Add().Value = "stale";
  loaded.LoadFromIni(ini, "rules", "include");
  EXPECT_EQ(Dump(loaded), Dump(list));
}

TEST(CheckStrings, LoadingPairsValuesWithFlagsAndDropsTheRest) {
  const struct {
    const char* values;
    const char* flags;
    std::vector<std::pair<std::string, bool>> expected;
  } cases[] = {
      {"a\xA4"
       "b\xA4"
       "c\xA4",
       "1\xA4",
       {{"a", true}}},
      {"a\xA4",
       "1\xA4"
       "0\xA4"
       "1\xA4",
       {{"a", true}}},
      {"a\xA4"
       "b",
       "0\xA4"
       "2",
       {{"a", false}, {"b", false}}},  // only "1" checks
      {"\xA4\xA4",
       "1\xA4"
       "1\xA4",
       {{"", true}, {"", true}}},
      {"", "1\xA4", {}},
  };
  for (const auto& c : cases) {
    TVornMemIniFile ini("unused.ini");
    ini.WriteString("S", "PFilterValues", c.values);
    ini.WriteString("S", "PFilterChecked", c.flags);
    TCheckStrings list;
    list.LoadFromIni(ini, "S", "P");
    EXPECT_EQ(Dump(list), c.expected) << c.values;
  }
}

TEST(CheckStrings, TextSplitsAtSemicolonsAndAssignmentChecksEverything) {
  const struct {
    const char* text;
    std::vector<std::string> values;
  } cases[] = {
      {"x;;y;", {"x", "", "y"}}, {"", {}}, {";", {""}}, {"a", {"a"}}, {";a;;", {"", "a", ""}},
  };
  for (const auto& c : cases) {
    TCheckStrings list;
    list.SetText(c.text);
    std::vector<std::string> values;
    for (int i = 0; i < list.Count(); ++i) values.push_back(list.Items(i).Value);
    EXPECT_EQ(values, c.values) << c.text;
  }
  TCheckStrings source;
  source.SetText("a;b;");
  source.Items(1).Checked = false;
  EXPECT_EQ(source.Text(), "a;b;");
  TCheckStrings copy;
  copy.Assign(source);
  EXPECT_EQ(Dump(copy), (std::vector<std::pair<std::string, bool>>{{"a", true}, {"b", true}}));
  copy.Delete(0);
  EXPECT_EQ(copy.Text(), "b;");
  EXPECT_THROW(copy.Delete(1), std::out_of_range);
}

TEST(Authorizations, SavingLeavesNoStaleKeysAndReadsEnabledOnlyAsOne) {
  TVornMemIniFile ini("unused.ini");
  ini.SetText(
      "[FHTTPAuth]\r\nCount=9\r\nAuth5User=old\r\n[Other]\r\nk=v\r\n[fhttpauth]\r\nAuth7User="
      "older\r\n");
  TAuthorizations list;
  auto& first = list.Add();
  first = {"http://a.example.com/", "ann", "p=w;\xA4", true};
  list.Add().Address = "ftp://b.example.com/";
  list.SaveToIni(ini, "FHTTPAuth");
  std::vector<std::string> lines;
  ini.ReadSectionValues("FHTTPAuth", lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"Count=2", "Auth0Address=http://a.example.com/",
                                             "Auth0Enabled=1", "Auth0Password=p=w;\xA4",
                                             "Auth0User=ann", "Auth1Address=ftp://b.example.com/",
                                             "Auth1Enabled=0", "Auth1Password=", "Auth1User="}));
  std::vector<std::string> sections;
  ini.ReadSections(sections);
  EXPECT_EQ(sections, (std::vector<std::string>{"Other", "FHTTPAuth"}));

  ini.WriteString("FHTTPAuth", "Auth1Enabled", "2");  // only exactly 1 enables
  TAuthorizations loaded;
  loaded.LoadFromIni(ini, "fhttpauth");
  ASSERT_EQ(loaded.Count(), 2);
  EXPECT_EQ(loaded.Items(0).Password, "p=w;\xA4");
  EXPECT_TRUE(loaded.Items(0).Enabled);
  EXPECT_FALSE(loaded.Items(1).Enabled);

  TAuthorizations copy;
  copy.Add();
  copy.Assign(loaded);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy.Items(0).User, "ann");
  copy.Items(0).Assign(nullptr);
  EXPECT_EQ(copy.Items(0).Address, "");
  EXPECT_FALSE(copy.Items(0).Enabled);
}

TEST(Authorizations, ADamagedCountDoesNotMakeEmptyEntries) {
  TVornMemIniFile ini("unused.ini");
  ini.SetText("[A]\r\nCount=2000000000\r\nAuth1User=u\r\n[B]\r\nCount=-3\r\n");
  TAuthorizations list;
  list.LoadFromIni(ini, "A");
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(1).User, "u");
  list.LoadFromIni(ini, "B");
  EXPECT_EQ(list.Count(), 0);
}

TEST(Authorizations, IndexOfServerComparesTheSchemeInLowerCaseAndTheHostAsWritten) {
  TAuthorizations list;
  const struct {
    const char* address;
    bool enabled;
  } entries[] = {{"http://WWW.example.com/", true},
                 {"HTTP://www.example.com/login.php", false},
                 {"http://www.example.com?x=/", true},
                 {"ftp://www.example.com:21/pub/", true},
                 {"'https://secure.example.com/a'", true}};
  for (const auto& e : entries) {
    auto& item = list.Add();
    item.Address = e.address;
    item.Enabled = e.enabled;
  }
  const struct {
    const char* url;
    bool enabledOnly;
    int expected;
  } cases[] = {
      {"http://www.example.com/a/b.html", false, 1},
      {"http://www.example.com/a/b.html", true, 2},  // the disabled match is skipped
      {"http://WWW.example.com/x", true, 0},
      {"ftp://www.example.com/pub/", false, -1},  // the port is part of the server
      {"FTP://www.example.com:21", false, 3},
      {"https://secure.example.com/b#f", true, 4},
      {"http://other.example.com/", false, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(list.IndexOfServer(c.url, c.enabledOnly), c.expected) << c.url;
  }
}

TEST(SynchList, HandsItemsOverBetweenThreadsWithoutLosingAny) {
  TSynchList<std::shared_ptr<int>> queue;
  constexpr int kPerProducer = 2000;
  std::vector<std::thread> producers;
  for (int p = 0; p < 3; ++p) {
    producers.emplace_back([&queue, p] {
      for (int i = 0; i < kPerProducer; ++i) queue.Add(std::make_shared<int>(p * kPerProducer + i));
    });
  }
  std::vector<int> taken;
  std::thread consumer([&] {
    while (taken.size() < 3 * kPerProducer) {
      auto guard = queue.Locked();  // count, read and delete as one step
      if (queue.Count() > 0) {
        taken.push_back(*queue.Items(0));
        queue.Delete(0);
      }
    }
  });
  for (auto& t : producers) t.join();
  consumer.join();
  std::sort(taken.begin(), taken.end());
  for (int i = 0; i < 3 * kPerProducer; ++i) ASSERT_EQ(taken[static_cast<size_t>(i)], i);
}

TEST(SynchList, EveryListSharesOneLockAndFreesNothing) {
  TSynchList<int*> first;
  TSynchList<int*> second;
  int value = 5;
  first.Lock();
  second.Add(&value);  // the same thread may go on: the lock is recursive
  std::atomic<bool> gotLock{true};
  std::thread other([&] {
    gotLock = SynchListLock().try_lock();
    if (gotLock) SynchListLock().unlock();
  });
  other.join();
  first.Unlock();
  EXPECT_FALSE(gotLock);
  second.Delete(0);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(second.Count(), 0);
  EXPECT_THROW(second.Items(0), std::out_of_range);
}

}  // namespace
}  // namespace tq
