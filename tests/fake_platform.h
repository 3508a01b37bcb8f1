// A scripted platform for the unit tests and the fuzz target, which takes nothing from the host:
// reads hand out the loads queued, and every handle keeps what was written to it. ExitProcess
// throws the exit code, so that a test sees the end of a process and its code. While it lives it
// is the platform, with the streams and the pending code as the run-time core's start leaves
// them.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <utility>

#include "console/console_text.h"

struct TFakePlatform final : TPlatform {
  TPlatform* Host = std::exchange(Platform, this);
  TFakePlatform() {
    SetUpStandardStreams();
    PendingIoError = 0;
  }
  TFakePlatform(const TFakePlatform&) = delete;
  ~TFakePlatform() { Platform = Host; }

  struct TLoad {
    std::string Bytes;       // one ReadFile gives them, at most 128
    std::uint32_t Error = 0; // or fails with this code
  };
  std::deque<TLoad> Loads; // none left: the end of input
  std::string Taken[3];    // by the standard handles 0, 1 and 2
  std::uint32_t FileType[3] = {FileTypePipe, FileTypeDisk, FileTypeDisk};
  int ReadCalls = 0;
  std::uint32_t LastError = 0;
  std::string Boxes; // each message box's caption and text

  THandle GetStdHandle(std::int32_t Which) override {
    const int Fd = StdDescriptorOf(Which);
    LastError = Fd >= 0 ? 0 : ErrorInvalidHandle;
    return Fd >= 0 ? static_cast<THandle>(Fd) : InvalidHandle;
  }
  std::uint32_t GetFileType(THandle H) override { return H < 3 ? FileType[H] : FileTypeUnknown; }
  bool ReadFile(THandle, void* Buffer, std::uint32_t, std::uint32_t& Read) override {
    TLoad Load = Loads.empty() ? TLoad{} : Loads.front();
    if (!Loads.empty()) Loads.pop_front();
    ++ReadCalls;
    std::memcpy(Buffer, Load.Bytes.data(), Read = static_cast<std::uint32_t>(Load.Bytes.size()));
    return (LastError = Load.Error) == 0;
  }
  bool WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                 std::uint32_t& Written) override {
    Taken[Handle].append(static_cast<const char*>(Buffer), Written = Count);
    return true;
  }
  bool CloseHandle(THandle) override { return true; }
  std::uint32_t GetLastError() override { return LastError; }
  bool QueryPerformanceCounter(std::int64_t& Count) override { return Count = 0, true; }
  std::uint32_t GetTickCount() override { return 0; }
  void AnsiToOem(char*, std::uint32_t) override {}
  TModuleInfo FindModule(const void*) override { return {"kviz", 0x400000}; }
  void ShowMessage(const char* Caption, const char* Text) override {
    Boxes += Caption + std::string(": ") + Text + "|";
  }
  void PrepareProcess(TFaultHandler) override {}
  [[noreturn]] void ExitProcess(std::uint32_t Code) override { throw Code; }
};
