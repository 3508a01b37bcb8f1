// A platform that hands every call to another one, for the programs of the tests and the
// benchmarks that change one or two services of the host and keep the rest.
#pragma once

#include "console/platform.h"

class TForwardingPlatform : public TPlatform {
public:
  explicit TForwardingPlatform(TPlatform& Host) : Host(Host) {}

  THandle GetStdHandle(std::int32_t Which) override { return Host.GetStdHandle(Which); }
  std::uint32_t GetFileType(THandle Handle) override { return Host.GetFileType(Handle); }
  bool ReadFile(THandle Handle, void* Buffer, std::uint32_t Count, std::uint32_t& Read) override {
    return Host.ReadFile(Handle, Buffer, Count, Read);
  }
  bool WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                 std::uint32_t& Written) override {
    return Host.WriteFile(Handle, Buffer, Count, Written);
  }
  bool CloseHandle(THandle Handle) override { return Host.CloseHandle(Handle); }
  std::uint32_t GetLastError() override { return Host.GetLastError(); }
  bool QueryPerformanceCounter(std::int64_t& Count) override {
    return Host.QueryPerformanceCounter(Count);
  }
  std::uint32_t GetTickCount() override { return Host.GetTickCount(); }
  TModuleInfo FindModule(const void* Address) override { return Host.FindModule(Address); }
  void AnsiToOem(char* Text, std::uint32_t Length) override { Host.AnsiToOem(Text, Length); }
  void ShowMessage(const char* Caption, const char* Text) override {
    Host.ShowMessage(Caption, Text);
  }
  void PrepareProcess(TFaultHandler OnFault) override { Host.PrepareProcess(OnFault); }
  void ExitProcess(std::uint32_t Code) override { Host.ExitProcess(Code); }

protected:
  ~TForwardingPlatform() = default;

private:
  TPlatform& Host;
};
