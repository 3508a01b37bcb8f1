// The exception classes, the carrier that raising throws, the pre-made objects and the
// program's string table.
// An exception travels as a C++ exception holding the object and the code address it was
// raised for; the outermost handler (top_level.h) takes every one that nobody else handles.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TObject {
public:
  virtual ~TObject() = default;
  virtual const char* ClassName() const { return "TObject"; }
};

class Exception : public TObject {
public:
  explicit Exception(std::string_view Text) : Message(Text) {}
  const char* ClassName() const override { return "Exception"; }
  std::string Message;
};

#define KVIZ_EXCEPTION_CLASS(Name)                                                                 \
  class Name : public Exception {                                                                  \
  public:                                                                                          \
    using Exception::Exception;                                                                    \
    const char* ClassName() const override { return #Name; }                                       \
  }

KVIZ_EXCEPTION_CLASS(EOutOfMemory);
KVIZ_EXCEPTION_CLASS(EInvalidPointer);
KVIZ_EXCEPTION_CLASS(EDivByZero);
KVIZ_EXCEPTION_CLASS(ERangeError);
KVIZ_EXCEPTION_CLASS(EIntOverflow);
KVIZ_EXCEPTION_CLASS(EInvalidOp);
KVIZ_EXCEPTION_CLASS(EZeroDivide);
KVIZ_EXCEPTION_CLASS(EOverflow);
KVIZ_EXCEPTION_CLASS(EUnderflow);
KVIZ_EXCEPTION_CLASS(EInvalidCast);
KVIZ_EXCEPTION_CLASS(EAccessViolation);
KVIZ_EXCEPTION_CLASS(EPrivilege);
KVIZ_EXCEPTION_CLASS(EControlC);
KVIZ_EXCEPTION_CLASS(EStackOverflow);
KVIZ_EXCEPTION_CLASS(EVariantError);
KVIZ_EXCEPTION_CLASS(EAssertionFailed);
KVIZ_EXCEPTION_CLASS(EExternalException);
KVIZ_EXCEPTION_CLASS(EIntfCastError);
KVIZ_EXCEPTION_CLASS(ESafecallException);

#undef KVIZ_EXCEPTION_CLASS

class EInOutError : public Exception {
public:
  EInOutError(std::string_view Text, std::int32_t Code) : Exception(Text), IoCode(Code) {}
  const char* ClassName() const override { return "EInOutError"; }
  std::int32_t IoCode;
};

// What a raise throws. The carrier does not own the object: the handler that takes the
// exception last frees it with ReleaseRaised, unless the process ends first.
struct TRaised {
  TObject* Object;
  const void* Address;
};

// The two objects raised without allocating, so that running out of memory can still be
// reported. They exist from MakePreMadeObjects to FreePreMadeObjects, which the exception
// machinery's start and end steps run.
EOutOfMemory& OutOfMemoryObject();
EInvalidPointer& InvalidPointerObject();
void MakePreMadeObjects();
void FreePreMadeObjects();

// Frees a raised object that nothing will report any more; the pre-made ones are not freed.
void ReleaseRaised(TObject* Object);

// String ids of the program's string table.
inline constexpr std::uint16_t IdReportFormat = 65511;
inline constexpr std::uint16_t IdReportCaption = 65512;
inline constexpr std::uint16_t IdIoErrorFormat = 65521;
// Messages of the run-time error kinds 1 to 24 are kept under IdKindMessageBase + kind.
inline constexpr std::uint16_t IdKindMessageBase = 65480;

// The text under Id; empty for an id the table does not hold.
std::string_view LoadResString(std::uint16_t Id);
