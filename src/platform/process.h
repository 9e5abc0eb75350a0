// Starting external programs: the e-book compiler, waited for; browsers and other tools the user
// registered, left running. Any thread; RunProgramAndWait blocks the calling thread until the
// program ends, so the interface thread must not use it.
#pragma once

#include <cstdint>
#include <string>

namespace tq {

// Runs programPath with the single argument argument, in the program's own folder, and waits
// without a time limit for it to end. Returns its exit code, or 128 + the signal number when a
// signal ended it. showCommand is accepted for callers that pass a window state; programs here
// open their own windows. Raises EVornOSError "Failed to execute program.  Error Code %d" with the
// errno value when the program cannot be started.
int32_t RunProgramAndWait(const std::string& programPath, const std::string& argument,
                          uint16_t showCommand);

// Starts programPath with the single argument argument, in the program's own folder, and returns
// without waiting; the program is reaped when it ends, so it never lingers as a zombie. Raises
// EVornOSError (message as RunProgramAndWait's, Code the errno value) when it cannot be started.
void StartProgram(const std::string& programPath, const std::string& argument);

}  // namespace tq
