// The two fatal reports: the exception report on standard error and the short run-time error
// text on standard output. Both are built in fixed buffers, since they may run when memory has
// run out.
#include "report.h"

#include <algorithm>
#include <cassert>

#include "console_text.h"

std::uint8_t ConsoleApp = 0;
char RunErrorText[RunErrorTextSize] = "Runtime error     at 00000000";

// An address as both reports show it: its low 32 bits as eight uppercase hexadecimal digits.
static void FormatAddress(char* Hex, std::uint64_t Address) {
  auto Value = static_cast<std::uint32_t>(Address);
  for (int D = 7; D >= 0; --D, Value >>= 4) Hex[D] = "0123456789ABCDEF"[Value & 0xF];
}

std::uint32_t FormatTo(char* Buffer, std::uint32_t Capacity, std::string_view Format,
                       std::initializer_list<TFormatArg> Args) {
  assert(Capacity > 0);
  const std::uint32_t Limit = Capacity - 1; // room for the terminating zero
  std::uint32_t Length = 0;
  auto Put = [&](std::string_view Text) {
    std::size_t N = std::min<std::size_t>(Text.size(), Limit - Length);
    std::copy_n(Text.data(), N, Buffer + Length); // an empty text may have no data at all
    Length += static_cast<std::uint32_t>(N);
  };
  const TFormatArg* NextArg = Args.begin();
  for (std::size_t I = 0; I < Format.size() && Length < Limit; ++I) {
    char Directive = I + 1 < Format.size() ? Format[I + 1] : 0;
    if (Format[I] != '%' || (Directive != 's' && Directive != 'd' && Directive != 'p')) {
      Buffer[Length++] = Format[I];
      continue;
    }
    ++I;
    TFormatArg Arg = NextArg != Args.end() ? *NextArg++ : TFormatArg(std::string_view{});
    if (Directive == 's') {
      Put(Arg.Text);
    } else if (Directive == 'd') {
      Put(FormatDecimal(static_cast<std::int32_t>(Arg.Number)).View());
    } else {
      char Hex[8];
      FormatAddress(Hex, static_cast<std::uint64_t>(Arg.Number));
      Put({Hex, sizeof Hex});
    }
  }
  Buffer[Length] = 0;
  return Length;
}

std::uint32_t FormatExceptionReport(TObject* Object, const void* Address, char* Buffer,
                                    std::uint32_t Capacity) {
  assert(Object != nullptr);
  TModuleInfo Module = Platform->FindModule(Address);
  auto Offset = reinterpret_cast<std::uintptr_t>(Address) - Module.Base;

  std::string_view Message, Period;
  if (const auto* E = dynamic_cast<const Exception*>(Object)) {
    Message = E->Message;
    if (!Message.empty() && Message.back() != '.') Period = ".";
  }
  return FormatTo(
      Buffer, Capacity, LoadResString(IdReportFormat),
      {Object->ClassName(), Module.Name, static_cast<std::int64_t>(Offset), Message, Period});
}

std::int32_t ReportException(TObject* Object, const void* Address) {
  char Buffer[1024];
  std::uint32_t Length = FormatExceptionReport(Object, Address, Buffer, sizeof Buffer);
  if (ConsoleApp != 1) {
    Platform->ShowMessage(LoadResString(IdReportCaption).data(), Buffer);
    return 0;
  }
  // Output written before the failure goes out first.
  FlushOutput(StdOutText);
  if (PendingIoError != 0) return PendingIoError;
  Platform->AnsiToOem(Buffer, Length);
  THandle Handle = Platform->GetStdHandle(StdErrorHandle);
  WriteWhole(Handle, Buffer, Length);
  WriteWhole(Handle, "\r\n", 2);
  return 0;
}

void WriteRunErrorText(std::int32_t Number, const void* Address) {
  // Filled in place from the right. The number's field is blanked first, so that a shorter
  // number does not keep the digits of an earlier fill; the address fills all of its own.
  std::fill(RunErrorText + 14, RunErrorText + 17, ' ');
  auto Digits = static_cast<std::uint32_t>(Number);
  for (int Pos = 16; Pos >= 14; --Pos) {
    RunErrorText[Pos] = static_cast<char>('0' + Digits % 10);
    Digits /= 10;
    if (Digits == 0) break;
  }
  FormatAddress(RunErrorText + 21, reinterpret_cast<std::uintptr_t>(Address));

  if (ConsoleApp != 1) {
    Platform->ShowMessage("Error", RunErrorText);
    return;
  }
  if (StdOutText.OpenMode == ModeOutput && StdOutText.BufferPos > 0)
    StdOutText.TransferHandler(StdOutText);
  THandle Handle = Platform->GetStdHandle(StdOutputHandle);
  WriteWhole(Handle, RunErrorText, RunErrorTextSize); // the zero byte goes out too
  WriteWhole(Handle, "\r\n", 2);
}
