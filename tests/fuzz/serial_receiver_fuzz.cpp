// Bytes from the recording device as the serial card drive receives them
// while it opens a card and reads sectors. The device's side of a
// pseudo-terminal plays the input back once the drive has sent its first
// byte (the port is set up and its input flushed by then), and hangs up
// when the drive has taken it all, so that the end of the input is met at
// once instead of after the protocol's waits.
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/error_report.h"
#include "base/job_cleanup.h"
#include "base/job_host.h"
#include "cardio/sector_device.h"
#include "format/sector.h"
#include "quiet_host.h"

namespace {

using qb::fuzz::QuietHost;

// The device's end of the line for one input.
void PlayBack(int master, int slave, const std::vector<uint8_t>& input,
              const std::atomic<bool>& stop) {
  bool sent = false;
  uint8_t scratch[1024];
  while (!stop) {
    pollfd fd{master, POLLIN, 0};
    if (poll(&fd, 1, 1) > 0 && (fd.revents & POLLIN) != 0) {
      while (read(master, scratch, sizeof scratch) > 0) {
      }
      if (!sent) {
        size_t done = 0;
        while (done < input.size()) {
          ssize_t n = write(master, input.data() + done, input.size() - done);
          if (n <= 0) break;
          done += static_cast<size_t>(n);
        }
        sent = true;
      }
    }
    int pending = 0;
    if (sent && ioctl(slave, FIONREAD, &pending) == 0 && pending == 0) return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4000) return 0;  // what a terminal's input queue holds
  int master = -1;
  int slave = -1;
  char name[128];
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return 0;
  termios raw{};
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  int flags = 1;
  ioctl(master, FIONBIO, &flags);
  setenv("DD_DEVICE", name, 1);

  std::vector<uint8_t> input(data, data + size);
  std::atomic<bool> stop{false};
  std::thread device([&] {
    PlayBack(master, slave, input, stop);
    close(master);  // the hang-up ends the drive's next wait
    master = -1;
  });
  QuietHost host;
  qb::ScopedJobHost scoped(&host);
  if (qb::OpenSectorDevice("****", 0, 0)) {
    uint8_t sector[qb::kSectorSize] = {};
    for (uint32_t n : {0u, 1u, qb::SectorDeviceCapacity() - 1}) qb::ReadSector(sector, n);
  }
  qb::RunCleanups();
  stop = true;
  device.join();
  close(slave);
  qb::ClearErrors();
  return 0;
}
