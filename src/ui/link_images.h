// The images of the link trees and lists, drawn once: 0 Ready, 1 In Progress, 2 Queue, 3 Failed,
// 4 Ignored, 5 server, 6 folder, 7 open folder. Interface thread only.
#pragma once

#include <QIcon>

namespace tq {

inline constexpr int kImageInProgress = 1;
inline constexpr int kImageServer = 5;
inline constexpr int kImageFolder = 6;
inline constexpr int kImageOpenFolder = 7;
inline constexpr int kLinkImageCount = 8;

// An empty icon for an index outside the list.
QIcon LinkImage(int index);
// The icon of a node shown with image normally and selectedImage while selected.
QIcon LinkImagePair(int image, int selectedImage);
// The sort marks of list headers: 1 ascending, 2 descending.
QIcon SortImage(int index);

}  // namespace tq
