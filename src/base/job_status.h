// The job's side of its host: status text and progress for the progress
// display, the console key poll and console text.
#pragma once

#include <string>

namespace qb {

// Fills the format, cuts it to 511 characters and makes it the progress
// display's message text.
void ShowStatus(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Sets the progress range (restarting the elapsed-time clock), position 0,
// and shows the bar.
void SetProgressRange(long low, long high);
void SetProgressPos(long position);
// True with the key when a key is waiting on the console.
bool PollKey(int& key);
// Whether the user has asked to stop the running job: true at once when the
// break is noted already, else polls the key (Escape; the progress dialog's
// Cancel in the application) and notes the break when it is Escape. Callers
// in tight loops pace their calls (kUserBreakPollMs).
bool UserBreak();
// Console text: banner, help, prompts.
void ConsoleOut(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ConsoleOutText(const std::string& text);

constexpr int kKeyEscape = 27;
constexpr int kKeyReturn = 13;
// How often loops look for the user's break: often enough that a job ends
// well within 50 ms of the key.
constexpr int kUserBreakPollMs = 10;

}  // namespace qb
