// Starting programs of the test and ending them.
#pragma once

#include <windows.h>

#include <string>

class Process {
 public:
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  // A process the test left running is ended with it.
  ~Process();

  // Runs `commandLine` (the program's path first, quoted when it has
  // blanks) with C:\ as its current folder.
  bool Start(const std::string& commandLine);
  DWORD Id() const { return info_.dwProcessId; }
  bool Running() const;
  bool WaitForExit(DWORD timeoutMs);
  DWORD ExitCode() const;

 private:
  PROCESS_INFORMATION info_ = {};
};

// A Linux path as Wine's drive Z: sees it.
std::string WindowsPathOf(const std::string& hostPath);
