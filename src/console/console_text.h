// The console text stream's record, private to the runtime: its fields and buffer invariants,
// the handler slots and mode values, and the routines that work on the record directly. What
// programs may call is in console.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "console.h"
#include "platform.h"

// A handler slot: takes the record, returns 0 or an error code.
using THandlerSlot = std::int32_t (*)(TConsoleText&);

inline constexpr std::uint16_t ModeClosed = 0xD7B0;
inline constexpr std::uint16_t ModeInput = 0xD7B1;
inline constexpr std::uint16_t ModeOutput = 0xD7B2;
inline constexpr std::uint16_t ModeInOut = 0xD7B3;

// Bit of TextFlags: line breaks are CR LF and byte 26 ends the input.
inline constexpr std::uint16_t CrLfFlag = 1;

inline constexpr std::uint32_t StdBufferSize = 128;

inline constexpr std::uint8_t ByteLf = 10;
inline constexpr std::uint8_t ByteCr = 13;
inline constexpr std::uint8_t ByteEndOfInput = 26;

// Codes of the runtime's own.
inline constexpr std::int32_t ErrorReadBeyondEnd = 100;
inline constexpr std::int32_t ErrorDiskWrite = 101;
inline constexpr std::int32_t ErrorBadRecord = 102;
inline constexpr std::int32_t ErrorNotOpen = 103;
inline constexpr std::int32_t ErrorNotOpenForInput = 104;
inline constexpr std::int32_t ErrorNotOpenForOutput = 105;
inline constexpr std::int32_t ErrorInvalidNumeric = 106;

// Buffer invariants, asserted wherever a load, a copy or a write-out moves the positions:
//   input:  0 <= BufferPos <= BufferEnd <= BufferSize; bytes [BufferPos, BufferEnd) are unread.
//   output: 0 <= BufferPos <= BufferSize; bytes [0, BufferPos) are held; BufferEnd stays 0.
// A stream whose BufferPos < BufferEnd is therefore open for input, which lets the read fast
// paths test one comparison.
struct TConsoleText {
  THandle OsHandle;
  std::uint16_t OpenMode;
  std::uint16_t TextFlags;
  std::uint32_t BufferSize;
  std::uint32_t BufferPos;
  std::uint32_t BufferEnd;
  std::uint8_t* BufferData;
  THandlerSlot OpenHandler;
  THandlerSlot TransferHandler;
  THandlerSlot FlushHandler;
  THandlerSlot CloseHandler;
  std::uint8_t ClientData[32]; // the record's users' own; the runtime never touches it
  char FileName[260];
  std::uint8_t InlineBuffer[StdBufferSize];
};

// Value of TextFlags given to a standard stream each time it is prepared.
extern std::uint8_t LineBreakDefault;

// Runs one of the stream's handler slots; a failure it returns becomes the pending code. This
// is the one way a code from the operating system becomes pending.
inline std::int32_t RunHandler(TConsoleText& Stream, THandlerSlot TConsoleText::*Slot) {
  std::int32_t Code = (Stream.*Slot)(Stream);
  if (Code != 0) SetPendingIoError(Code);
  return Code;
}

// The three standard streams as the run-time core's start leaves them: closed, to open on first
// use, with every other field zero.
void SetUpStandardStreams();

// Open and close, shared by both directions.
std::int32_t OpenStream(TConsoleText& Stream, std::uint16_t Mode);
std::int32_t CloseStream(TConsoleText& Stream);
std::int32_t DefaultOpenHandler(TConsoleText& Stream);
std::int32_t NoOpHandler(TConsoleText& Stream);

// Input.
struct TInputChar {
  std::uint8_t Byte;
  bool End; // when set, Byte is 26
};

bool PrepareInput(TConsoleText& Stream);
std::int32_t FillInputBuffer(TConsoleText& Stream);
TInputChar NextInputChar(TConsoleText& Stream);
std::int32_t ReadLineChunk(TConsoleText& Stream, std::uint8_t* Dest, std::int32_t Max);

// Output: Count bytes as they are, which the item writes build on.
TConsoleText& EmitBytes(TConsoleText& Stream, const void* Bytes, std::int32_t Count);
bool PrepareOutput(TConsoleText& Stream);
std::int32_t DrainOutputBuffer(TConsoleText& Stream);

// Decimal text of a 32-bit integer, built in place: at most a sign and ten digits.
struct TDecimalText {
  char Bytes[11];
  std::uint8_t Length;
  std::string_view View() const { return {Bytes, Length}; }
};

TDecimalText FormatDecimal(std::int32_t Value);

// Writes all Count bytes unless a call fails; the host may take them in several pieces.
// Returns 0 or the error code.
std::uint32_t WriteWhole(THandle Handle, const void* Bytes, std::uint32_t Count);
