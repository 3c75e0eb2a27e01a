// The sector device back-end for the recording device acting as a card drive
// on a serial port (driver paths that begin with "****"), and the two entry
// points with which the application wakes that drive: open the port, send
// the identification command.
//
// Every exchange is one request and one response: SOH, answered by STX, the
// request frame, answered by ACK, then the response frame. Each wait blocks
// in poll() with its time-out from the settings and notices the user's
// Escape (the job host's key poll) within 50 ms. Failures report one message
// each: "Error opening COM%lu:", "Receiver overflow", "Receiver timeout",
// "Receiver checksum", "Command error %u", "Character error (0x%02X instead
// of 0x%02X)", "Timeout error (waiting for 0x%02X)", "User break". A
// response too short for what its command must carry fails with the system
// error EPROTO and no message of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cardio/sector_device.h"

namespace qb {

// Opens the port, sends the identification (its text is logged), refuses
// every slot but 0, selects the slot, checks the card's status (not
// supported, write-protected), logs the card's identity, asks for the
// capacity and applies the capacity report. The device owns its opening of
// the port; closing the device clears RTS and closes the port. A port still
// open from a wake-up is closed first.
std::unique_ptr<SectorDevice> OpenSerialDrive(const std::string& path, uint16_t slot,
                                              uint32_t cardsize);

// Reads the settings from the environment (logging the accepted ones) and
// opens COM<DD_COM> exclusively: rate from the settings, 8N1, RTS raised.
// The port's close is entered into the job clean-up list as soon as the
// port is open. On failure reports "Error opening COM%lu:" with the port
// number, the system error stays set, and false is returned.
bool OpenSerialDrivePort();
// One identification exchange (command 0x02) on the open port; true when the
// drive answered, with its text (up to the first NUL) in `text` when given.
bool SendSerialIdentification(std::string* text = nullptr);
// The port's clean-up entry: clears RTS and closes the port (nothing when
// it is closed).
void CloseSerialDrivePort();

}  // namespace qb
