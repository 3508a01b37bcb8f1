// Fuzz target for line input: the fuzzer's bytes choose what each read of the handle returns
// (1 to 128 bytes, the end of input, or a failure) and the sequence of line reads and skips.
// Every result is compared with a plain reference model of the line rules.
//
// Input layout: a script of loads, then optionally byte 0xFF and the operations.
//   control byte c < 0xF0: a load of (c % 128) + 1 bytes, which follow
//   0xF0 to 0xF7: end of input (0 bytes read)
//   0xF8 to 0xFE: a failed read, with the code ReadErrorCodes[c - 0xF8]
//   operations, one byte b each, taken modulo 4: 0 line read then skip (an answer), 1 skip
//   alone (a wait for Enter), 2 line read alone, 3 one ReadLineChunk of at most (b >> 2) - 1
//   bytes. Without them, answers until the script is used up.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "fuzz_platform.h"

namespace {

// 109 is the broken pipe, which counts as the end of input.
constexpr std::uint32_t ReadErrorCodes[] = {5, 6, 109, 1117, 31, 87, 109};

enum TOp { Answer, Skip, LineOnly, Chunk };

// The rules, stated one byte at a time over the loads themselves: Unread is what the stream
// holds of the current load, and a load is fetched only when nothing is held.
class TLineModel {
public:
  explicit TLineModel(std::deque<TLoad> Script) : Loads(std::move(Script)) {}

  std::string Unread;
  std::int32_t Pending = 0;
  std::size_t LoadsTaken = 0;

  // The rest of the line, or at most Limit bytes of it.
  std::string ReadLine(std::size_t Limit = SIZE_MAX) {
    std::string Line;
    if (Limit == 0) return Line;
    for (;;) {
      if (Unread.empty()) {
        if (!Fetch()) return Line;        // failure, or end of input with its marker left unread
        if (Unread[0] == 26) return Line; // a fresh load that starts with 26: left unread
      }
      char Byte = Unread[0];
      if (Byte == '\n') return Line; // left for the skip
      if (Byte == '\r') {
        if (Unread.size() > 1 && Unread[1] == '\n') return Line; // both left for the skip
        Unread.erase(0, 1); // a lone CR, or one whose LF is not loaded yet: dropped
        continue;
      }
      Unread.erase(0, 1);
      if (Byte == 26) return Line; // a 26 already held ends the line and is used up
      Line += Byte;
      if (Line.size() == Limit) return Line; // nothing beyond is looked at
    }
  }

  void SkipLine() {
    for (;;) {
      int Byte = Next();
      if (Byte < 0 || Byte == '\n') return;
      if (Byte != '\r') continue;
      int After = Next();
      if (After < 0 || After == '\n') return;
      Unread.insert(Unread.begin(), static_cast<char>(After)); // read again
    }
  }

private:
  std::deque<TLoad> Loads;

  // Loads the next piece into Unread; false when there is nothing to read.
  bool Fetch() {
    ++LoadsTaken;
    TLoad Load;
    if (!Loads.empty()) {
      Load = std::move(Loads.front());
      Loads.pop_front();
    }
    if (Load.Kind == TLoad::Error && Load.Code != ErrorBrokenPipe) {
      Pending = static_cast<std::int32_t>(Load.Code);
      return false;
    }
    if (Load.Kind == TLoad::Data) {
      Unread = Load.Bytes;
      return true;
    }
    Unread = "\x1a"; // the end-of-input marker stays held for the reads after
    return false;
  }

  // The next byte, or -1 at the end of input, a failure or a held 26 (which stays unread).
  int Next() {
    if (Unread.empty() && !Fetch()) return -1;
    if (Unread[0] == 26) return -1;
    int Byte = static_cast<unsigned char>(Unread[0]);
    Unread.erase(0, 1);
    return Byte;
  }
};

std::string HeldInput() {
  const TConsoleText& S = StdInText;
  FUZZ_CHECK(S.BufferPos <= S.BufferEnd && S.BufferEnd <= StdBufferSize);
  if (S.BufferData == nullptr) return {};
  return {reinterpret_cast<const char*>(S.BufferData) + S.BufferPos, S.BufferEnd - S.BufferPos};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  std::deque<TLoad> Script;
  std::size_t I = 0;
  while (I < Size && Data[I] != 0xFF) {
    std::uint8_t Control = Data[I++];
    TLoad Load;
    if (Control < 0xF0) {
      std::size_t Length = std::min<std::size_t>((Control % 128) + 1, Size - I);
      if (Length == 0) break;
      Load.Kind = TLoad::Data;
      Load.Bytes.assign(reinterpret_cast<const char*>(Data + I), Length);
      I += Length;
    } else if (Control < 0xF8) {
      Load.Kind = TLoad::End;
    } else {
      Load.Kind = TLoad::Error;
      Load.Code = ReadErrorCodes[Control - 0xF8];
    }
    Script.push_back(std::move(Load));
  }
  std::vector<std::uint8_t> Ops;
  if (I < Size) {
    for (++I; I < Size && Ops.size() < 256; ++I) Ops.push_back(Data[I]);
  } else {
    Ops.assign(Script.size() + 2, Answer);
  }

  FuzzHost.Reset();
  FuzzHost.Loads = Script;
  TLineModel Model(Script);

  for (std::uint8_t OpByte : Ops) {
    const TOp Op = static_cast<TOp>(OpByte % 4);
    if (Op == Chunk) {
      const std::int32_t Max = (OpByte >> 2) - 1;
      std::uint8_t Dest[64];
      std::int32_t N = ReadLineChunk(StdInText, Dest, Max);
      FUZZ_CHECK(N >= 0 && N <= std::max(Max, 0));
      const std::string Expected = Model.ReadLine(static_cast<std::size_t>(std::max(Max, 0)));
      FUZZ_CHECK(std::string(reinterpret_cast<const char*>(Dest), N) == Expected);
    }
    if (Op == Answer || Op == LineOnly) {
      std::string Line;
      ReadLineText(StdInText, Line);
      FUZZ_CHECK(Line == Model.ReadLine());
    }
    if (Op == Answer || Op == Skip) {
      FinishInputLine(StdInText);
      Model.SkipLine();
    }
    FUZZ_CHECK(PendingIoError == Model.Pending);
    FUZZ_CHECK(FuzzHost.ReadCalls == Model.LoadsTaken);
    FUZZ_CHECK(HeldInput() == Model.Unread);
    // As the statement's check would take it.
    PendingIoError = 0;
    Model.Pending = 0;
  }
  return 0;
}
