// Runs a program with its standard input on a Windows anonymous pipe, which a unix parent cannot
// hand it under wine. Usage: pipe_run.exe [-o | -c] PROGRAM [ARGUMENTS]; -o passes its output
// through a Windows pipe too, -c gives it a Windows pipe that nobody reads. Exits with its code.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <initializer_list>
#include <string>

// Copies From to To until From ends (a pipe whose writers are gone fails with ERROR_BROKEN_PIPE)
// or To fails (its reader is gone), then closes To when asked: the end of input reaches the
// program that way.
struct TCopy {
  HANDLE From, To;
  bool CloseTo;
};

static DWORD WINAPI Copy(void* Argument) {
  auto* Job = static_cast<TCopy*>(Argument);
  char Chunk[4096];
  DWORD Read, Done;
  while (ReadFile(Job->From, Chunk, sizeof Chunk, &Read, nullptr) && Read > 0 &&
         WriteFile(Job->To, Chunk, Read, &Done, nullptr)) {
  }
  if (Job->CloseTo) CloseHandle(Job->To);
  return 0;
}

int main(int Count, char** Arguments) {
  int First = 1;
  char Mode = Count > 1 && Arguments[1][0] == '-' ? Arguments[First++][1] : 0;
  HANDLE InRead, InWrite, OutRead = nullptr, OutWrite = GetStdHandle(STD_OUTPUT_HANDLE);
  if (First >= Count || !CreatePipe(&InRead, &InWrite, nullptr, 0) ||
      (Mode != 0 && !CreatePipe(&OutRead, &OutWrite, nullptr, 0)))
    return 250;
  // Nobody will ever read: the program's first write-out meets a pipe without reader.
  if (Mode == 'c') CloseHandle(OutRead);
  for (HANDLE Inherited : {InRead, OutWrite, GetStdHandle(STD_ERROR_HANDLE)})
    SetHandleInformation(Inherited, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);

  std::string CommandLine;
  for (int I = First; I < Count; ++I) CommandLine += std::string(" \"") + Arguments[I] + "\"";
  STARTUPINFOA Startup{};
  Startup.cb = sizeof Startup;
  Startup.dwFlags = STARTF_USESTDHANDLES;
  Startup.hStdInput = InRead;
  Startup.hStdOutput = OutWrite;
  Startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION Process{};
  if (!CreateProcessA(nullptr, CommandLine.data() + 1, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &Startup, &Process))
    return 251;
  CloseHandle(InRead);
  if (Mode != 0) CloseHandle(OutWrite);

  // Input goes in on a thread of its own while the output comes out here, so that neither
  // side can wait on the other with a full pipe.
  TCopy Input{GetStdHandle(STD_INPUT_HANDLE), InWrite, true};
  CloseHandle(CreateThread(nullptr, 0, Copy, &Input, 0, nullptr));
  TCopy Output{OutRead, GetStdHandle(STD_OUTPUT_HANDLE), false};
  if (Mode == 'o') Copy(&Output);
  WaitForSingleObject(Process.hProcess, INFINITE);
  DWORD Code = 252;
  GetExitCodeProcess(Process.hProcess, &Code);
  return static_cast<int>(Code);
}
