// What a program sees of the console streams: the three standard streams and the statements it
// issues on them; the check after each statement is run_error.h's CheckIo. The streams' record
// stays inside the runtime (console_text.h); here it is only a name.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "platform_tls.h"

struct TConsoleText;

extern TConsoleText StdInText;
extern TConsoleText StdOutText;
extern TConsoleText StdErrText;

// PendingIoError, where the host keeps it (platform_tls.h): 0 when nothing is pending, else
// the latest code not yet taken, one per thread.
inline void SetPendingIoError(std::int32_t Code) {
  PendingIoError = Code;
}
inline std::int32_t TakePendingIoError() {
  std::int32_t Code = PendingIoError;
  PendingIoError = 0;
  return Code;
}

// A failure of the console becomes the pending code, and the caller checks it once the statement
// is complete. The one statement that raises is a line read that runs out of memory for its
// text: it throws TOutOfMemory with the read's return address, which the outermost handler
// makes run-time error 1 (EOutOfMemory) there.
struct TOutOfMemory : std::bad_alloc {
  explicit TOutOfMemory(const void* At) : Address(At) {}
  const void* Address;
};

void ReadLineText(TConsoleText& Stream, std::string& Text);
void FinishInputLine(TConsoleText& Stream);
TConsoleText& EmitBlanks(TConsoleText& Stream, std::int32_t Count);
TConsoleText& EmitChar(TConsoleText& Stream, std::uint8_t Byte);
TConsoleText& EmitString(TConsoleText& Stream, std::string_view Text, std::int32_t Width);
TConsoleText& EmitInteger(TConsoleText& Stream, std::int32_t Value, std::int32_t Width);
TConsoleText& EmitLineBreak(TConsoleText& Stream);
std::int32_t EndWriteStatement(TConsoleText& Stream);
std::int32_t FlushOutput(TConsoleText& Stream);
