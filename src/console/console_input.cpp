// Line input: the buffer refill, the one-byte read, the line read in 255-byte chunks and the
// skip past the line end. End of input leaves a byte-26 marker in the buffer, so that later
// reads of a used-up pipe or file return at once without asking the handle again.
#include <algorithm>
#include <cassert>
#include <cstring>

#include "console_text.h"

static void AssertInputInvariant([[maybe_unused]] const TConsoleText& Stream) {
  assert(Stream.BufferPos <= Stream.BufferEnd && Stream.BufferEnd <= Stream.BufferSize);
}

bool PrepareInput(TConsoleText& Stream) {
  if (&Stream == &StdInText) {
    Stream.TextFlags = LineBreakDefault;
    OpenStream(Stream, ModeInput);
  }
  if (Stream.OpenMode == ModeInput) return true;
  SetPendingIoError(ErrorNotOpenForInput);
  return false;
}

std::int32_t FillInputBuffer(TConsoleText& Stream) {
  Stream.BufferEnd = 0;
  Stream.BufferPos = 0;
  std::uint32_t Read = 0;
  if (!Platform->ReadFile(Stream.OsHandle, Stream.BufferData, Stream.BufferSize, Read)) {
    std::uint32_t Code = Platform->GetLastError();
    return Code == ErrorBrokenPipe ? 0 : static_cast<std::int32_t>(Code);
  }
  assert(Read <= Stream.BufferSize);
  Stream.BufferEnd = Read;
  return 0;
}

TInputChar NextInputChar(TConsoleText& Stream) {
  if (Stream.OpenMode != ModeInput && !PrepareInput(Stream)) return {ByteEndOfInput, true};
  const bool CrLf = Stream.TextFlags & CrLfFlag;
  if (Stream.BufferPos >= Stream.BufferEnd) {
    if (RunHandler(Stream, &TConsoleText::TransferHandler) != 0) return {ByteEndOfInput, true};
    if (Stream.BufferPos >= Stream.BufferEnd) {
      if (CrLf) Stream.BufferData[Stream.BufferEnd++] = ByteEndOfInput;
      AssertInputInvariant(Stream);
      return {ByteEndOfInput, true};
    }
  }
  std::uint8_t Byte = Stream.BufferData[Stream.BufferPos];
  // The marker is not consumed: every later read meets it again.
  if (CrLf && Byte == ByteEndOfInput) return {ByteEndOfInput, true};
  ++Stream.BufferPos;
  return {Byte, false};
}

// Length of the run of bytes at Bytes that need no special treatment in a line.
static std::uint32_t OrdinaryRun(const std::uint8_t* Bytes, std::uint32_t Count, bool CrLf) {
  std::uint32_t I = 0;
  if (CrLf) {
    while (I < Count && Bytes[I] != ByteLf && Bytes[I] != ByteCr && Bytes[I] != ByteEndOfInput) ++I;
  } else {
    while (I < Count && Bytes[I] != ByteLf && Bytes[I] != ByteCr) ++I;
  }
  return I;
}

std::int32_t ReadLineChunk(TConsoleText& Stream, std::uint8_t* Dest, std::int32_t Max) {
  if (Stream.OpenMode != ModeInput && !PrepareInput(Stream)) return 0;
  if (Max <= 0) return 0;
  const bool CrLf = Stream.TextFlags & CrLfFlag;
  std::int32_t Count = 0;
  for (;;) {
    std::uint8_t Byte;
    if (Stream.BufferPos < Stream.BufferEnd) {
      // Copy the ordinary bytes in one go; only a line-end candidate needs a closer look.
      const std::uint8_t* Run = Stream.BufferData + Stream.BufferPos;
      std::uint32_t Room = std::min<std::uint32_t>(Stream.BufferEnd - Stream.BufferPos,
                                                   static_cast<std::uint32_t>(Max - Count));
      std::uint32_t N = OrdinaryRun(Run, Room, CrLf);
      std::memcpy(Dest + Count, Run, N);
      Count += static_cast<std::int32_t>(N);
      Stream.BufferPos += N;
      if (Count == Max) return Count;
      if (Stream.BufferPos == Stream.BufferEnd) continue;
      Byte = Stream.BufferData[Stream.BufferPos++];
    } else {
      TInputChar Next = NextInputChar(Stream);
      if (Next.End) return Count;
      Byte = Next.Byte;
    }
    if (Byte == ByteLf) {
      --Stream.BufferPos;
      return Count;
    }
    if (Byte == ByteCr) {
      if (Stream.BufferPos < Stream.BufferEnd && Stream.BufferData[Stream.BufferPos] == ByteLf) {
        --Stream.BufferPos;
        return Count;
      }
      continue; // a lone CR is dropped
    }
    // Only a byte taken straight from the buffer can be a 26 here; it ends the line, consumed.
    if (Byte == ByteEndOfInput && CrLf) return Count;
    Dest[Count++] = Byte;
    if (Count == Max) return Count;
  }
}

void ReadLineText(TConsoleText& Stream, std::string& Text) {
  constexpr std::int32_t ChunkSize = 255;
  std::uint8_t Chunk[ChunkSize];
  Text.clear();
  std::int32_t N;
  do {
    N = ReadLineChunk(Stream, Chunk, ChunkSize);
    Text.append(reinterpret_cast<const char*>(Chunk), static_cast<std::size_t>(N));
  } while (N == ChunkSize);
}

void FinishInputLine(TConsoleText& Stream) {
  for (;;) {
    TInputChar Next = NextInputChar(Stream);
    if (Next.End || Next.Byte == ByteLf) return;
    if (Next.Byte != ByteCr) continue;
    Next = NextInputChar(Stream);
    if (Next.End || Next.Byte == ByteLf) return;
    --Stream.BufferPos; // read the byte after a lone CR again
  }
}
