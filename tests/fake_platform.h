// A scripted platform for the unit tests and the fuzz target: reads hand out the loads queued,
// writes follow the steps queued, and every handle keeps what it took. ExitProcess throws, so
// that a test sees the end of a process and its code.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "console/platform.h"

struct TFakeExit {
  std::uint32_t Code;
};

struct TFakePlatform final : TPlatform {
  struct TLoad {
    std::string Bytes;       // what ReadFile gives, as much as it asks for at a time
    std::uint32_t Error = 0; // or fails with this code
  };
  struct TWrite {
    std::uint32_t Accept = 0xFFFFFFFFu; // one WriteFile takes at most this many bytes
    std::uint32_t Error = 0;            // or fails with this code, taking nothing
  };
  std::deque<TLoad> Loads; // none left: the end of input
  std::deque<TWrite> Writes;
  std::string Taken[3]; // by the standard handles 0, 1 and 2
  std::uint32_t FileType[3] = {FileTypePipe, FileTypeDisk, FileTypeDisk};
  bool Missing[3] = {};
  int ReadCalls = 0;
  std::uint32_t LargestWrite = 0;
  std::uint32_t LastError = 0;
  TModuleInfo Module{"/opt/kviz", 0x400000, true};

  THandle GetStdHandle(std::int32_t Which) override;
  std::uint32_t GetFileType(THandle H) override { return H < 3 ? FileType[H] : FileTypeUnknown; }
  bool ReadFile(THandle Handle, void* Buffer, std::uint32_t Count, std::uint32_t& Read) override;
  bool WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                 std::uint32_t& Written) override;
  bool CloseHandle(THandle) override { return true; }
  std::uint32_t GetLastError() override { return LastError; }
  bool QueryPerformanceCounter(std::int64_t&) override { return false; }
  std::uint32_t GetTickCount() override { return 0; }
  TModuleInfo FindModule(const void*) override { return Module; }
  void AnsiToOem(char*, std::uint32_t) override {}
  void ShowMessage(const char*, const char*) override {}
  void PrepareProcess(TFaultHandler) override {}
  [[noreturn]] void ExitProcess(std::uint32_t Code) override { throw TFakeExit{Code}; }
};

// Puts Fake in the host platform's place, with the streams and the pending code as a process
// has them after the run-time core's start.
void UseFake(TFakePlatform& Fake);
