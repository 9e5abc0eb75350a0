// ITreeUpdater: what the download controller asks of a link tree of the project window (the tree
// of all links, or of one list): show a link that joined a list, drop one that left it. The user
// interface implements it; the controller works with any of its trees unset.
//
// Threads: called from whichever thread changes a list (interface, admission, project loader),
// inside that list's write lock. An implementation hands the change to its own thread or queue
// and returns; it must not wait for another thread that may need a link list.
#pragma once

#include "engine/link.h"

namespace tq {

// Image indexes of the tree nodes, by the list a link is in.
inline constexpr int kTreeImageReady = 0;
inline constexpr int kTreeImageQueue = 2;
inline constexpr int kTreeImageFailed = 3;
inline constexpr int kTreeImageIgnored = 4;

class ITreeUpdater {
 public:
  virtual ~ITreeUpdater() = default;
  virtual void AddLink(const TVornLinkPtr& link, int imageIndex) = 0;
  // May raise; the controller swallows what the tree of all links raises here.
  virtual void RemoveLink(const TVornLinkPtr& link) = 0;
};

}  // namespace tq
