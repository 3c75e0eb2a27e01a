// The serial card drive's settings, read from the process environment each
// time the port is opened: the COM port, the line rate and the protocol's
// waits.
#pragma once

#include <cstdint>

namespace qb {

struct SerialSettings {
  unsigned long com = 1;  // DD_COM: COM port 1 to 9
  unsigned long max_rate =
      115200;                      // DD_MAXRATE: what the port really runs at when asked for 115200
  unsigned long baud_rate = 9600;  // DD_BAUDRATE: the wanted line rate
  unsigned long soh_stx_ms = 250;  // DD_TSOHSTX: wait for STX after SOH
  unsigned long cmd_ack_ms = 250;  // DD_TCMDACK: wait for ACK after a request frame
  unsigned long cmd_rsp_ms = 10000;  // DD_TCMDRSP: wait for a response's first byte
  unsigned long byte_ms = 250;       // DD_TBYTBYT: wait for each further byte
};

// One setting: the text (null when the variable is missing) parsed as a
// signed long with automatic base (decimal, 0x hexadecimal, leading-zero
// octal; no number counts as 0), compared unsigned with the range, so that a
// negative value is too large. Outside the range gives `fallback`; `accepted`
// tells whether the value was taken.
unsigned long SerialSettingValue(const char* text, unsigned long min, unsigned long max,
                                 unsigned long fallback, bool& accepted);

// Reads DD_COM, DD_MAXRATE, DD_BAUDRATE, DD_TSOHSTX, DD_TCMDACK, DD_TCMDRSP
// and DD_TBYTBYT in this order. Each accepted value is logged as
// "NAME = value unit"; a value outside its range silently gives the default.
SerialSettings ReadSerialSettings();

// The rate to ask the port for: the wanted rate scaled by the port's real
// rate at 115200, in 32-bit integer steps that each round down
// (baud_rate * 1152 / (max_rate / 100)).
uint32_t SerialLineRate(const SerialSettings& settings);

}  // namespace qb
