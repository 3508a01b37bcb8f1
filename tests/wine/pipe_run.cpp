// Test helper for the Windows build: runs a program with its standard input and output on
// Windows anonymous pipes, which a parent in the unix world cannot hand it under wine.
// Usage: pipe_run.exe [--closed-output] PROGRAM < input > output; exits with PROGRAM's code.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>
#include <string>

namespace {

[[noreturn]] void Fail(const char* What) {
  std::string Text = std::string("pipe_run: ") + What + " failed with error " +
                     std::to_string(GetLastError()) + "\r\n";
  DWORD Done;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), Text.data(), static_cast<DWORD>(Text.size()), &Done,
            nullptr);
  ExitProcess(250);
}

std::string ReadAll(HANDLE From) {
  std::string Bytes;
  char Chunk[4096];
  DWORD Read;
  // A pipe whose writers are gone fails with ERROR_BROKEN_PIPE; a file gives 0 bytes.
  while (ReadFile(From, Chunk, sizeof Chunk, &Read, nullptr) && Read > 0) Bytes.append(Chunk, Read);
  return Bytes;
}

void WriteAll(HANDLE To, const std::string& Bytes) {
  std::size_t Pos = 0;
  while (Pos < Bytes.size()) {
    DWORD Done = 0;
    if (!WriteFile(To, Bytes.data() + Pos, static_cast<DWORD>(Bytes.size() - Pos), &Done, nullptr))
      Fail("WriteFile");
    Pos += Done;
  }
}

} // namespace

int main(int Count, char** Arguments) {
  bool ClosedOutput = Count == 3 && std::strcmp(Arguments[1], "--closed-output") == 0;
  if (Count != 2 && !ClosedOutput) Fail("usage: pipe_run [--closed-output] PROGRAM; it");
  std::string Input = ReadAll(GetStdHandle(STD_INPUT_HANDLE));

  HANDLE InRead, InWrite, OutRead, OutWrite;
  if (!CreatePipe(&InRead, &InWrite, nullptr, 0) || !CreatePipe(&OutRead, &OutWrite, nullptr, 0))
    Fail("CreatePipe");
  // Only the child's ends are inherited.
  SetHandleInformation(InRead, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  SetHandleInformation(OutWrite, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  HANDLE ErrorHandle = GetStdHandle(STD_ERROR_HANDLE);
  SetHandleInformation(ErrorHandle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  // Nobody will ever read: the child's first write meets a pipe without reader.
  if (ClosedOutput) CloseHandle(OutRead);

  STARTUPINFOA Startup{};
  Startup.cb = sizeof Startup;
  Startup.dwFlags = STARTF_USESTDHANDLES;
  Startup.hStdInput = InRead;
  Startup.hStdOutput = OutWrite;
  Startup.hStdError = ErrorHandle;
  std::string CommandLine = std::string("\"") + Arguments[Count - 1] + "\"";
  PROCESS_INFORMATION Process{};
  if (!CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &Startup, &Process))
    Fail("CreateProcessA");
  CloseHandle(InRead);
  CloseHandle(OutWrite);

  // The inputs of the tests fit in the pipe's buffer, so this cannot wait on the child.
  WriteAll(InWrite, Input);
  CloseHandle(InWrite);
  if (!ClosedOutput) WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), ReadAll(OutRead));

  WaitForSingleObject(Process.hProcess, INFINITE);
  DWORD Code = 250;
  GetExitCodeProcess(Process.hProcess, &Code);
  return static_cast<int>(Code);
}
