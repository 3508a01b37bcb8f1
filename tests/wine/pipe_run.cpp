// Runs a program with its standard input on a Windows anonymous pipe, which a unix parent
// cannot hand it under wine: at its end such a pipe fails the read with ERROR_BROKEN_PIPE, as
// on Windows. Usage: pipe_run.exe PROGRAM [ARGUMENTS]; exits with the program's code.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <initializer_list>
#include <string>

static HANDLE InWrite;

// Passes this program's input on, on a thread of its own so that a program that writes much
// before it reads cannot leave both waiting; closing the pipe is the program's end of input.
static DWORD WINAPI Feed(void*) {
  char Chunk[4096];
  DWORD Read, Done;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), Chunk, sizeof Chunk, &Read, nullptr) &&
         Read > 0 && WriteFile(InWrite, Chunk, Read, &Done, nullptr)) {
  }
  CloseHandle(InWrite);
  return 0;
}

int main(int Count, char** Arguments) {
  HANDLE InRead;
  if (Count < 2 || !CreatePipe(&InRead, &InWrite, nullptr, 0)) return 250;
  for (HANDLE Given : {InRead, GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE)})
    SetHandleInformation(Given, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  std::string CommandLine;
  for (int I = 1; I < Count; ++I)
    CommandLine += std::string(I > 1 ? " \"" : "\"") + Arguments[I] + "\"";
  STARTUPINFOA Startup{};
  Startup.cb = sizeof Startup;
  Startup.dwFlags = STARTF_USESTDHANDLES;
  Startup.hStdInput = InRead;
  Startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  Startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION Process{};
  if (!CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &Startup, &Process))
    return 251;
  CloseHandle(InRead);
  CloseHandle(CreateThread(nullptr, 0, Feed, nullptr, 0, nullptr));
  WaitForSingleObject(Process.hProcess, INFINITE);
  DWORD Code = 252;
  GetExitCodeProcess(Process.hProcess, &Code);
  return static_cast<int>(Code);
}
