// INotifier: the short notices the program shows beside the desktop's clock (a tray balloon).
// The tray implements it; every notice is also kept, since a desktop without a tray (a virtual
// display, some window managers) shows none and tests read what would have been shown.
// Interface thread only.
#pragma once

#include <vector>

#include <QString>

namespace tq {

struct TBalloon {
  QString Title;
  QString Text;
  int Msecs = 5000;  // how long the desktop shows it
};

class INotifier {
 public:
  virtual ~INotifier() = default;
  virtual void ShowBalloon(const TBalloon& balloon) = 0;
  // Every notice shown so far, oldest first.
  virtual const std::vector<TBalloon>& Balloons() const = 0;
};

}  // namespace tq
