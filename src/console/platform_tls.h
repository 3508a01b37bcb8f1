// Where each host keeps the per-thread pending I/O code, so that the check after a console
// statement reads it without a call: a native thread-local variable where the compiler has
// them, the executable's static per-thread block with GCC on Windows.
#pragma once

#include <cstdint>

#if defined(_WIN32) && !defined(__clang__) && (defined(__i386__) || defined(__x86_64__))
// GCC has no native thread-local storage on Windows: its emulation costs a call into the
// threads library at every access. The code lives in the executable's static per-thread block
// instead, which the loader copies for every thread; the thread's copy is found through its
// environment block, and the code's place in it is its offset in the .tls section.
#define KVIZ_PENDING_IN_TLS_BLOCK 1
extern "C" unsigned long _tls_index; // the program's block among the thread's, set by the loader
extern "C" std::int32_t KvizPendingIoError; // the template of the code in the .tls section

class TPendingIoError {
public:
  operator std::int32_t() const { return Slot(); }
  TPendingIoError& operator=(std::int32_t Code) {
    Slot() = Code;
    return *this;
  }

private:
  static std::int32_t& Slot() {
    char** Blocks;                // TEB.ThreadLocalStoragePointer
    std::uintptr_t Index, Offset; // filled by 32-bit moves, which clear a 64-bit register
#if defined(__x86_64__)
    __asm__("movq %%gs:0x58, %0" : "=r"(Blocks));
    // _tls_index lies in the program itself: read in place, not through the pointer that GCC
    // keeps for data that a DLL might supply.
    __asm__("movl _tls_index(%%rip), %k0" : "=r"(Index));
#else
    __asm__("movl %%fs:0x2c, %0" : "=r"(Blocks));
    Index = _tls_index;
#endif
    __asm__("movl $%c1@SECREL32, %k0" : "=r"(Offset) : "i"(&KvizPendingIoError));
    return *reinterpret_cast<std::int32_t*>(Blocks[Index] + Offset);
  }
};
inline TPendingIoError PendingIoError; // no state of its own: every access goes to the block
#else
// Constant-initialised so that reading it needs no initialisation guard.
inline constinit thread_local std::int32_t PendingIoError = 0;
#endif
