// How tests start a built program: directly, or, in a cross build whose
// programs this machine cannot run itself, through the emulator the build
// names (CMake's CMAKE_CROSSCOMPILING_EMULATOR, passed in FILTERS_EMULATOR as
// words separated by spaces).
#pragma once

#include <sstream>
#include <string>
#include <vector>

#ifndef FILTERS_EMULATOR
#define FILTERS_EMULATOR ""
#endif

namespace testsupport {

// program_command: accepts the path of a built program. Returns the argument
// vector that starts it: the emulator's path and its arguments when the build
// has an emulator, then exe; exe alone when it has none. Element 0 is the file
// to execute (an absolute path for an emulator: pass it to execv, not execvp).
// Nothing else is added, so the program sees exe as its argv[0] and no
// arguments.
inline std::vector<std::string> program_command(const std::string& exe) {
  std::vector<std::string> argv;
  std::istringstream words(FILTERS_EMULATOR);
  for (std::string word; words >> word;) {
    argv.push_back(word);
  }
  argv.push_back(exe);
  return argv;
}

// emulated: true when programs start through an emulator. Tests that rely on
// what an emulator does not pass on to the program, such as a limit on its
// address space, skip themselves then.
inline bool emulated() {
  return program_command("").size() > 1;
}

}  // namespace testsupport
