// cardsim serial: the recording device as a serial card drive. It serves the
// drive's protocol against a card image on a pseudo-terminal, whose slave
// side stands for the PC's COM port, and can misbehave on purpose in the
// ways a real line or device does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qb::cardsim {

enum class SerialFault {
  kSohAnswer,    // "soh": answer SOH with NAK (0x15) instead of STX
  kNoStx,        // "no-stx": never answer SOH
  kNoAck,        // "no-ack": take the request but never ACK it (nor answer)
  kChecksum,     // "checksum": spoil the response's checksum
  kStatus1,      // "status1": answer status 1 (the command is not carried out)
  kStatus10,     // "status10": answer status 10, which is success too
  kTruncate,     // "truncate": stop in the middle of the response
  kOverflow,     // "overflow": answer with a frame of more than 528 bytes
  kUnsupported,  // "unsupported": the card status says "card not supported"
  kProtected,    // "protected": the card status says write-protected; writes refused
  kSlow,         // "slow": response bytes further apart than DD_TBYTBYT
};

// One --fault: a mode for one command code, or for every command.
struct FaultRule {
  SerialFault fault = SerialFault::kNoStx;
  int command = -1;  // -1: every command
};

// Parses "MODE" or "MODE:CMD" (CMD a command code, decimal or 0x hex).
bool ParseFaultRule(const std::string& text, FaultRule& rule, std::string& error);

struct SerialServiceOptions {
  std::string card;
  uint32_t pace = 0;  // line rate in bits per second (10 per byte); 0: as fast as it goes
  std::vector<FaultRule> faults;
  uint32_t noise = 0;       // about one in `noise` bytes sent is lost or spoilt; 0: none
  uint32_t noise_seed = 1;  // the noise's pseudo-random start
};

// Serves until SIGINT or SIGTERM: prints the slave's path as the first line
// of standard output, and a summary line on standard error at the end.
// Returns the exit status (1 with a message on standard error when the
// service cannot start).
int RunSerialService(const SerialServiceOptions& options);

// The "serial" command of cardsim with its arguments (after the word
// "serial"); returns the exit status.
int RunSerialCommand(int argc, char** argv);

// The usage paragraph of the command.
extern const char kSerialUsage[];

}  // namespace qb::cardsim
