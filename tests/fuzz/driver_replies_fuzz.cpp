// Replies of a card driver, as the card driver back-end meets them while it
// opens a card, reads and writes sectors and closes it. A driver on a thread
// of the fuzzer answers every request with a well-formed reply that the
// input then changes, reply by reply: kept, a byte changed, the result code
// changed, cut short and hung up, or replaced by raw bytes from the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "base/error_report.h"
#include "base/job_cleanup.h"
#include "base/job_host.h"
#include "cardio/driver_records.h"
#include "cardio/sector_device.h"
#include "format/byte_order.h"
#include "platform/device_channel.h"
#include "quiet_host.h"
#include "support/thread_driver.h"

namespace {

using qb::fuzz::QuietHost;

// The input being served, read by the driver thread. It keeps a copy: a
// reply the back-end gave up waiting for may still be in the making when
// the next input arrives.
struct Script {
  std::mutex mutex;
  std::vector<uint8_t> bytes;
  size_t at = 0;

  uint8_t Next() { return at < bytes.size() ? bytes[at++] : 0; }
};

Script& TheScript() {
  static Script script;
  return script;
}

qb::test::RawReply Serve(const qb::ChannelRequest& request) {
  Script& script = TheScript();
  std::lock_guard<std::mutex> lock(script.mutex);
  qb::IdentifyData identity = qb::SynthesizeIdentify(64);
  qb::test::RawReply reply = qb::test::GoodDriver(request, identity);
  if (script.at >= script.bytes.size()) return reply;
  uint8_t op = script.Next();
  uint8_t a = script.Next();
  uint8_t b = script.Next();
  std::string& bytes = reply.bytes;
  size_t where = (static_cast<size_t>(a) << 8 | b) % (bytes.size() + 1);
  switch (op % 5) {
    case 0:
      break;
    case 1:
      if (where < bytes.size()) bytes[where] = static_cast<char>(bytes[where] ^ (op | 1));
      break;
    case 2:
      qb::Put32(reinterpret_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(a) << 8 | b);
      break;
    case 3:
      bytes.resize(where);
      reply.hang_up = true;
      break;
    case 4:
      bytes.clear();
      for (int i = 0; i < a; ++i) bytes += static_cast<char>(script.Next());
      break;
  }
  return reply;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    static char folder[] = "/tmp/driver_replies_fuzz.XXXXXX";
    if (mkdtemp(folder) == nullptr) return false;
    setenv("DD_KDVDIR", folder, 1);
    qb::SetDeviceChannelTimeout(2);
    return true;
  }();
  static qb::test::ThreadDriver driver("\\\\.\\fuzzdrv", Serve);
  if (!ready || !driver.listening()) return 0;
  {
    Script& script = TheScript();
    std::lock_guard<std::mutex> lock(script.mutex);
    script.bytes.assign(data, data + size);
    script.at = 0;
  }
  QuietHost host;
  qb::ScopedJobHost scoped(&host);
  uint16_t slot = size > 0 ? data[0] % 3 : 0;
  if (qb::OpenSectorDevice("\\\\.\\fuzzdrv", slot, 0)) {
    uint8_t sector[qb::kSectorSize] = {};
    uint32_t capacity = qb::SectorDeviceCapacity();
    for (uint32_t n : {0u, 1u, capacity - 1, capacity}) qb::ReadSector(sector, n);
    qb::WriteSector(sector, 2);
  }
  qb::RunCleanups();
  qb::ClearErrors();
  return 0;
}
