// TVornLinkTree: a link tree as an item model. Every link stands under a node of its server and
// nodes of its folders, like a file system; siblings stay sorted by image (folders first, then
// Ignored, Failed, Queue and Ready leaves) and then by text in character-code order. The tree
// is changed by add and remove jobs that its updater applies, never by re-reading a list.
//
// Threads: interface thread only.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <QAbstractItemModel>

#include "engine/link.h"

namespace tq {

// An address split the way the trees show it: the server, the folder segments (a//b/ gives a,
// an empty segment and b) and the leaf (file name and query).
struct TTreePath {
  std::string Server;
  std::vector<std::string> Folders;
  std::string Leaf;
};
TTreePath SplitTreePath(std::string_view url);

class TVornLinkTree : public QAbstractItemModel {
 public:
  // The node's image index; DecorationRole gives its icon, with the selected image as the icon's
  // selected mode.
  static constexpr int kImageRole = Qt::UserRole + 1;

  explicit TVornLinkTree(QObject* parent = nullptr);
  ~TVornLinkTree() override;

  // Places url under its server and folders; the node made for it carries link. A leaf that
  // exists already only takes the new image.
  void AddLinkNode(const std::string& url, const TVornLinkPtr& link, int image);
  // Takes the link of url off the tree, deleting the nodes it leaves empty.
  void RemoveLinkNode(const std::string& url);
  // The node standing for an absolute address: its leaf, else its last folder, else its server;
  // invalid when a node on the way is missing.
  QModelIndex FindUrlNode(std::string_view url) const;

  // The address of the link a node carries; empty when it carries none.
  std::string UrlOf(const QModelIndex& index) const;
  // The link a node carries while it still exists; null otherwise.
  TVornLinkPtr LinkOf(const QModelIndex& index) const;
  // Every node, for tests and the look of a whole tree.
  int NodeCount() const { return m_nodeCount; }

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  struct TNode {
    std::string Text;
    TNode* Parent = nullptr;
    int Image = 0;
    int SelectedImage = 0;
    std::string Url;  // of the link carried; empty: none
    std::weak_ptr<TVornLink> Link;
    std::vector<std::unique_ptr<TNode>> Children;         // sorted
    std::unordered_map<std::string_view, TNode*> ByText;  // keys view the children's texts
  };

  static bool Before(const TNode& a, const TNode& b);
  TNode* NodeOf(const QModelIndex& index) const;
  QModelIndex IndexOf(TNode* node) const;
  int RowOf(const TNode& node) const;
  static TNode* Child(const TNode& node, const std::string& text);
  TNode* Insert(TNode& parent, const std::string& text, int image, int selectedImage,
                const std::string& url, const TVornLinkPtr& link);
  void SetImage(TNode& node, int image);
  void Delete(TNode& node);
  // The nodes along url's path, as far as they exist; full is set when the walk reached the end.
  std::vector<TNode*> Walk(const TTreePath& path, bool& full) const;

  std::unique_ptr<TNode> m_root;
  int m_nodeCount = 0;
};

}  // namespace tq
