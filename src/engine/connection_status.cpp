// Status texts, thread priorities and the progress record of the transfers.
#include "engine/connection_status.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cmath>

#include "foundation/format.h"

namespace tq {

int NiceValueOf(TThreadPriority priority) {
  static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -15};
  return kNice[priority <= tpTimeCritical ? priority : tpNormal];
}

bool ApplyThreadPriority(int tid, TThreadPriority priority) {
  if (tid <= 0) return false;
  // Per-thread on Linux: PRIO_PROCESS with a tid addresses that thread alone.
  return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceValueOf(priority)) == 0;
}

int CurrentThreadTid() {
  return static_cast<int>(syscall(SYS_gettid));
}

std::string StatusTextResolving(const std::string& host) {
  return "Resolving hostname " + host + ".";
}

std::string StatusTextConnecting(const std::string& host) {
  return "Connecting to " + host + ".";
}

namespace {

// Durations are shown to the nearest second, halves going to the even neighbour.
int32_t RoundHalfEven(double seconds) {
  if (!(seconds < 2147483647.0)) return 2147483647;
  return static_cast<int32_t>(std::nearbyint(seconds));  // default rounding mode is to-even
}

}  // namespace

TVornConnectionInfo TVornConnectionInfo::Numbers(double bytesTotal, double bytesDone,
                                                 int64_t elapsedMs) {
  TVornConnectionInfo info;
  info.BytesDone = bytesDone;
  info.ElapsedSeconds = static_cast<double>(elapsedMs) / 1000.0;
  info.BytesTotal = bytesTotal;
  if (info.ElapsedSeconds != 0) info.Speed = bytesDone / info.ElapsedSeconds;
  if (info.ElapsedSeconds != 0 && bytesTotal != 0 && info.Speed != 0) {
    info.SecondsLeft = (bytesTotal - bytesDone) / info.Speed;
  }
  return info;
}

void TVornConnectionInfo::MakeTexts() {
  if (HasTexts) return;
  HasTexts = true;
  SpeedText = ElapsedSeconds != 0 ? FormatFileSize(Speed) + "/sec" : std::string("O Bytes/s");
  DoneText = FormatFileSize(BytesDone);
  ElapsedText = FormatDuration(RoundHalfEven(ElapsedSeconds));
  EstimatedText =
      SecondsLeft == 0 ? std::string("Unknown") : FormatDuration(RoundHalfEven(SecondsLeft));
  TotalText = FormatFileSize(BytesTotal);
}

TVornConnectionInfo TVornConnectionInfo::Make(double bytesTotal, double bytesDone,
                                              int64_t elapsedMs) {
  TVornConnectionInfo info = Numbers(bytesTotal, bytesDone, elapsedMs);
  info.MakeTexts();
  return info;
}

}  // namespace tq
