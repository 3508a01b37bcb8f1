// Line input: the buffer refill, the one-byte read, the line read, whole or in chunks, and the
// skip past the line end. End of input leaves a byte-26 marker in the buffer, which one-byte
// reads and skips meet again without asking the handle; a line read consumes it, so the read
// after that asks the handle once more.
#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <limits>
#include <new>

// SSE2 where the processor has it; elsewhere, or with KVIZ_PORTABLE_SCAN (a CMake option, so
// that an x86-64 build can test it), portable code over the compiler's vector extension.
#if defined(__SSE2__) && !defined(KVIZ_PORTABLE_SCAN)
#define KVIZ_SSE2_SCAN 1
#include <emmintrin.h>
#endif

#include "console_text.h"

static void AssertInputInvariant([[maybe_unused]] const TConsoleText& Stream) {
  assert(Stream.BufferPos <= Stream.BufferEnd && Stream.BufferEnd <= Stream.BufferSize);
}

// Counts the changes of buffered input: each buffer load, and each end-of-input marker stored.
static std::uint32_t LoadCount = 0;

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
  ++LoadCount;
  return 0;
}

TInputChar NextInputChar(TConsoleText& Stream) {
  if (Stream.OpenMode != ModeInput && !PrepareInput(Stream)) return {ByteEndOfInput, true};
  const bool CrLf = Stream.TextFlags & CrLfFlag;
  if (Stream.BufferPos >= Stream.BufferEnd) {
    if (RunHandler(Stream, &TConsoleText::TransferHandler) != 0) return {ByteEndOfInput, true};
    if (Stream.BufferPos >= Stream.BufferEnd) {
      if (CrLf) {
        Stream.BufferData[Stream.BufferEnd++] = ByteEndOfInput;
        ++LoadCount;
      }
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

inline constexpr std::uint32_t BlockSize = 16;

// Index of the first line-end candidate in the 16 bytes at Bytes, or 16 when there is none.
// Without the flag, LF stands in for 26, which is then an ordinary byte.
#if defined(KVIZ_SSE2_SCAN)
[[gnu::always_inline]] static inline std::uint32_t FirstCandidate(const std::uint8_t* Bytes,
                                                                  bool CrLf) {
  __m128i Block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Bytes));
  __m128i Ends = _mm_or_si128(_mm_cmpeq_epi8(Block, _mm_set1_epi8(ByteLf)),
                              _mm_cmpeq_epi8(Block, _mm_set1_epi8(ByteCr)));
  auto Markers = static_cast<std::uint32_t>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(Block, _mm_set1_epi8(ByteEndOfInput))));
  auto Candidates = static_cast<std::uint32_t>(_mm_movemask_epi8(Ends)) |
                    (Markers & (0u - static_cast<std::uint32_t>(CrLf)));
  return static_cast<std::uint32_t>(std::countr_zero(Candidates | 0x10000u));
}
#else
using TByteBlock = std::uint8_t __attribute__((vector_size(BlockSize)));

[[gnu::always_inline]] static inline std::uint32_t FirstCandidate(const std::uint8_t* Bytes,
                                                                  bool CrLf) {
  TByteBlock Block;
  std::memcpy(&Block, Bytes, sizeof Block);
  const std::uint8_t Third = CrLf ? ByteEndOfInput : ByteLf;
  auto Candidates = (Block == ByteLf) | (Block == ByteCr) | (Block == Third);
  // Each lane is all ones or all zeros, so a bit count gives the lane.
  std::uint64_t Halves[2];
  std::memcpy(Halves, &Candidates, sizeof Halves);
  for (std::uint32_t Half = 0; Half < 2; ++Half) {
    if (Halves[Half] == 0) continue;
    int Bits = std::endian::native == std::endian::little ? std::countr_zero(Halves[Half])
                                                          : std::countl_zero(Halves[Half]);
    return Half * 8 + static_cast<std::uint32_t>(Bits) / 8;
  }
  return BlockSize;
}
#endif

// Bit I set when byte I of the 16 at Bytes is a control byte up to 26: LF, CR and the
// end-of-input marker are among them, and the caller looks at the byte where it stops.
[[gnu::always_inline]] static inline std::uint32_t ControlBytes(const std::uint8_t* Bytes) {
#if defined(KVIZ_SSE2_SCAN)
  __m128i Block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Bytes));
  __m128i Low = _mm_min_epu8(Block, _mm_set1_epi8(ByteEndOfInput));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(Low, Block)));
#else
  std::uint32_t Mask = 0;
  for (std::uint32_t I = 0; I < BlockSize; ++I)
    Mask |= std::uint32_t{Bytes[I] <= ByteEndOfInput} << I;
  return Mask;
#endif
}

// Length of the run of bytes at Bytes that need no special treatment in a line.
[[gnu::always_inline]] static inline std::uint32_t OrdinaryRun(const std::uint8_t* Bytes,
                                                               std::uint32_t Count, bool CrLf) {
  std::uint32_t I = 0;
  constexpr std::uint32_t Block = BlockSize;
  if (Count >= Block) {
    for (; I + Block <= Count; I += Block)
      if (std::uint32_t At = FirstCandidate(Bytes + I, CrLf); At < Block) return I + At;
    if (I == Count) return Count;
    // The last block overlaps bytes already passed, so a candidate in it lies at I or later.
    std::uint32_t At = FirstCandidate(Bytes + Count - Block, CrLf);
    return At < Block ? Count - Block + At : Count;
  }
  if (CrLf) {
    while (I < Count && Bytes[I] != ByteLf && Bytes[I] != ByteCr && Bytes[I] != ByteEndOfInput) ++I;
  } else {
    while (I < Count && Bytes[I] != ByteLf && Bytes[I] != ByteCr) ++I;
  }
  return I;
}

// The line read shared by ReadLineChunk and ReadLineText: moves the bytes of the current line
// into Store until the line ends or Store is full. Store supplies Room(), the count it can
// still take, and Put(Bytes, Count).
template <class TStore> static void ReadLineInto(TConsoleText& Stream, TStore& Store) {
  const bool CrLf = Stream.TextFlags & CrLfFlag;
  for (;;) {
    if (Stream.BufferPos >= Stream.BufferEnd) {
      // The one-byte read refills the buffer; its byte is put back for the run below to take,
      // which treats it as the one-byte read's caller would. A 26 that opens the new load is
      // the end indicator there, and stays unread.
      if (NextInputChar(Stream).End) return;
      --Stream.BufferPos;
    }
    // Copy the ordinary bytes in one go; only a line-end candidate needs a closer look.
    const std::uint8_t* Run = Stream.BufferData + Stream.BufferPos;
    std::uint32_t Room = std::min(Stream.BufferEnd - Stream.BufferPos, Store.Room());
    std::uint32_t N = OrdinaryRun(Run, Room, CrLf);
    Store.Put(Run, N);
    Stream.BufferPos += N;
    AssertInputInvariant(Stream);
    if (Store.Room() == 0) return;
    if (Stream.BufferPos == Stream.BufferEnd) continue;
    std::uint8_t Byte = Stream.BufferData[Stream.BufferPos++];
    if (Byte == ByteLf) {
      --Stream.BufferPos;
      return;
    }
    if (Byte == ByteCr) {
      if (Stream.BufferPos < Stream.BufferEnd && Stream.BufferData[Stream.BufferPos] == ByteLf) {
        --Stream.BufferPos;
        return;
      }
      continue; // a lone CR is dropped
    }
    // The run stops at a 26 only when the flag makes it the end of input: met among the
    // buffered bytes, it ends the line, consumed.
    assert(Byte == ByteEndOfInput && CrLf);
    return;
  }
}

namespace {

struct TChunkStore {
  std::uint8_t* Dest;
  std::uint32_t Max;
  std::uint32_t Count = 0;
  std::uint32_t Room() const { return Max - Count; }
  void Put(const std::uint8_t* Bytes, std::uint32_t N) {
    std::memcpy(Dest + Count, Bytes, N);
    Count += N;
  }
};

struct TStringStore {
  std::string& Text;
  static std::uint32_t Room() { return std::numeric_limits<std::uint32_t>::max(); }
  void Put(const std::uint8_t* Bytes, std::uint32_t N) {
    Text.append(reinterpret_cast<const char*>(Bytes), N);
  }
};

} // namespace

std::int32_t ReadLineChunk(TConsoleText& Stream, std::uint8_t* Dest, std::int32_t Max) {
  if (Stream.OpenMode != ModeInput && !PrepareInput(Stream)) return 0;
  if (Max <= 0) return 0;
  TChunkStore Store{Dest, static_cast<std::uint32_t>(Max)};
  ReadLineInto(Stream, Store);
  return static_cast<std::int32_t>(Store.Count);
}

// ReadLineText past its usual case.
[[gnu::noinline]] static void ReadLineRest(TConsoleText& Stream, std::string& Text) {
  if (Stream.OpenMode != ModeInput && !PrepareInput(Stream)) return;
  TStringStore Store{Text};
  ReadLineInto(Stream, Store);
}

namespace {

// The control bytes up to 26 of one buffer load of a standard stream, a bit for each of its
// buffered bytes, marked once for all the line reads of the load: most lines are then found
// with a shift and a bit count.
struct TLoadMarks {
  const TConsoleText* Stream = nullptr;
  std::uint32_t Load = 0; // the LoadCount they were marked at
  std::uint64_t Bits[StdBufferSize / 64] = {};
};

TLoadMarks Marks;

[[gnu::noinline]] void MarkLoad(const TConsoleText& Stream) {
  Marks.Stream = &Stream;
  Marks.Load = LoadCount;
  // The whole buffer, then the bytes past the buffered ones, left over from earlier loads, are
  // cleared again.
  for (std::uint32_t Word = 0; Word < StdBufferSize / 64; ++Word) {
    const std::uint8_t* Bytes = Stream.BufferData + Word * 64;
    std::uint64_t Bits = 0;
    for (std::uint32_t Block = 0; Block < 64 / BlockSize; ++Block)
      Bits |= std::uint64_t{ControlBytes(Bytes + Block * BlockSize)} << Block * BlockSize;
    const std::uint32_t Buffered = Stream.BufferEnd - std::min(Stream.BufferEnd, Word * 64);
    if (Buffered < 64) Bits &= (std::uint64_t{1} << Buffered) - 1;
    Marks.Bits[Word] = Bits;
  }
}

} // namespace

[[gnu::always_inline]] static inline void ReadLineWhole(TConsoleText& Stream, std::string& Text) {
  // The line goes straight into Text rather than through 255-byte chunks of ReadLineChunk:
  // a chunk that stops because it is full has looked at nothing beyond its last byte, so the
  // next chunk would go on exactly where this read does. The text, the position and the reads
  // of the handle come out the same.
  Text.clear();
  // The usual cases: an empty line, or one whose first control byte in the buffer is its LF
  // (buffered bytes also mean that the stream is open for input).
  const std::uint32_t Pos = Stream.BufferPos;
  if (Pos < Stream.BufferEnd) {
    const std::uint8_t* Run = Stream.BufferData + Pos;
    if (Run[0] == ByteLf) return;
    if (Stream.BufferSize == StdBufferSize) {
      if (Marks.Stream != &Stream || Marks.Load != LoadCount) MarkLoad(Stream);
      // The first control byte from Pos on: in the word that holds Pos, or else in the next.
      const std::uint64_t Ends = Pos < 64 ? Marks.Bits[0] >> Pos : Marks.Bits[1] >> (Pos - 64);
      std::uint32_t N = StdBufferSize;
      if (Ends != 0)
        N = static_cast<std::uint32_t>(std::countr_zero(Ends));
      else if (Pos < 64 && Marks.Bits[1] != 0)
        N = 64 - Pos + static_cast<std::uint32_t>(std::countr_zero(Marks.Bits[1]));
      // Longer lines go the general way, whose copy is a call: the compiler would copy them
      // with a string instruction that is slow to start.
      if (N < 32 && Run[N] == ByteLf) {
        Text.append(reinterpret_cast<const char*>(Run), N);
        Stream.BufferPos = Pos + N;
        AssertInputInvariant(Stream);
        return;
      }
    }
  }
  ReadLineRest(Stream, Text);
}

// The line's text is where a statement may need memory without bound. Running out of it is
// reported at the statement's caller, not somewhere inside the allocator or the library that
// holds it: this routine is never built into its caller, so its return address is that place,
// whichever way the line is read.
[[gnu::noinline]] void ReadLineText(TConsoleText& Stream, std::string& Text) {
  try {
    ReadLineWhole(Stream, Text);
  } catch (const std::bad_alloc&) {
    throw TOutOfMemory(__builtin_return_address(0));
  }
}

// FinishInputLine past its usual case.
[[gnu::noinline]] static void FinishInputLineRest(TConsoleText& Stream) {
  for (;;) {
    TInputChar Next = NextInputChar(Stream);
    if (Next.End || Next.Byte == ByteLf) return;
    if (Next.Byte != ByteCr) continue;
    Next = NextInputChar(Stream);
    if (Next.End || Next.Byte == ByteLf) return;
    --Stream.BufferPos; // read the byte after a lone CR again
  }
}

void FinishInputLine(TConsoleText& Stream) {
  // The usual case, the LF that a line read stopped in front of, without the one-byte read:
  // small enough for link-time optimisation to build into every caller.
  if (Stream.BufferPos < Stream.BufferEnd && Stream.BufferData[Stream.BufferPos] == ByteLf) {
    ++Stream.BufferPos;
    return;
  }
  FinishInputLineRest(Stream);
}
