// Run-time errors: numbered kinds that become exceptions while the exception machinery is
// started (RunErrorHook installed), and otherwise end the process with the kind's number.
#pragma once

#include <cstdint>

#include "exceptions.h"

extern void (*RunErrorHook)(std::uint8_t Kind, const void* Address);

[[noreturn]] void RaiseRunError(std::uint8_t Kind, const void* Address);
[[noreturn]] void RunErrorToException(std::uint8_t Kind, const void* Address);
EInOutError* MakeIoFailure();

// The number a kind ends the process with when no hook turns it into an exception.
std::int32_t RunErrorNumber(std::uint8_t Kind);

// Frees a raised object that nothing will report any more; the pre-made ones are never freed.
void ReleaseRaised(TObject* Object);
