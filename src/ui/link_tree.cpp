// Siblings are kept sorted at every change and indexed by text, so finding a child, finding a
// node's row and placing a new node cost O(log n) however many links share a folder.
#include "ui/link_tree.h"

#include <algorithm>

#include "foundation/url.h"
#include "ui/link_images.h"
#include "ui/qt_text.h"

namespace tq {

TTreePath SplitTreePath(std::string_view url) {
  TTreePath path;
  path.Server = ExtractUrlServer(url);
  path.Leaf = ExtractUrlFileName(url) + ExtractUrlQuery(url);
  std::string_view folder;
  const std::string dir = ExtractUrlDir(url);
  folder = dir;
  if (!folder.empty() && folder.front() == '/') folder.remove_prefix(1);
  while (!folder.empty()) {
    const size_t slash = folder.find('/');
    if (slash == std::string_view::npos) {
      path.Folders.emplace_back(folder);
      break;
    }
    path.Folders.emplace_back(folder.substr(0, slash));
    folder.remove_prefix(slash + 1);
  }
  return path;
}

TVornLinkTree::TVornLinkTree(QObject* parent)
    : QAbstractItemModel(parent), m_root(std::make_unique<TNode>()) {}

TVornLinkTree::~TVornLinkTree() = default;

bool TVornLinkTree::Before(const TNode& a, const TNode& b) {
  if (a.Image != b.Image) return a.Image > b.Image;
  return a.Text < b.Text;  // byte-wise: char_traits<char> compares as unsigned char
}

TVornLinkTree::TNode* TVornLinkTree::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TNode*>(index.internalPointer()) : m_root.get();
}

int TVornLinkTree::RowOf(const TNode& node) const {
  const auto& siblings = node.Parent->Children;
  const auto it = std::lower_bound(
      siblings.begin(), siblings.end(), node,
      [](const std::unique_ptr<TNode>& a, const TNode& b) { return Before(*a, b); });
  return static_cast<int>(it - siblings.begin());
}

QModelIndex TVornLinkTree::IndexOf(TNode* node) const {
  if (node == nullptr || node == m_root.get()) return {};
  return createIndex(RowOf(*node), 0, node);
}

TVornLinkTree::TNode* TVornLinkTree::Child(const TNode& node, const std::string& text) {
  const auto it = node.ByText.find(text);
  return it == node.ByText.end() ? nullptr : it->second;
}

TVornLinkTree::TNode* TVornLinkTree::Insert(TNode& parent, const std::string& text, int image,
                                            int selectedImage, const std::string& url,
                                            const TVornLinkPtr& link) {
  auto node = std::make_unique<TNode>();
  node->Text = text;
  node->Parent = &parent;
  node->Image = image;
  node->SelectedImage = selectedImage;
  if (link) {
    node->Url = url;
    node->Link = link;
  }
  auto& siblings = parent.Children;
  const auto at = std::lower_bound(
      siblings.begin(), siblings.end(), *node,
      [](const std::unique_ptr<TNode>& a, const TNode& b) { return Before(*a, b); });
  const int row = static_cast<int>(at - siblings.begin());
  TNode* raw = node.get();
  beginInsertRows(IndexOf(&parent), row, row);
  siblings.insert(at, std::move(node));
  parent.ByText.emplace(raw->Text, raw);
  ++m_nodeCount;
  endInsertRows();
  return raw;
}

void TVornLinkTree::SetImage(TNode& node, int image) {
  if (node.Image == image && node.SelectedImage == image) return;
  TNode& parent = *node.Parent;
  auto& siblings = parent.Children;
  const int from = RowOf(node);
  TNode probe;
  probe.Text = node.Text;
  probe.Image = image;
  const auto at = std::lower_bound(
      siblings.begin(), siblings.end(), probe,
      [](const std::unique_ptr<TNode>& a, const TNode& b) { return Before(*a, b); });
  const int to = static_cast<int>(at - siblings.begin());
  if (to != from && to != from + 1) {
    const QModelIndex parentIndex = IndexOf(&parent);
    beginMoveRows(parentIndex, from, from, parentIndex, to);
    node.Image = image;
    node.SelectedImage = image;
    if (to > from) {
      std::rotate(siblings.begin() + from, siblings.begin() + from + 1, siblings.begin() + to);
    } else {
      std::rotate(siblings.begin() + to, siblings.begin() + from, siblings.begin() + from + 1);
    }
    endMoveRows();
  } else {
    node.Image = image;
    node.SelectedImage = image;
  }
  const QModelIndex changed = IndexOf(&node);
  Q_EMIT dataChanged(changed, changed, {Qt::DecorationRole, kImageRole});
}

void TVornLinkTree::Delete(TNode& node) {
  TNode& parent = *node.Parent;
  const int row = RowOf(node);
  beginRemoveRows(IndexOf(&parent), row, row);
  parent.ByText.erase(node.Text);
  m_nodeCount -= 1;
  parent.Children.erase(parent.Children.begin() + row);  // frees node and its (no) children
  endRemoveRows();
}

void TVornLinkTree::AddLinkNode(const std::string& url, const TVornLinkPtr& link, int image) {
  const TTreePath path = SplitTreePath(url);
  static const TVornLinkPtr none;
  TNode* node = Child(*m_root, path.Server);
  if (node == nullptr) {
    const bool carries = path.Folders.empty() && path.Leaf.empty();
    node = Insert(*m_root, path.Server, kImageServer, kImageServer, url, carries ? link : none);
  }
  for (size_t i = 0; i < path.Folders.size(); ++i) {
    TNode* child = Child(*node, path.Folders[i]);
    if (child == nullptr) {
      const bool carries = i + 1 == path.Folders.size() && path.Leaf.empty();
      child = Insert(*node, path.Folders[i], kImageFolder, kImageOpenFolder, url,
                     carries ? link : none);
    }
    node = child;
  }
  if (path.Leaf.empty()) return;
  if (TNode* leaf = Child(*node, path.Leaf)) {
    SetImage(*leaf, image);  // the leaf keeps the link it has
  } else {
    Insert(*node, path.Leaf, image, image, url, link);
  }
}

std::vector<TVornLinkTree::TNode*> TVornLinkTree::Walk(const TTreePath& path, bool& full) const {
  std::vector<TNode*> nodes;
  full = false;
  TNode* node = Child(*m_root, path.Server);
  if (node == nullptr) return nodes;
  nodes.push_back(node);
  for (const std::string& segment : path.Folders) {
    node = Child(*node, segment);
    if (node == nullptr) return nodes;
    nodes.push_back(node);
  }
  if (!path.Leaf.empty()) {
    node = Child(*node, path.Leaf);
    if (node == nullptr) return nodes;
    nodes.push_back(node);
  }
  full = true;
  return nodes;
}

void TVornLinkTree::RemoveLinkNode(const std::string& url) {
  bool full = false;
  std::vector<TNode*> nodes = Walk(SplitTreePath(url), full);
  TNode* const target = full ? nodes.back() : nullptr;
  // A node on the way that carries a link of its own stays even when emptied: a folder or
  // server address in the lists must not lose its node because a link below it moved on.
  while (!nodes.empty()) {
    TNode* node = nodes.back();
    if (!node->Children.empty()) break;
    if (node != target && !node->Url.empty()) break;
    Delete(*node);
    nodes.pop_back();
  }
  if (!nodes.empty() && nodes.back() == target && !target->Url.empty()) {
    target->Url.clear();
    target->Link.reset();
  }
}

QModelIndex TVornLinkTree::FindUrlNode(std::string_view url) const {
  try {
    bool full = false;
    const std::vector<TNode*> nodes = Walk(SplitTreePath(url), full);
    return full ? IndexOf(nodes.back()) : QModelIndex();
  } catch (const std::exception&) {
    return {};
  }
}

std::string TVornLinkTree::UrlOf(const QModelIndex& index) const {
  return index.isValid() ? NodeOf(index)->Url : std::string();
}

TVornLinkPtr TVornLinkTree::LinkOf(const QModelIndex& index) const {
  return index.isValid() ? NodeOf(index)->Link.lock() : nullptr;
}

QModelIndex TVornLinkTree::index(int row, int column, const QModelIndex& parent) const {
  const TNode* node = NodeOf(parent);
  if (column != 0 || row < 0 || row >= static_cast<int>(node->Children.size())) return {};
  return createIndex(row, 0, node->Children[static_cast<size_t>(row)].get());
}

QModelIndex TVornLinkTree::parent(const QModelIndex& child) const {
  if (!child.isValid()) return {};
  return IndexOf(NodeOf(child)->Parent);
}

int TVornLinkTree::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  return static_cast<int>(NodeOf(parent)->Children.size());
}

int TVornLinkTree::columnCount(const QModelIndex&) const {
  return 1;
}

QVariant TVornLinkTree::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const TNode* node = NodeOf(index);
  switch (role) {
    case Qt::DisplayRole:
      return ToQ(node->Text);
    case Qt::DecorationRole:
      return LinkImagePair(node->Image, node->SelectedImage);
    case kImageRole:
      return node->Image;
    default:
      return {};
  }
}

}  // namespace tq
