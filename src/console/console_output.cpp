// Buffered output: bytes collect in the stream's 128-byte buffer and go out each time it
// fills; the flush at the end of a statement writes them out at once only on a console.
// Blanks and decimal digits are produced without allocating.
#include <algorithm>
#include <cassert>
#include <cstring>

#include "console_text.h"

static constexpr std::int32_t BlankBlockSize = 64;
static constexpr char BlankBlock[BlankBlockSize + 1] =
    "                                                                ";

static void AssertOutputInvariant([[maybe_unused]] const TConsoleText& Stream) {
  assert(Stream.BufferPos <= Stream.BufferSize);
}

bool PrepareOutput(TConsoleText& Stream) {
  if (&Stream == &StdOutText || &Stream == &StdErrText) {
    Stream.TextFlags = LineBreakDefault;
    OpenStream(Stream, ModeOutput);
  }
  if (Stream.OpenMode == ModeOutput) return true;
  SetPendingIoError(ErrorNotOpenForOutput);
  return false;
}

std::int32_t DrainOutputBuffer(TConsoleText& Stream) {
  AssertOutputInvariant(Stream);
  if (Stream.BufferPos == 0) return 0;
  std::uint32_t Code = WriteWhole(Stream.OsHandle, Stream.BufferData, Stream.BufferPos);
  // The bytes of a failed write are dropped: the buffer is empty either way.
  Stream.BufferPos = 0;
  return static_cast<std::int32_t>(Code);
}

// EmitBytes past its usual case: the stream still to be prepared, or the buffer filling up.
[[gnu::noinline]] static TConsoleText& EmitBytesFilling(TConsoleText& Stream, const void* Bytes,
                                                        std::uint32_t Left) {
  if (Stream.OpenMode != ModeOutput && !PrepareOutput(Stream)) return Stream;
  const auto* Next = static_cast<const std::uint8_t*>(Bytes);
  for (;;) {
    std::uint32_t Room = Stream.BufferSize - Stream.BufferPos;
    if (Room > Left) {
      std::copy_n(Next, Left, Stream.BufferData + Stream.BufferPos); // Next may be null for 0
      Stream.BufferPos += Left;
      AssertOutputInvariant(Stream);
      return Stream;
    }
    // A buffer that becomes exactly full goes out now, always as a whole buffer.
    std::copy_n(Next, Room, Stream.BufferData + Stream.BufferPos);
    Stream.BufferPos += Room;
    Next += Room;
    Left -= Room;
    if (RunHandler(Stream, &TConsoleText::TransferHandler) != 0) return Stream;
  }
}

// Copies Count bytes, at most Most, with moves of fixed size, the last of which may overlap
// the one before: the game's texts (all under 128 bytes) go without a call.
template <std::uint32_t Most>
[[gnu::always_inline]] static inline void CopyBytes(std::uint8_t* To, const std::uint8_t* From,
                                                    std::uint32_t Count) {
  if constexpr (Most >= 16) {
    if (Count >= 16) {
      for (std::uint32_t I = 0; I + 16 < Count; I += 16) std::memcpy(To + I, From + I, 16);
      std::memcpy(To + Count - 16, From + Count - 16, 16);
      return;
    }
  }
  // Below 16 bytes: two pieces of 8, or of 4, one from each end, or single bytes.
  if (Count >= 8) {
    std::memcpy(To, From, 8);
    std::memcpy(To + Count - 8, From + Count - 8, 8);
  } else if (Count >= 4) {
    std::memcpy(To, From, 4);
    std::memcpy(To + Count - 4, From + Count - 4, 4);
  } else if (Count > 0) {
    To[0] = From[0];
    To[Count / 2] = From[Count / 2];
    To[Count - 1] = From[Count - 1];
  }
}

// The usual case of EmitBytes, inlined into every item write: an open stream whose buffer
// takes the bytes without becoming full.
template <std::uint32_t Most = StdBufferSize>
[[gnu::always_inline]] static inline void PutBytes(TConsoleText& Stream, const void* Bytes,
                                                   std::uint32_t Left) {
  if (Stream.OpenMode == ModeOutput && Stream.BufferSize - Stream.BufferPos > Left) [[likely]] {
    CopyBytes<Most>(Stream.BufferData + Stream.BufferPos, static_cast<const std::uint8_t*>(Bytes),
                    Left);
    Stream.BufferPos += Left;
    AssertOutputInvariant(Stream);
    return;
  }
  EmitBytesFilling(Stream, Bytes, Left);
}

TConsoleText& EmitBytes(TConsoleText& Stream, const void* Bytes, std::int32_t Count) {
  assert(Count >= 0);
  PutBytes(Stream, Bytes, static_cast<std::uint32_t>(Count));
  return Stream;
}

// Out of line: the quiz never asks for a field, and the item writes stay small without it.
[[gnu::noinline]] TConsoleText& EmitBlanks(TConsoleText& Stream, std::int32_t Count) {
  while (Count > BlankBlockSize) {
    EmitBytes(Stream, BlankBlock, BlankBlockSize);
    Count -= BlankBlockSize;
    if (PendingIoError != 0) return Stream;
  }
  if (Count > 0) EmitBytes(Stream, BlankBlock, Count);
  return Stream;
}

TConsoleText& EmitChar(TConsoleText& Stream, std::uint8_t Byte) {
  if (Stream.OpenMode != ModeOutput && !PrepareOutput(Stream)) return Stream;
  while (Stream.BufferPos >= Stream.BufferSize) {
    if (RunHandler(Stream, &TConsoleText::TransferHandler) != 0) return Stream;
  }
  Stream.BufferData[Stream.BufferPos++] = Byte;
  AssertOutputInvariant(Stream);
  return Stream;
}

TDecimalText FormatDecimal(std::int32_t Value) {
  // Unsigned arithmetic gives the smallest value its true magnitude, 2^31.
  std::uint32_t Magnitude =
      Value < 0 ? 0u - static_cast<std::uint32_t>(Value) : static_cast<std::uint32_t>(Value);
  char Digits[10];
  int N = 0;
  do {
    Digits[N++] = static_cast<char>('0' + Magnitude % 10);
    Magnitude /= 10;
  } while (Magnitude != 0);
  TDecimalText Text{};
  if (Value < 0) Text.Bytes[Text.Length++] = '-';
  while (N > 0) Text.Bytes[Text.Length++] = Digits[--N];
  return Text;
}

TConsoleText& EmitInteger(TConsoleText& Stream, std::int32_t Value, std::int32_t Width) {
  TDecimalText Text = FormatDecimal(Value);
  if (Width > Text.Length) EmitBlanks(Stream, Width - Text.Length);
  PutBytes<sizeof Text.Bytes>(Stream, Text.Bytes, Text.Length);
  return Stream;
}

TConsoleText& EmitString(TConsoleText& Stream, std::string_view Text, std::int32_t Width) {
  // Texts longer than 2 GiB are not emitted by this program; the count is 32-bit by design.
  assert(Text.size() <= 0x7FFFFFFFu);
  auto Length = static_cast<std::int32_t>(Text.size());
  // Tested first so that a very negative width cannot overflow the subtraction.
  if (Width > Length) EmitBlanks(Stream, Width - Length);
  PutBytes(Stream, Text.data(), static_cast<std::uint32_t>(Length));
  return Stream;
}

TConsoleText& EmitLineBreak(TConsoleText& Stream) {
  // Prepare first, so that the flag read below holds its prepared value.
  if (Stream.OpenMode != ModeOutput) PrepareOutput(Stream);
  if (Stream.TextFlags & CrLfFlag)
    PutBytes(Stream, "\r\n", 2);
  else
    PutBytes(Stream, "\n", 1);
  EndWriteStatement(Stream);
  return Stream;
}

// EndWriteStatement and FlushOutput differ only in the slot they run on an open stream.
static std::int32_t FinishStatement(TConsoleText& Stream, THandlerSlot TConsoleText::*Slot) {
  switch (Stream.OpenMode) {
  case ModeInput:
    return 0;
  case ModeOutput:
  case ModeInOut:
    // Most statements on a file or pipe end here, with nothing to run.
    if (Stream.*Slot == NoOpHandler) return 0;
    return RunHandler(Stream, Slot);
  default:
    // Not open: nothing to do for the standard streams, which open on their first write.
    if (&Stream == &StdOutText || &Stream == &StdErrText) return 0;
    SetPendingIoError(ErrorNotOpen);
    return ErrorNotOpen;
  }
}

std::int32_t EndWriteStatement(TConsoleText& Stream) {
  return FinishStatement(Stream, &TConsoleText::FlushHandler);
}

std::int32_t FlushOutput(TConsoleText& Stream) {
  return FinishStatement(Stream, &TConsoleText::TransferHandler);
}
