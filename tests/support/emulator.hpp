// How tests start a built program: directly, or, in a cross build whose
// programs this machine cannot run itself, through the emulator the build
// names (CMake's CMAKE_CROSSCOMPILING_EMULATOR, passed in FILTERS_EMULATOR as
// words separated by spaces).
#pragma once

#include <unistd.h>

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
// Nothing else is added: the program sees exe as its argv[0] and no arguments.
inline std::vector<std::string> program_command(const std::string& exe) {
  std::vector<std::string> argv;
  std::istringstream words(FILTERS_EMULATOR);
  for (std::string word; words >> word;) {
    argv.push_back(word);
  }
  argv.push_back(exe);
  return argv;
}

// exec_program: for a child just forked by a test. Replaces the process by
// exe, started as program_command says, keeping its descriptors. Returns only
// when that fails. It allocates, which is safe after fork only in a process
// of one thread, as the tests are.
inline void exec_program(const std::string& exe) {
  std::vector<std::string> command = program_command(exe);
  std::vector<char*> argv;
  for (std::string& word : command) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
}

// emulated: true when programs start through an emulator. Tests that rely on
// what an emulator does not pass on to the program, such as a limit on its
// address space, skip themselves then.
inline bool emulated() {
  return program_command("").size() > 1;
}

}  // namespace testsupport
