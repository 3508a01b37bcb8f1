/* The floor of kviz's start-up: a C program that makes the one read that finds standard input
 * empty and writes the bytes of a game's output (given in hexadecimal as its argument, taken
 * from kviz) to a file in kviz's pieces of 128 bytes and a last, shorter one. */
#include <string.h>
#include <unistd.h>

int main(int Argc, char** Argv) {
  static char Bytes[4096];
  size_t Length = 0;
  for (const char* Hex = Argc > 1 ? Argv[1] : ""; Hex[0] && Hex[1] && Length < sizeof Bytes;
       Hex += 2) {
    const char* Digits = "0123456789abcdef";
    Bytes[Length++] =
        (char)((strchr(Digits, Hex[0]) - Digits) * 16 + (strchr(Digits, Hex[1]) - Digits));
  }
  char Input[128];
  if (read(0, Input, sizeof Input) != 0) return 2;
  for (size_t Done = 0; Done < Length;) {
    size_t Piece = Length - Done < 128 ? Length - Done : 128;
    if (write(1, Bytes + Done, Piece) != (ssize_t)Piece) return 2;
    Done += Piece;
  }
  return 0;
}
