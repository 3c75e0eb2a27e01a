// The error report: the list of pending message texts and one coded error
// value, through which deep code hands failures up to the command that shows
// them. Deep code never shows anything itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/messages.h"
#include "base/text_format.h"

namespace qb {

constexpr size_t kMaxErrorText = 511;

// Coding of the error value: 0 none; bit 29 clear: a system error number
// (errno); bit 29 set with low part >= 0x10000: 0x10000 + a runtime-library
// error number; bit 29 set with low part < 0x10000: a message id.
constexpr uint32_t kCustomErrorBit = 1u << 29;
constexpr uint32_t kRuntimeErrorBase = 0x10000;

// Empties the list, clears the coded value and forgets a user's break.
void ClearErrors();

// The user's break of the running job: the first call reports "User break";
// the break then holds until ClearErrors, so that every later wait of the job
// ends at once instead of starting afresh.
void NoteUserBreak();
bool UserBreakNoted();

// Fills the format, cuts it to 511 characters and appends it to the list.
void ReportError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Appends a ready text (cut to 511 characters) without treating it as a format.
void ReportText(const std::string& text);
// Fills the catalogue text with its arguments (FillMessage) and appends it.
template <class... Args>
void ReportMessage(const Message<Args...>& message, MessageArg<Args>... args) {
  ReportText(FillMessage(message, args...));
}

void SetSystemError(int error_number);
void SetRuntimeError(int error_number);
// The coded value of a catalogue text: by its id when the id is data, else
// by name.
void SetStringError(int id);
inline void SetStringError(const Message<>& message) {
  SetStringError(message.id);
}
uint32_t ErrorCode();
void SetErrorCode(uint32_t code);

bool ErrorsPending();
const std::vector<std::string>& ErrorList();

// The text of a coded value (empty for 0).
std::string ErrorText(uint32_t code);
// Every message followed by "\n"; then the coded value's text when asked for
// and the value is not 0.
std::string JoinErrors(bool with_code);
// The text of the error box: "ERROR", "\n", the first `limit` messages (all
// when negative) each followed by "\n", then the coded value's text.
std::string ErrorBoxText(int limit);
// Shows ErrorBoxText(limit) through the job host's error box. The report is
// not cleared by showing it.
void ShowErrors(int limit);

}  // namespace qb
