// The two fatal reports: the exception report on standard error and the short run-time error
// text on standard output. Both are built in fixed buffers, since they may run when memory has
// run out. Besides what their callers hand them, they read whether the program is a console
// program (ConsoleApp), and write out what standard output still holds first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "exceptions.h"

// 1 for a console program: the reports go to the standard handles instead of a message box.
extern std::uint8_t ConsoleApp;

inline constexpr std::size_t RunErrorTextSize = 30;
extern char RunErrorText[RunErrorTextSize];

// Fills Buffer (Capacity bytes, zero-terminated, cut to fit) from Format, taking the arguments
// in order: %s inserts a text, %d a signed number in decimal, %p the low 32 bits of a number as
// exactly eight uppercase hexadecimal digits. Returns the length without the zero.
struct TFormatArg {
  TFormatArg(std::string_view T) : Text(T) {}
  TFormatArg(const char* T) : Text(T) {}
  TFormatArg(std::int64_t N) : Number(N) {}
  std::string_view Text;
  std::int64_t Number = 0;
};
std::uint32_t FormatTo(char* Buffer, std::uint32_t Capacity, std::string_view Format,
                       std::initializer_list<TFormatArg> Args);

std::uint32_t FormatExceptionReport(TObject* Object, const void* Address, char* Buffer,
                                    std::uint32_t Capacity);

// Reports Object, raised at Address. Output still held goes out first; if that fails, nothing
// is written and the failure's code is returned, still pending, for the caller's CheckIo, whose
// own report then takes this one's place. Returns 0 once the report is written.
std::int32_t ReportException(TObject* Object, const void* Address);

// Fills RunErrorText with Number and Address and writes it out.
void WriteRunErrorText(std::int32_t Number, const void* Address);
