// The link trees: where an address lands, what a removal prunes, sibling order and look-up, and
// the updater that carries jobs from other threads to the tree in batches.
#include "ui/link_tree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "foundation/errors.h"
#include "foundation/main_loop.h"
#include "ui/tree_updater.h"

namespace tq::test {
namespace {

TVornLinkPtr Link(const std::string& url) {
  auto link = std::make_shared<TVornLink>();
  link->SetPage(url);
  link->SetText(url);
  return link;
}

// One line per node, indented by depth: "text image", with " *" when the node carries a link.
void Dump(const TVornLinkTree& tree, const QModelIndex& parent, int depth, std::string& out) {
  for (int row = 0; row < tree.rowCount(parent); ++row) {
    const QModelIndex node = tree.index(row, 0, parent);
    out += std::string(size_t(depth) * 2, ' ') + node.data().toString().toStdString() + " " +
           std::to_string(node.data(TVornLinkTree::kImageRole).toInt()) +
           (tree.UrlOf(node).empty() ? "" : " *") + "\n";
    Dump(tree, node, depth + 1, out);
  }
}

std::string Dump(const TVornLinkTree& tree) {
  std::string out;
  Dump(tree, {}, 0, out);
  return out;
}

struct TreeCase {
  const char* name;
  // "+IMAGE URL" adds, "-URL" removes.
  std::vector<std::string> steps;
  const char* tree;
};

class TreeJobs : public ::testing::TestWithParam<TreeCase> {};

TEST_P(TreeJobs, BuildTheExpectedTree) {
  TVornLinkTree tree;
  for (const std::string& step : GetParam().steps) {
    if (step[0] == '+') {
      const size_t blank = step.find(' ');
      tree.AddLinkNode(step.substr(blank + 1), Link(step.substr(blank + 1)),
                       std::stoi(step.substr(1, blank - 1)));
    } else {
      tree.RemoveLinkNode(step.substr(1));
    }
  }
  EXPECT_EQ(Dump(tree), GetParam().tree);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TreeJobs,
    ::testing::Values(
        TreeCase{"ServerOnly", {"+0 http://h.org"}, "http://h.org 5 *\n"},
        TreeCase{"FolderAddress", {"+0 http://h.org/dir/"}, "http://h.org 5\n  dir 6 *\n"},
        TreeCase{"LeafWithQuery",
                 {"+2 http://h.org/dir/page.htm?x=1"},
                 "http://h.org 5\n  dir 6\n    page.htm?x=1 2 *\n"},
        TreeCase{
            "QueryWithoutFileName", {"+0 http://h.org/?id=1"}, "http://h.org 5\n  ?id=1 0 *\n"},
        TreeCase{"DoubleSlashGivesEmptySegment",
                 {"+0 http://h.org/a//b/"},
                 "http://h.org 5\n  a 6\n     6\n      b 6 *\n"},
        TreeCase{"ExistingNodesOnTheWayGetNoLink",
                 {"+0 http://h.org/a/x.htm", "+0 http://h.org/a/"},
                 "http://h.org 5\n  a 6\n    x.htm 0 *\n"},
        TreeCase{"SiblingOrder",
                 {"+0 http://h.org/r.htm", "+2 http://h.org/q.htm", "+3 http://h.org/f.htm",
                  "+4 http://h.org/i.htm", "+0 http://h.org/dir/x.htm", "+0 http://h.org/B.htm",
                  "+0 http://b.org/", "+0 http://B.org/"},
                 "http://B.org 5 *\nhttp://b.org 5 *\nhttp://h.org 5\n  dir 6\n    x.htm 0 *\n"
                 "  i.htm 4 *\n  f.htm 3 *\n  q.htm 2 *\n  B.htm 0 *\n  r.htm 0 *\n"},
        TreeCase{"SecondListOnlyChangesTheImageAndPlace",
                 {"+2 http://h.org/z.htm", "+0 http://h.org/b.htm", "+0 http://h.org/z.htm"},
                 "http://h.org 5\n  b.htm 0 *\n  z.htm 0 *\n"},
        TreeCase{"RemovingTheOnlyLinkPrunesEverything",
                 {"+0 http://h.org/a/b/c.htm", "-http://h.org/a/b/c.htm"},
                 ""},
        TreeCase{
            "PruningStopsAtANodeWithChildren",
            {"+0 http://h.org/a/b/c.htm", "+0 http://h.org/a/d.htm", "-http://h.org/a/b/c.htm"},
            "http://h.org 5\n  a 6\n    d.htm 0 *\n"},
        TreeCase{"RemovedNodeWithChildrenKeepsOnlyItsPlace",
                 {"+0 http://h.org/dir/", "+2 http://h.org/dir/x.htm", "-http://h.org/dir/"},
                 "http://h.org 5\n  dir 6\n    x.htm 2 *\n"},
        TreeCase{"NodeOfAnotherLinkSurvivesItsLastChild",
                 {"+0 http://h.org/", "+2 http://h.org/a.htm", "-http://h.org/a.htm"},
                 "http://h.org 5 *\n"},
        TreeCase{"RemovalOfAnAbsentLeafKeepsItsLinkedFolder",
                 {"+0 http://h.org/dir/", "-http://h.org/dir/gone.htm"},
                 "http://h.org 5\n  dir 6 *\n"}),
    [](const ::testing::TestParamInfo<TreeCase>& param) { return std::string(param.param.name); });

TEST(LinkTree, FindUrlNodeWalksToTheDeepestPart) {
  TVornLinkTree tree;
  const auto page = Link("http://h.org/dir/page.htm");
  tree.AddLinkNode("http://h.org/dir/page.htm", page, 0);
  tree.AddLinkNode("http://h.org/", Link("http://h.org/"), 0);
  EXPECT_EQ(tree.FindUrlNode("http://h.org/dir/page.htm").data().toString().toStdString(),
            "page.htm");
  EXPECT_EQ(tree.LinkOf(tree.FindUrlNode("http://h.org/dir/page.htm")), page);
  EXPECT_EQ(tree.FindUrlNode("http://h.org/dir/").data().toString().toStdString(), "dir");
  EXPECT_EQ(tree.FindUrlNode("http://h.org").data().toString().toStdString(), "http://h.org");
  EXPECT_FALSE(tree.FindUrlNode("http://h.org/dir/other.htm").isValid());
  EXPECT_FALSE(tree.FindUrlNode("http://h.org/nodir/page.htm").isValid());
  EXPECT_FALSE(tree.FindUrlNode("http://other.org/").isValid());
  // The leaf keeps its first link when a second list adds the same address.
  tree.AddLinkNode("http://h.org/dir/page.htm", Link("http://h.org/dir/page.htm"), 4);
  EXPECT_EQ(tree.LinkOf(tree.FindUrlNode("http://h.org/dir/page.htm")), page);
}

TEST(TreeUpdater, DisabledUpdaterMakesNoJobsAndNeverCatchesUp) {
  TVornLinkTree tree;
  TVornTreeUpdater updater;
  updater.SetTree(&tree);
  updater.SetEnabled(false);
  updater.AddLink(Link("http://h.org/a.htm"), 0);
  updater.SetEnabled(true);
  updater.AddLink(Link("http://h.org/b.htm"), 0);
  ASSERT_TRUE(RunUntil([&] { return updater.Idle() && tree.NodeCount() == 2; }));
  EXPECT_FALSE(tree.FindUrlNode("http://h.org/a.htm").isValid());
  EXPECT_THROW(updater.AddLink(nullptr, 0), EVornError);
}

// Jobs from several threads, adds and removes mixed, end in the tree they describe, and nothing
// waits in the queue once the updater is idle.
TEST(TreeUpdater, JobsFromOtherThreadsAllArrive) {
  TVornLinkTree tree;
  TVornTreeUpdater updater;
  updater.SetTree(&tree);
  constexpr int kThreads = 4;
  constexpr int kEach = 2500;
  std::atomic<int> finished{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        const auto link = Link("http://h" + std::to_string(t) + ".org/d" + std::to_string(i % 7) +
                               "/p" + std::to_string(i) + ".htm");
        updater.AddLink(link, 2);
        if (i % 2 == 1) updater.RemoveLink(link);
      }
      ++finished;
    });
  }
  ASSERT_TRUE(RunUntil([&] { return finished == kThreads && updater.Idle(); }, Millis(60000)));
  for (auto& thread : threads) thread.join();
  // Per server: the server node, 7 folders and the kept half of the pages.
  EXPECT_EQ(tree.NodeCount(), kThreads * (1 + 7 + kEach / 2));
  EXPECT_GT(updater.BatchCount(), 0);
}

TEST(TreeUpdater, DestroyedWithABatchUnderWayDoesNotWaitForTheInterface) {
  TVornLinkTree tree;
  {
    TVornTreeUpdater updater;
    updater.SetTree(&tree);
    std::thread producer([&] {
      for (int i = 0; i < 100; ++i) updater.AddLink(Link("http://h.org/" + std::to_string(i)), 0);
    });
    producer.join();
    // The worker has handed a batch over that this thread has not run yet.
  }
  // The batch that runs now belongs to a gone updater and must leave the tree alone.
  RunUntil([] { return false; }, Millis(50));
  EXPECT_EQ(tree.NodeCount(), 0);
}

}  // namespace
}  // namespace tq::test
