// The scripted platform of the fuzz targets, installed as the runtime's platform for the
// whole process.
#include "fuzz_platform.h"

#include <algorithm>
#include <cstring>

TFuzzPlatform FuzzHost;
TPlatform* Platform = &FuzzHost;

void TFuzzPlatform::Reset() {
  *this = TFuzzPlatform{};
  for (TConsoleText* Stream : {&StdInText, &StdOutText, &StdErrText}) {
    *Stream = TConsoleText{};
    Stream->OpenMode = ModeClosed;
  }
  PendingIoError = 0;
}

THandle TFuzzPlatform::GetStdHandle(std::int32_t Which) {
  int Index = StdInputHandle - Which;
  if (Index < 0 || Index > 2 || HandleMissing[Index]) {
    LastError = ErrorInvalidHandle;
    return InvalidHandle;
  }
  return static_cast<THandle>(Index);
}

std::uint32_t TFuzzPlatform::GetFileType(THandle Handle) {
  return Handle <= 2 ? FileType[Handle] : FileTypeUnknown;
}

bool TFuzzPlatform::ReadFile(THandle Handle, void* Buffer, std::uint32_t Count,
                             std::uint32_t& Read) {
  // The runtime always asks for a whole buffer, so each load arrives as it was scripted.
  FUZZ_CHECK(Handle == 0 && Count == StdBufferSize);
  ++ReadCalls;
  Read = 0;
  if (Loads.empty()) return true;
  TLoad Load = std::move(Loads.front());
  Loads.pop_front();
  switch (Load.Kind) {
  case TLoad::Data:
    Read = static_cast<std::uint32_t>(Load.Bytes.size());
    std::memcpy(Buffer, Load.Bytes.data(), Read);
    return true;
  case TLoad::End:
    return true;
  case TLoad::Error:
    LastError = Load.Code;
    return false;
  }
  return true;
}

bool TFuzzPlatform::WriteFile(THandle Handle, const void* Buffer, std::uint32_t Count,
                              std::uint32_t& Taken) {
  FUZZ_CHECK(Handle == 1 || Handle == 2);
  ++WriteCalls;
  LargestWrite = std::max(LargestWrite, Count);
  if (Count == 0) ++EmptyWrites;
  Taken = 0;
  TWriteStep Step;
  if (!WriteSteps.empty()) {
    Step = WriteSteps.front();
    WriteSteps.pop_front();
  }
  if ((Step.Error != 0 || Step.Accept == 0) && TakenBeforeFailure == NoFailure)
    TakenBeforeFailure = Written[Handle].size();
  if (Step.Error != 0) {
    LastError = Step.Error;
    return false;
  }
  Taken = std::min(Count, Step.Accept);
  Written[Handle].append(static_cast<const char*>(Buffer), Taken);
  return true;
}
