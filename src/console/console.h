// What a program sees of the console runtime: the three standard streams, the statements it
// issues on them, and the check it makes after each one. The streams' record stays inside the
// runtime (console_text.h); here it is only a name.
#pragma once

#include <cstdint>
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
// text: run-time error 1 (EOutOfMemory), at the read's caller.
void ReadLineText(TConsoleText& Stream, std::string& Text);
void FinishInputLine(TConsoleText& Stream);
TConsoleText& EmitBytes(TConsoleText& Stream, const void* Bytes, std::int32_t Count);
TConsoleText& EmitBlanks(TConsoleText& Stream, std::int32_t Count);
TConsoleText& EmitChar(TConsoleText& Stream, std::uint8_t Byte);
TConsoleText& EmitString(TConsoleText& Stream, std::string_view Text, std::int32_t Width);
TConsoleText& EmitInteger(TConsoleText& Stream, std::int32_t Value, std::int32_t Width);
TConsoleText& EmitLineBreak(TConsoleText& Stream);
std::int32_t EndWriteStatement(TConsoleText& Stream);
std::int32_t FlushOutput(TConsoleText& Stream);

// The rare half of CheckIo, out of line, so that the address a failure is reported at is the
// return point of this call, which lies in the statement's caller. The compiler moves the call
// out of the straight path, so the address names the calling routine, not the statement's own
// place in it. Site differs from one check to the next; without it the compiler may merge the
// calls of one routine into one, and every check there would report the same address.
[[noreturn]] void RaiseIoCheck(std::uint32_t Site);

// After every console statement. With nothing pending it reads the per-thread code and
// compares it with 0: one load where the compiler has native thread-local storage, four with
// GCC on Windows (the program's block number, the thread's block list, the program's block,
// the code).
[[gnu::always_inline]] inline void CheckIo(std::uint32_t Site = __builtin_LINE()) {
  if (PendingIoError != 0) [[unlikely]]
    RaiseIoCheck(Site);
}
