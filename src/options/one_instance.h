// TOneInstance: one running desktop program per user. The start of the program asks Check; a
// start that finds another instance running hands its arguments over (HandOverToRunningInstance)
// and ends, so opening a project file from the file manager while the program runs opens it in
// the running program.
//
// Thread rules: interface thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "foundation/main_loop.h"
#include "platform/single_instance.h"

namespace tq {

class TOneInstance {
 public:
  // The claim's name: the running program's file name ("tarnquill"); the claim is the user's.
  static std::string ProgramName();

  explicit TOneInstance(std::string name = ProgramName());

  bool Terminate = true;                    // a second start ends
  bool InformUser = false;                  // and says so through the dialog service
  std::function<void()> ApplicationExists;  // raised when another instance runs

  // Claims the name for this instance. When another instance holds it: raises ApplicationExists,
  // then with Terminate (after an error message with InformUser) answers true: this start must
  // end; without Terminate, warns with InformUser and answers false. A claim that cannot be
  // checked is reported as an error and taken for another instance.
  bool Check();

  bool Owner() const { return m_lock.Held(); }
  const std::string& Name() const { return m_name; }

 private:
  std::string m_name;
  TInstanceLock m_lock;
};

// What a start with these arguments hands over: one argument is a project file ("OpenFile="
// and its absolute path), two are an address and a project name; anything else hands over
// nothing.
std::vector<std::string> HandOverLines(const std::vector<std::string>& arguments);

// Sends HandOverLines(arguments) to the instance holding name and waits for its receipt (at
// most timeout); true when it took them or there was nothing to hand over.
bool HandOverToRunningInstance(const std::string& name, const std::vector<std::string>& arguments,
                               Millis timeout = Millis(10000));

}  // namespace tq
