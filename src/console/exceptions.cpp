// The program's string table, with the texts of the reports and of the run-time error messages
// under fixed ids so that every message has one home; and the two pre-made exception objects.
#include "exceptions.h"

#include <cassert>
#include <optional>

struct TStringEntry {
  std::uint16_t Id;
  std::string_view Text;
};

static constexpr TStringEntry StringTable[] = {
    {IdReportFormat, "Exception %s in module %s at %p.\r\n%s%s\r\n"},
    {IdReportCaption, "Application Error"},
    {IdIoErrorFormat, "I/O error %d"},
    {65522, "File not found"},
    {65523, "Invalid filename"},
    {65524, "Too many open files"},
    {65525, "File access denied"},
    {65526, "Read beyond end of file"},
    {65527, "Disk full"},
    {65528, "Invalid numeric input"},
    {IdKindMessageBase + 1, "Out of memory"},
    {IdKindMessageBase + 2, "Invalid pointer operation"},
    {IdKindMessageBase + 3, "Division by zero"},
    {IdKindMessageBase + 4, "Range check error"},
    {IdKindMessageBase + 5, "Integer overflow"},
    {IdKindMessageBase + 6, "Invalid floating point operation"},
    {IdKindMessageBase + 7, "Floating point division by zero"},
    {IdKindMessageBase + 8, "Floating point overflow"},
    {IdKindMessageBase + 9, "Floating point underflow"},
    {IdKindMessageBase + 10, "Invalid class typecast"},
    {IdKindMessageBase + 11, "Access violation"},
    {IdKindMessageBase + 12, "Privileged instruction"},
    {IdKindMessageBase + 13, "Control-C hit"},
    {IdKindMessageBase + 14, "Stack overflow"},
    {IdKindMessageBase + 15, "Invalid variant type conversion"},
    {IdKindMessageBase + 16, "Invalid variant operation"},
    {IdKindMessageBase + 17, "Variant method calls not supported"},
    {IdKindMessageBase + 18, "Error creating variant or safe array"},
    {IdKindMessageBase + 19, "Invalid argument"},
    {IdKindMessageBase + 20, "Variant or safe array index out of bounds"},
    {IdKindMessageBase + 21, "Assertion failed"},
    // Taken as plain text: nothing fills the directive in.
    {IdKindMessageBase + 22, "External exception %x"},
    {IdKindMessageBase + 23, "Interface not supported"},
    {IdKindMessageBase + 24, "Exception in safecall method"},
};

std::string_view LoadResString(std::uint16_t Id) {
  for (const TStringEntry& Entry : StringTable)
    if (Entry.Id == Id) return Entry.Text;
  return {};
}

static std::optional<EOutOfMemory> OutOfMemoryStorage;
static std::optional<EInvalidPointer> InvalidPointerStorage;
// Where the pre-made objects live, kept for comparison after the objects themselves are gone.
static const TObject* PreMadeObjects[2] = {nullptr, nullptr};

EOutOfMemory& OutOfMemoryObject() {
  assert(OutOfMemoryStorage);
  return *OutOfMemoryStorage;
}

EInvalidPointer& InvalidPointerObject() {
  assert(InvalidPointerStorage);
  return *InvalidPointerStorage;
}

void MakePreMadeObjects() {
  PreMadeObjects[0] = &OutOfMemoryStorage.emplace(LoadResString(IdKindMessageBase + 1));
  PreMadeObjects[1] = &InvalidPointerStorage.emplace(LoadResString(IdKindMessageBase + 2));
}

void FreePreMadeObjects() {
  OutOfMemoryStorage.reset();
  InvalidPointerStorage.reset();
}

void ReleaseRaised(TObject* Object) {
  if (Object != PreMadeObjects[0] && Object != PreMadeObjects[1]) delete Object;
}
