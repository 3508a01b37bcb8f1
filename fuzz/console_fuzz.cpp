// Fuzz target for the console streams over the scripted platform of the unit tests. The bytes
// choose the output device, what each read of standard input gives, how each write goes, and a
// sequence of line reads and item writes. After every operation the streams must agree with two
// small models stated over whole texts: the line rules, taken one byte at a time over the
// reads, and the output, which reaches the handle in whole 128-byte buffers and at each
// write-out, and of which a failed write-out drops what was held.
//
// Input layout: a set-up byte (modulo 8: console, disk file, pipe, unknown file type, missing
// handle, else console; bit 3: standard error instead of standard output), then operations, a
// byte each (modulo 16) with their arguments: 0 a read queued: a length byte n, then (n % 128)
// + 1 bytes; 1 the end of input queued; 2 a failed read queued (code byte); 3 a line read and
// a skip (an answer); 4 a skip (a wait for Enter); 5 a line read; 6 a ReadLineChunk of at most
// (byte % 64) - 1 bytes; 7 a string (length byte, bytes, width); 8 a byte (byte); 9 an integer
// (high and low byte, width; the operation's high bits choose extreme values); 10 a line
// break; 11 the statement's end; 12 a flush; 13 a close; 14 and 15 a write queued (byte: it
// fails, takes 1 to 64 bytes, takes none, or takes all). A width is a kind byte and a byte.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fake_platform.h"

#define CHECK(Condition)                                                                           \
  if (!(Condition)) std::fprintf(stderr, "line %d: %s\n", __LINE__, #Condition), std::abort()

namespace {

using TLoad = TFakePlatform::TLoad;
using TWrite = TFakePlatform::TWrite;

struct TLineModel {
  std::deque<TLoad> Loads;
  std::string Unread; // what the stream holds of the last read
  std::int32_t Pending = 0;
  int Reads = 0;

  // The next read; false at the end of input, which leaves a 26 marker held, or a failure.
  bool Fetch() {
    TLoad Load = Loads.empty() ? TLoad{} : Loads.front();
    if (!Loads.empty()) Loads.pop_front();
    ++Reads;
    Unread = Load.Error == 0 && !Load.Bytes.empty() ? Load.Bytes : std::string(1, 26);
    if (Load.Error != 0 && Load.Error != ErrorBrokenPipe) Unread.clear(), Pending = Load.Error;
    return Load.Error == 0 && !Load.Bytes.empty();
  }
  std::string ReadLine(std::size_t Limit = SIZE_MAX) {
    std::string Line;
    while (Line.size() < Limit) {
      if (Unread.empty() && (!Fetch() || Unread[0] == 26)) break; // a fresh 26 stays unread
      char Byte = Unread[0];
      if (Byte == '\n' || (Byte == '\r' && Unread.size() > 1 && Unread[1] == '\n')) break;
      Unread.erase(0, 1); // a CR without its LF in hand is dropped; a held 26 is used up
      if (Byte == 26) break;
      if (Byte != '\r') Line += Byte;
    }
    return Line;
  }
  // The next byte, or -1 at the end of input, a failure or a 26 (which stays unread).
  int Next() {
    if ((Unread.empty() && !Fetch()) || Unread[0] == 26) return -1;
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

struct TOutputModel {
  bool Broken = false, Console = false, Open = false;
  std::deque<TWrite> Writes;
  std::string Held, Taken;
  std::int32_t Pending = 0;

  bool Prepare() {
    Pending = Broken ? ErrorNotOpenForOutput : Pending;
    return Open = !Broken;
  }
  // True when the handle took all that was held.
  bool WriteOut() {
    std::string_view Rest = Held;
    while (!Rest.empty()) {
      TWrite Step = Writes.empty() ? TWrite{} : Writes.front();
      if (!Writes.empty()) Writes.pop_front();
      std::size_t N = Step.Error != 0 ? 0 : std::min<std::size_t>(Rest.size(), Step.Accept);
      if (N == 0) {
        Pending = Step.Error != 0 ? Step.Error : ErrorWriteFault;
        break;
      }
      Taken += Rest.substr(0, N);
      Rest.remove_prefix(N);
    }
    Held.clear();
    return Rest.empty();
  }
  void Bytes(std::string_view Text) {
    if (!Open && !Prepare()) return;
    Held += Text;
    while (Held.size() >= StdBufferSize) {
      std::string Rest = Held.substr(StdBufferSize);
      Held.resize(StdBufferSize);
      if (!WriteOut()) return; // the rest of the item is dropped
      Held = Rest;
    }
  }
  void Field(std::string_view Text, std::int64_t Width) {
    for (std::int64_t Blanks = Width - std::ssize(Text); Blanks > 0 && Pending == 0; Blanks -= 64)
      Bytes(std::string(std::min<std::int64_t>(Blanks, 64), ' '));
    Bytes(Text);
  }
};

std::string_view View(const std::uint8_t* Data, std::uint32_t From, std::uint32_t To) {
  return {reinterpret_cast<const char*>(Data) + From, To - From}; // Data is null until opened
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  static TFakePlatform Fake;
  Fake = TFakePlatform{};
  UseFake(Fake);
  const std::uint8_t* const End = Data + Size;
  auto Byte = [&] { return Data < End ? *Data++ : 0; };
  auto Text = [&](std::size_t Length) {
    std::string Bytes(reinterpret_cast<const char*>(Data),
                      std::min<std::size_t>(Length, End - Data));
    Data += Bytes.size();
    return Bytes;
  };
  TLineModel Lines;
  TOutputModel Out;
  const std::uint8_t Setup = Byte();
  const int Handle = Setup & 8 ? 2 : 1;
  TConsoleText& Stream = Handle == 2 ? StdErrText : StdOutText;
  const std::uint32_t Types[] = {FileTypeChar, FileTypeDisk, FileTypePipe, FileTypeUnknown};
  Fake.FileType[Handle] = Types[Setup % 8 < 4 ? Setup % 8 : 0];
  Fake.Missing[Handle] = Setup % 8 == 4;
  Out.Broken = Setup % 8 == 3 || Setup % 8 == 4;
  Out.Console = Fake.FileType[Handle] == FileTypeChar && !Out.Broken;

  for (int Ops = 0; Data < End && Ops < 500; ++Ops) {
    const std::uint8_t Op = Byte(), Kind = Op % 16;
    if (Kind <= 2) {
      const std::uint32_t Codes[] = {5, 6, 109, 1117, 31, 87, 109, 2}; // 109: the end
      TLoad Load{Kind == 0 ? Text(Byte() % 128 + 1) : "", Kind == 2 ? Codes[Byte() % 8] : 0};
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
    } else if (Kind == 7 || Kind == 9) {
      const std::int32_t High = Kind == 9 ? Byte() << 8 : 0, Low = Kind == 9 ? Byte() : 0;
      const std::int32_t Values[] = {INT_MIN, INT_MAX, 0, -1, High + Low, -High};
      const std::int32_t Value = Values[Op / 16 % 6];
      const std::string Item = Kind == 7 ? Text(Byte()) : std::to_string(Value);
      const std::int32_t Form = Byte(), Arg = Byte();
      const std::int32_t Near = static_cast<std::int32_t>(Item.size()) + Arg % 8 - 4;
      const std::int32_t Widths[] = {0, INT_MIN, -Arg, Near, Arg, Arg * 8};
      if (Kind == 7) EmitString(Stream, Item, Widths[Form % 6]);
      if (Kind == 9) EmitInteger(Stream, Value, Widths[Form % 6]);
      Out.Field(Item, Widths[Form % 6]);
    } else if (Kind == 8) {
      const char Item = static_cast<char>(Byte());
      EmitChar(Stream, Item);
      // A byte that fills the buffer leaves it full, to go out before the next byte.
      if ((Out.Open || Out.Prepare()) && (Out.Held.size() < StdBufferSize || Out.WriteOut()))
        Out.Held += Item;
    } else if (Kind == 10) {
      EmitLineBreak(Stream);
      Out.Bytes("\r\n");
    } else if (Kind >= 14) {
      const std::uint8_t Arg = Byte();
      const TWrite Steps[] = {{0, Arg / 4 % 2 ? 232u : 112u}, {Arg / 4 + 1u, 0}, {0, 0}, {}};
      Fake.Writes.push_back(Steps[Arg % 4]);
      Out.Writes.push_back(Steps[Arg % 4]);
    }
    if (Kind == 3 || Kind == 4) FinishInputLine(StdInText), Lines.SkipLine();
    if (Kind == 11) EndWriteStatement(Stream);
    if (Kind == 12) FlushOutput(Stream);
    if (Kind == 13) CloseStream(Stream), Out.Pending = Out.Open ? 0 : ErrorNotOpen;
    // Written out: each statement on a console; everything at a flush or a close.
    if (Out.Open && ((Out.Console && (Kind == 10 || Kind == 11)) || Kind == 12 || Kind == 13))
      Out.WriteOut();

    CHECK(PendingIoError == (Out.Pending != 0 ? Out.Pending : Lines.Pending));
    CHECK(Fake.ReadCalls == Lines.Reads && Fake.LargestWrite <= StdBufferSize);
    CHECK(Fake.Taken[Handle] == Out.Taken && Fake.Taken[3 - Handle].empty());
    CHECK(View(Stream.BufferData, 0, Stream.BufferPos) == Out.Held);
    const TConsoleText& In = StdInText;
    CHECK(In.BufferPos <= In.BufferEnd && In.BufferEnd <= StdBufferSize);
    CHECK(View(In.BufferData, In.BufferPos, In.BufferEnd) == Lines.Unread);
    PendingIoError = Out.Pending = Lines.Pending = 0; // as the statement's check takes it
  }
  return 0;
}
