// The scripted platform of the unit tests and the fuzz target.
#include "fake_platform.h"

#include <algorithm>
#include <cstring>

#include "console/console_text.h"

THandle TFakePlatform::GetStdHandle(std::int32_t Which) {
  THandle Handle = static_cast<THandle>(StdInputHandle - Which);
  if (Handle < 3 && !Missing[Handle]) return Handle;
  LastError = ErrorInvalidHandle;
  return InvalidHandle;
}

bool TFakePlatform::ReadFile(THandle, void* Buffer, std::uint32_t Count, std::uint32_t& Read) {
  ++ReadCalls;
  if (Loads.empty()) Loads.emplace_back();
  TLoad& Load = Loads.front();
  LastError = Load.Error;
  Read = static_cast<std::uint32_t>(std::min<std::size_t>(Load.Bytes.size(), Count));
  std::memcpy(Buffer, Load.Bytes.data(), Read);
  Load.Bytes.erase(0, Read); // a longer load comes in several reads
  if (Load.Bytes.empty()) Loads.pop_front();
  return LastError == 0;
}

bool TFakePlatform::WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                              std::uint32_t& Written) {
  LargestWrite = std::max(LargestWrite, Count);
  TWrite Step = Writes.empty() ? TWrite{} : Writes.front();
  if (!Writes.empty()) Writes.pop_front();
  LastError = Step.Error;
  Written = Step.Error != 0 ? 0 : std::min(Count, Step.Accept);
  Taken[Handle].append(static_cast<const char*>(Buffer), Written);
  return Step.Error == 0;
}

void UseFake(TFakePlatform& Fake) {
  Platform = &Fake;
  for (TConsoleText* Stream : {&StdInText, &StdOutText, &StdErrText}) {
    *Stream = TConsoleText{};
    Stream->OpenMode = ModeClosed;
  }
  PendingIoError = 0;
}
