#include "cardio/serial_settings.h"

#include <cstdlib>

#include "base/job_log.h"

namespace qb {
namespace {

struct SettingRow {
  const char* name;
  const char* unit;
  unsigned long min;
  unsigned long max;
  unsigned long SerialSettings::*field;
};

// In the order they are read and logged.
const SettingRow kRows[] = {
    {"DD_COM", "", 1, 9, &SerialSettings::com},
    {"DD_MAXRATE", "Baud", 115200, 500000, &SerialSettings::max_rate},
    {"DD_BAUDRATE", "Baud", 600, 500000, &SerialSettings::baud_rate},
    {"DD_TSOHSTX", "ms", 100, 30000, &SerialSettings::soh_stx_ms},
    {"DD_TCMDACK", "ms", 100, 30000, &SerialSettings::cmd_ack_ms},
    {"DD_TCMDRSP", "ms", 500, 30000, &SerialSettings::cmd_rsp_ms},
    {"DD_TBYTBYT", "ms", 100, 30000, &SerialSettings::byte_ms},
};

}  // namespace

unsigned long SerialSettingValue(const char* text, unsigned long min, unsigned long max,
                                 unsigned long fallback, bool& accepted) {
  long parsed = text != nullptr ? std::strtol(text, nullptr, 0) : 0;
  unsigned long value = static_cast<unsigned long>(parsed);
  accepted = value >= min && value <= max;
  return accepted ? value : fallback;
}

SerialSettings ReadSerialSettings() {
  SerialSettings settings;
  for (const SettingRow& row : kRows) {
    unsigned long& field = settings.*row.field;
    bool accepted = false;
    field = SerialSettingValue(std::getenv(row.name), row.min, row.max, field, accepted);
    if (accepted) LogMessage("%s = %lu %s", row.name, field, row.unit);
  }
  return settings;
}

uint32_t SerialLineRate(const SerialSettings& settings) {
  uint32_t wanted = static_cast<uint32_t>(settings.baud_rate);
  uint32_t scale = static_cast<uint32_t>(settings.max_rate) / 100u;
  if (scale == 0) return wanted;  // only for settings that did not come through the range check
  return wanted * 1152u / scale;
}

}  // namespace qb
