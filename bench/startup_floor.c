/* The floor of kviz's start-up: a C program that writes the bytes given as its argument (a
 * game's output on empty input, captured from kviz) in the pieces kviz uses, 128 bytes and a
 * final piece, after the one read that finds standard input empty. Linked only against libc. */
#include <string.h>
#include <unistd.h>

int main(int Argc, char** Argv) {
  char Buffer[128];
  if (read(0, Buffer, sizeof Buffer) < 0) return 2;
  if (Argc < 2) return 0;
  const char* Bytes = Argv[1];
  size_t Left = strlen(Bytes);
  while (Left > 0) {
    size_t Piece = Left < sizeof Buffer ? Left : sizeof Buffer;
    ssize_t N = write(1, Bytes, Piece);
    if (N <= 0) return 2;
    Bytes += N;
    Left -= (size_t)N;
  }
  return 0;
}
