// The six link lists as models: rows found by link identity, their texts, counters, the one-shot
// sort and the In Progress rows updated in place; and the row order underneath them.
#include "ui/link_list_model.h"

#include <gtest/gtest.h>

#include <QPersistentModelIndex>
#include <random>

#include "engine/links.h"
#include "foundation/format.h"
#include "ui/link_images.h"
#include "ui/row_order.h"

namespace tq::test {
namespace {

TVornLinkPtr Link(const std::string& url, int level = 1, int size = 0) {
  auto link = std::make_shared<TVornLink>();
  link->SetPage("http://h.org/index.html");
  link->SetText(url);
  link->Level = level;
  link->Size = size;
  return link;
}

std::vector<std::string> Column(const TVornLinkListModel& model, int column) {
  std::vector<std::string> texts;
  for (int row = 0; row < model.rowCount(); ++row)
    texts.push_back(model.index(row, column).data().toString().toStdString());
  return texts;
}

TEST(RowOrder, MatchesAPlainVectorUnderRandomChanges) {
  TRowOrder order;
  std::vector<int> reference;  // live slots in row order
  std::mt19937 random(7);
  for (int step = 0; step < 20000; ++step) {
    if (reference.empty() || random() % 3 != 0) {
      reference.push_back(order.Append());
    } else {
      const size_t row = random() % reference.size();
      order.Kill(reference[row]);
      reference.erase(reference.begin() + long(row));
    }
    if (step % 997 == 0 && order.Sparse()) {
      order.Reset(int(reference.size()));
      for (size_t i = 0; i < reference.size(); ++i) reference[i] = int(i);
    }
    ASSERT_EQ(order.Count(), int(reference.size()));
    const size_t probe = reference.empty() ? 0 : random() % reference.size();
    if (!reference.empty()) {
      ASSERT_EQ(order.SlotAt(int(probe)), reference[probe]) << "step " << step;
      ASSERT_EQ(order.RowOf(reference[probe]), int(probe)) << "step " << step;
    }
  }
}

TEST(LinkListModel, RowsComeAndGoByLinkIdentity) {
  TVornLinkListModel model(llQueue);
  std::vector<std::string> counters;
  model.OnCounterChange = [&](const QString& text) { counters.push_back(text.toStdString()); };
  EXPECT_EQ(model.CounterText().toStdString(), "Queue : 0");
  const auto first = Link("http://h.org/a.htm");
  const auto twin = Link("http://h.org/a.htm");  // same address, another link
  const auto other = Link("http://h.org/b.htm");
  model.NewLink(nullptr, first);
  model.NewLink(nullptr, other);
  model.NewLink(nullptr, twin);
  model.DelLink(twin);
  EXPECT_EQ(model.LinkAt(0), first);
  EXPECT_EQ(model.LinkAt(1), other);
  model.DelLink(Link("http://h.org/b.htm"));  // no row holds this object
  EXPECT_EQ(model.rowCount(), 2);
  model.DelLink(first);
  EXPECT_EQ(Column(model, 0), std::vector<std::string>{"http://h.org/b.htm"});
  EXPECT_EQ(counters, (std::vector<std::string>{"Queue : 1", "Queue : 2", "Queue : 3", "Queue : 2",
                                                "Queue : 2", "Queue : 1"}));
}

TEST(LinkListModel, ManyRowsDeletedFromTheMiddleKeepTheirOrder) {
  TVornLinkListModel model(llReady);
  std::vector<TVornLinkPtr> links;
  for (int i = 0; i < 5000; ++i) {
    links.push_back(Link("http://h.org/" + std::to_string(i) + ".htm"));
    model.NewLink(nullptr, links.back());
  }
  for (int i = 0; i < 5000; ++i) {
    if (i % 5 != 0) model.DelLink(links[size_t(i)]);  // sweeps the dead rows on the way
  }
  ASSERT_EQ(model.rowCount(), 1000);
  for (int row = 0; row < 1000; ++row) ASSERT_EQ(model.LinkAt(row), links[size_t(row) * 5]);
  EXPECT_EQ(model.RowOfLink(links[4995].get()), 999);
}

TEST(LinkListModel, EachListShowsItsOwnTexts) {
  auto failed = Link("http://h.org/f.htm", 2);
  failed->ErrorText = "HTTP/1.1 404 Not Found";
  auto ignored = Link("http://h.org/i.zip", 3);
  ignored->Reason = "Level excceds the level limit";
  auto mail = Link("mailto:a@h.org?subject=hi", 4);
  const struct {
    TLinkListKind kind;
    TVornLinkPtr link;
    std::vector<std::string> texts;
    int image;  // the row's image, -1 for none
  } cases[] = {
      {llReady,
       Link("http://h.org/r.htm", 1, 1536),
       {"http://h.org/r.htm", FormatFileSize(1536), "1", "http://h.org/index.html"},
       0},
      {llWorking,
       Link("http://h.org/w.htm", 5),
       {"http://h.org/w.htm", "", "", "", "", "", "5", ""},
       1},
      {llQueue,
       Link("http://h.org/q.htm", 2),
       {"http://h.org/q.htm", "2", "http://h.org/index.html"},
       2},
      {llFailed,
       failed,
       {"http://h.org/f.htm", "HTTP/1.1 404 Not Found", "2", "http://h.org/index.html"},
       3},
      {llIgnored,
       ignored,
       {"http://h.org/i.zip", "Level excceds the level limit", "3", "http://h.org/index.html"},
       4},
      {llEmails, mail, {"a@h.org", "4", "http://h.org/index.html"}, -1},
  };
  for (const auto& c : cases) {
    TVornLinkListModel model(c.kind);
    model.NewLink(nullptr, c.link);
    std::vector<std::string> row;
    for (int column = 0; column < model.columnCount(); ++column)
      row.push_back(model.index(0, column).data().toString().toStdString());
    EXPECT_EQ(row, c.texts) << LinkListLook(c.kind).Tab;
    EXPECT_EQ(model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
              LinkImage(c.image).cacheKey());
  }
}

TEST(LinkListModel, SortIsOneShotAndFollowsTheClicks) {
  TVornLinkListModel model(llReady);
  EXPECT_FALSE(model.headerData(0, Qt::Horizontal, Qt::DecorationRole).isValid());
  const auto nine = Link("http://h.org/B.htm", 9, 2048);
  model.NewLink(nullptr, nine);
  model.NewLink(nullptr, Link("http://h.org/a.htm", 10, 100));
  model.NewLink(nullptr, Link("http://h.org/c.htm", 2, 5000));
  QPersistentModelIndex kept(model.index(0, 0));  // a selection follows its row

  // The first column is the sort column from the start, ascending: its first click turns it.
  model.ClickColumn(0);
  EXPECT_FALSE(model.Ascending());
  EXPECT_EQ(Column(model, 0), (std::vector<std::string>{"http://h.org/c.htm", "http://h.org/B.htm",
                                                        "http://h.org/a.htm"}));
  EXPECT_EQ(kept.row(), 1);
  model.ClickColumn(2);  // Level sorts as text: 10 before 2 before 9
  EXPECT_EQ(Column(model, 2), (std::vector<std::string>{"10", "2", "9"}));
  EXPECT_EQ(kept.row(), 2);
  model.ClickColumn(2);
  EXPECT_EQ(Column(model, 2), (std::vector<std::string>{"9", "2", "10"}));
  model.ClickColumn(2);
  EXPECT_EQ(Column(model, 2), (std::vector<std::string>{"10", "2", "9"}));
  model.ClickColumn(1);  // Size sorts by bytes, not by its text
  EXPECT_EQ(Column(model, 0), (std::vector<std::string>{"http://h.org/a.htm", "http://h.org/B.htm",
                                                        "http://h.org/c.htm"}));
  model.NewLink(nullptr, Link("http://h.org/0.htm", 1, 1));  // arrives after the sort: at the end
  EXPECT_EQ(Column(model, 0).back(), "http://h.org/0.htm");
  model.DelLink(nine);
  EXPECT_EQ(model.rowCount(), 3);
  EXPECT_TRUE(model.headerData(1, Qt::Horizontal, Qt::DecorationRole).isValid());
  EXPECT_FALSE(model.headerData(0, Qt::Horizontal, Qt::DecorationRole).isValid());
}

TEST(LinkListModel, InProgressRowsChangeInPlace) {
  TVornLinkListModel model(llWorking);
  const auto link = Link("http://h.org/w.htm");
  model.NewLink(nullptr, link);
  model.ClickColumn(0);  // this list does not sort
  EXPECT_FALSE(model.headerData(0, Qt::Horizontal, Qt::DecorationRole).isValid());
  const auto info = TVornConnectionInfo::Make(4096, 1024, 2000);
  model.UpdateWork(link, info);
  model.UpdateStatus(link, "Transferring from h.org");
  model.UpdateWork(Link("http://h.org/w.htm"), TVornConnectionInfo::Make(1, 1, 1));  // no row
  EXPECT_EQ(Column(model, 1)[0], info.SpeedText);
  EXPECT_EQ(Column(model, 3)[0], info.TotalText);
  EXPECT_EQ(Column(model, 5)[0], info.ElapsedText);
  EXPECT_EQ(Column(model, 7)[0], "Transferring from h.org");
  model.FetchStarted(link);
  EXPECT_EQ(Column(model, 2)[0], " ");
  EXPECT_EQ(Column(model, 7)[0], "Analyzer Started");
  EXPECT_EQ(model.rowCount(), 1);
}

}  // namespace
}  // namespace tq::test
