// Fuzz target for the console streams over the scripted platform of the unit tests. The bytes
// choose the output device, what each read of standard input gives, and a sequence of line
// reads and item writes. After every operation the streams must agree with two small models
// stated over whole texts: the line rules, taken one byte at a time over the reads, and the
// output, which reaches the handle in whole 128-byte buffers and at each write-out.
//
// Input layout: a set-up byte s: standard output is a console, a disk file or a pipe as s % 3
// is 0, 1 or 2, and the streams' line ends are CR LF, with byte 26 as the end of input, when
// s / 3 is even, else LF alone; when s / 6 is odd, standard output is none of the three, and
// every write to it fails with 105 and reaches nothing. Then operations, a byte each (modulo 16) with their arguments:
// 0 a read queued: a length byte n, then (n % 128) + 1 bytes; 1 the end of input queued; 2 a
// failed read queued (code byte); 3 a line read and a skip (an answer); 4 a skip (a wait for
// Enter); 5 a line read; 6 a ReadLineChunk of at most (byte % 64) - 1 bytes; 7 a string (length
// byte, bytes, and a byte w for a width of 2w - 64); 8 a byte (byte); 9 an integer (four bytes);
// 14 an integer and a width as 7's; 10 a line break; 11 the statement's end; 12 a flush; 13 a
// close; 15 the statement's end and a flush on standard error, which nothing opens.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fake_platform.h"

#define CHECK(Condition)                                                                           \
  if (!(Condition)) std::fprintf(stderr, "line %d: %s\n", __LINE__, #Condition), std::abort()

namespace {

using TLoad = TFakePlatform::TLoad;

struct TLineModel {
  bool CrLf = true;
  std::deque<TLoad> Loads;
  std::string Unread; // what the stream holds of the last read
  std::int32_t Pending = 0;
  int Reads = 0;

  // The next read; false at the end of input, which leaves a 26 marker held with CrLf, or a
  // failure.
  bool Fetch() {
    TLoad Load = Loads.empty() ? TLoad{} : Loads.front();
    if (!Loads.empty()) Loads.pop_front();
    ++Reads;
    Unread = Load.Error == 0 && !Load.Bytes.empty() ? Load.Bytes : std::string(CrLf, 26);
    if (Load.Error != 0 && Load.Error != ErrorBrokenPipe) Unread.clear(), Pending = Load.Error;
    return Load.Error == 0 && !Load.Bytes.empty();
  }
  std::string ReadLine(std::size_t Limit = SIZE_MAX) {
    std::string Line;
    while (Line.size() < Limit) {
      if (Unread.empty() && (!Fetch() || (CrLf && Unread[0] == 26))) break; // a fresh 26 stays
      char Byte = Unread[0];
      if (Byte == '\n' || (Byte == '\r' && Unread.size() > 1 && Unread[1] == '\n')) break;
      Unread.erase(0, 1); // a CR without its LF in hand is dropped; a held 26 is used up
      if (Byte == 26 && CrLf) break;
      if (Byte != '\r') Line += Byte;
    }
    return Line;
  }
  // The next byte, or -1 at the end of input, a failure or a 26 with CrLf (which stays unread).
  int Next() {
    if ((Unread.empty() && !Fetch()) || (CrLf && Unread[0] == 26)) return -1;
    int Byte = static_cast<unsigned char>(Unread[0]);
    Unread.erase(0, 1);
    return Byte;
  }
  // Through LF or CR LF; a CR before anything else is passed over like any other byte.
  void SkipLine() {
    for (int Byte = Next(); Byte >= 0 && Byte != '\n'; Byte = Next())
      if (Byte == '\r' && ((Byte = Next()) < 0 || Byte == '\n')) return;
  }
};

std::string_view View(const std::uint8_t* Data, std::uint32_t From, std::uint32_t To) {
  return {reinterpret_cast<const char*>(Data) + From, To - From}; // Data is null until opened
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  TFakePlatform Fake;
  const std::uint8_t* const End = Data + Size;
  auto Byte = [&] { return Data < End ? *Data++ : 0; };
  auto Text = [&](std::size_t Length) {
    std::string Bytes(reinterpret_cast<const char*>(Data),
                      std::min<std::size_t>(Length, End - Data));
    Data += Bytes.size();
    return Bytes;
  };
  const std::uint8_t Setup = Byte();
  const std::uint32_t Types[] = {FileTypeChar, FileTypeDisk, FileTypePipe};
  const bool Unusable = Setup / 6 % 2 == 1;
  Fake.FileType[1] = Unusable ? FileTypeUnknown : Types[Setup % 3];
  LineBreakDefault = Setup / 3 % 2 == 0;
  TLineModel Lines;
  Lines.CrLf = LineBreakDefault != 0;
  // The output: what the handle has taken and what the stream holds. A buffer that becomes full
  // goes out at once, always as 128 bytes; a byte that fills it leaves it full until the next.
  std::string Taken, Held;
  bool Open = false;
  std::int32_t Pending = 0; // the operation's code
  auto Emit = [&](std::string_view Text) {
    if (Unusable) return !(Pending = ErrorNotOpenForOutput);
    for (Open = true, Held += Text; Held.size() >= StdBufferSize; Held.erase(0, StdBufferSize))
      Taken += Held.substr(0, StdBufferSize);
    return true;
  };
  // An item in a field of a width from the input: blanks in front when wider than the item.
  auto Field = [&](std::int32_t& Width, std::size_t Length) {
    Width = Byte() * 2 - 64;
    return std::string(std::max<std::int32_t>(Width - static_cast<std::int32_t>(Length), 0), ' ');
  };

  for (int Ops = 0; Data < End && Ops < 500; ++Ops) {
    const std::uint8_t Kind = Byte() % 16;
    Pending = 0;
    if (Kind <= 2) {
      const std::uint32_t Codes[] = {5, 6, 109, 1117}; // 109: the end
      TLoad Load{Kind == 0 ? Text(Byte() % 128 + 1) : "", Kind == 2 ? Codes[Byte() % 4] : 0};
      Fake.Loads.push_back(Load);
      Lines.Loads.push_back(Load);
    } else if (Kind == 3 || Kind == 5) {
      std::string Line;
      ReadLineText(StdInText, Line);
      CHECK(Line == Lines.ReadLine());
    } else if (Kind == 6) {
      std::uint8_t Chunk[64];
      const std::int32_t Max = Byte() % 64 - 1, N = ReadLineChunk(StdInText, Chunk, Max);
      CHECK(View(Chunk, 0, std::max(N, 0)) == Lines.ReadLine(std::max(Max, 0)));
    } else if (Kind == 7) {
      const std::string Item = Text(Byte());
      std::int32_t Width;
      const std::string Blanks = Field(Width, Item.size());
      EmitString(StdOutText, Item, Width);
      Emit(Blanks + Item);
    } else if (Kind == 8) {
      const char Item = static_cast<char>(Byte());
      EmitChar(StdOutText, Item);
      // Opens the stream, and writes out a buffer that a byte has left full.
      if (Emit("")) Held += Item;
    } else if (Kind == 9 || Kind == 14) {
      std::int32_t Value = 0, Width = 0;
      for (int I = 0; I < 4; ++I) Value = static_cast<std::int32_t>(Value * 256u + Byte());
      const std::string Item = std::to_string(Value);
      const std::string Blanks = Kind == 14 ? Field(Width, Item.size()) : "";
      EmitInteger(StdOutText, Value, Width);
      Emit(Blanks + Item);
    } else if (Kind == 10) {
      EmitLineBreak(StdOutText);
      Emit(Lines.CrLf ? "\r\n" : "\n");
    }
    if (Kind == 3 || Kind == 4) FinishInputLine(StdInText), Lines.SkipLine();
    if (Kind == 11) EndWriteStatement(StdOutText);
    if (Kind == 15) EndWriteStatement(StdErrText), FlushOutput(StdErrText);
    if (Kind == 12) FlushOutput(StdOutText);
    if (Kind == 13) CloseStream(StdOutText), Pending = Open ? 0 : ErrorNotOpen;
    // Written out: each statement on a console; everything at a flush or a close.
    if ((Setup % 3 == 0 && (Kind == 10 || Kind == 11)) || Kind == 12 || Kind == 13)
      Taken += Held, Held.clear();

    CHECK(PendingIoError == (Pending != 0 ? Pending : Lines.Pending));
    CHECK(Fake.ReadCalls == Lines.Reads && Fake.Taken[1] == Taken);
    CHECK(View(StdOutText.BufferData, 0, StdOutText.BufferPos) == Held);
    const TConsoleText& In = StdInText;
    CHECK(In.BufferPos <= In.BufferEnd && In.BufferEnd <= StdBufferSize);
    CHECK(View(In.BufferData, In.BufferPos, In.BufferEnd) == Lines.Unread);
    PendingIoError = Lines.Pending = 0; // as the statement's check takes it
  }
  LineBreakDefault = 1;
  return 0;
}
