// Transfer status codes, their display texts, the progress record a transfer makes at every work
// step, and the thread priorities of the workers. Plain values, any thread.
#pragma once

#include <cstdint>
#include <string>

namespace tq {

// Ordinals are fixed: events carry them as 8-bit codes.
enum TVornConnectionStatus : uint8_t {
  ecsResolving,
  ecsConnecting,
  ecsConnected,
  ecsDisconnecting,
  ecsDisconnected,
  ecsStatusText,
  ecsTransferring,
  ecsTransferComplete,
  ecsAborting,
  ecsError,
  ecsRetry,
  ecsAnalizingDoc,
  ecsAnalizingDocReady,
  ecsAuthorizing,
};

enum TWorkMode : uint8_t { wmRead, wmWrite };

enum TThreadPriority : uint8_t {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical,
};

// The nice value a priority stands for on this platform.
int NiceValueOf(TThreadPriority priority);

// Applies priority to the thread with the given kernel thread id; false when it failed (raising
// priority without the right to), and the thread then keeps the priority it has.
bool ApplyThreadPriority(int tid, TThreadPriority priority);

// The kernel thread id of the calling thread.
int CurrentThreadTid();

// Texts that replace or accompany the network library's own.
std::string StatusTextResolving(const std::string& host);   // "Resolving hostname %s."
std::string StatusTextConnecting(const std::string& host);  // "Connecting to %s."
inline constexpr const char* kStatusConnected = "Connected.Waiting to reply ...";
inline constexpr const char* kStatusDisconnecting = "Disconnecting.";
inline constexpr const char* kStatusDisconnected = "Disconnected.";
inline constexpr const char* kStatusTransferringPrefix = "Transferring from ";
inline constexpr const char* kStatusTransferComplete = "Done.";
inline constexpr const char* kStatusErrorPrefix = "Error : ";
inline constexpr const char* kStatusRetry = "Retrying ..";
inline constexpr const char* kStatusAnalyzing = "Analyzing Document ..";
inline constexpr const char* kStatusAnalyzingReady = "Done";
inline constexpr const char* kStatusAuthorizing = "Authorizing...";

// One progress step of a transfer. The display texts are worked out once, when the step is
// shown: most steps of a crawl are never shown to anyone.
struct TVornConnectionInfo {
  double BytesDone = 0;
  double ElapsedSeconds = 0;
  double BytesTotal = 0;
  std::string SpeedText;
  double Speed = 0;
  std::string DoneText;
  std::string ElapsedText;
  std::string EstimatedText;
  double SecondsLeft = 0;
  std::string TotalText;
  bool HasTexts = false;

  // elapsedMs: whole milliseconds since the attempt started; total 0 means "not announced".
  static TVornConnectionInfo Make(double bytesTotal, double bytesDone, int64_t elapsedMs);
  // The numbers alone; MakeTexts adds the texts later.
  static TVornConnectionInfo Numbers(double bytesTotal, double bytesDone, int64_t elapsedMs);
  void MakeTexts();
};

}  // namespace tq
