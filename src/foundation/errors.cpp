// The sink of unhandled errors.
#include "foundation/errors.h"

#include <cstdio>
#include <mutex>

namespace tq {
namespace {

std::mutex& HookLock() {
  static std::mutex lock;
  return lock;
}

TUnhandledHook& Hook() {
  static TUnhandledHook hook;
  return hook;
}

std::string TextOf(const std::exception_ptr& error) {
  if (!error) return "Unknown error";
  try {
    std::rethrow_exception(error);
  } catch (...) {
    return CurrentExceptionText();
  }
}

}  // namespace

void ReportUnhandled(std::string_view where, const std::exception_ptr& error) {
  const std::string place(where);
  const std::string what = TextOf(error);
  TUnhandledHook hook;
  {
    std::lock_guard guard(HookLock());
    hook = Hook();
  }
  if (hook) {
    hook(place, what);
    return;
  }
  std::fprintf(stderr, "tarnquill: unhandled error in %s: %s\n", place.c_str(), what.c_str());
}

bool RunReporting(std::string_view where, const std::function<void()>& fn) {
  try {
    fn();
    return true;
  } catch (...) {
    ReportUnhandled(where, std::current_exception());
    return false;
  }
}

TUnhandledHook SetUnhandledHook(TUnhandledHook hook) {
  std::lock_guard guard(HookLock());
  TUnhandledHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

}  // namespace tq
