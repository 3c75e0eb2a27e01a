// carddriver: serves PC-Card slots backed by card images or block devices
// through the device-control channel, as the maker's card driver serves real
// slots. Runs in the foreground, one client connection at a time, until
// SIGINT or SIGTERM.
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver_service.h"
#include "platform/device_channel.h"

namespace {

using qb::carddriver::DriverService;
using qb::carddriver::DriverSetup;

constexpr char kUsage[] =
    "usage: carddriver --name NAME --slot K=PATH [--slot K=PATH ...] [options]\n"
    "\n"
    "Serves the card driver device \\\\.\\NAME: slot K holds the card image or\n"
    "block device PATH. The socket is NAME in lower case in $DD_KDVDIR, else\n"
    "$XDG_RUNTIME_DIR/kdv, else /tmp/kdv-<uid>. Runs until SIGINT or SIGTERM.\n"
    "\n"
    "options:\n"
    "  --slots N         number of slots reported (default: highest slot + 1)\n"
    "  --protected K     the card in slot K is write-protected\n"
    "  --empty K         slot K holds no card\n"
    "  --non-ata K       the card in slot K has no ATA identity\n"
    "  --signature TEXT  driver signature to report instead of \"KDV\"\n"
    "  --chs             report the capacity through the geometry only\n"
    "  --help            show this text\n"
    "\n"
    "An image that cannot be opened for writing is served as write-protected.\n";

int Fail(const std::string& text) {
  std::fprintf(stderr, "carddriver: %s\n", text.c_str());
  return 1;
}

bool ParseNumber(const std::string& text, unsigned long limit, unsigned long& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  value = std::strtoul(text.c_str(), nullptr, 10);
  return errno == 0 && value <= limit;
}

bool ParseSlot(const std::string& text, uint16_t& slot) {
  unsigned long value = 0;
  if (!ParseNumber(text, 0xFFFF, value)) return false;
  slot = static_cast<uint16_t>(value);
  return true;
}

// Fills `setup` from the arguments; false with a message for a bad one.
bool ParseArguments(int argc, char** argv, DriverSetup& setup, bool& help, std::string& error) {
  long slots = -1;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    std::string value;
    bool has_value = false;
    if (size_t equals = option.find('='); option.rfind("--", 0) == 0 &&
                                          equals != std::string::npos &&
                                          option.compare(0, 7, "--slot=") != 0) {
      value = option.substr(equals + 1);
      option.resize(equals);
      has_value = true;
    }
    auto next = [&](std::string& out) {
      if (has_value) {
        out = value;
        return true;
      }
      if (i + 1 >= argc) {
        error = "option " + option + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    auto next_slot = [&](uint16_t& slot) {
      std::string text;
      if (!next(text)) return false;
      if (!ParseSlot(text, slot)) {
        error = "bad slot number for " + option + ": " + text;
        return false;
      }
      return true;
    };

    uint16_t slot = 0;
    if (option == "--help" || option == "-h") {
      help = true;
      return true;
    } else if (option == "--name") {
      if (!next(setup.name)) return false;
    } else if (option == "--slot" || option.rfind("--slot=", 0) == 0) {
      std::string text;
      if (option != "--slot") {
        text = option.substr(7);
      } else if (!next(text)) {
        return false;
      }
      size_t equals = text.find('=');
      if (equals == std::string::npos || equals + 1 == text.size() ||
          !ParseSlot(text.substr(0, equals), slot)) {
        error = "--slot wants K=PATH, not " + text;
        return false;
      }
      if (!setup.slot[slot].path.empty()) {
        error = "slot " + std::to_string(slot) + " given twice";
        return false;
      }
      setup.slot[slot].path = text.substr(equals + 1);
    } else if (option == "--slots") {
      std::string text;
      unsigned long value = 0;
      if (!next(text)) return false;
      if (!ParseNumber(text, 0xFFFF, value)) {
        error = "bad number of slots: " + text;
        return false;
      }
      slots = static_cast<long>(value);
    } else if (option == "--protected") {
      if (!next_slot(slot)) return false;
      setup.slot[slot].write_protected = true;
    } else if (option == "--empty") {
      if (!next_slot(slot)) return false;
      setup.slot[slot].empty = true;
    } else if (option == "--non-ata") {
      if (!next_slot(slot)) return false;
      setup.slot[slot].non_ata = true;
    } else if (option == "--signature") {
      if (!next(setup.signature)) return false;
    } else if (option == "--chs") {
      setup.chs_only = true;
    } else {
      error = "unknown option " + option + " (see --help)";
      return false;
    }
  }

  if (setup.name.empty()) {
    error = "--name is missing (see --help)";
    return false;
  }
  long highest = -1;
  for (const auto& [slot, slot_setup] : setup.slot) {
    if (!slot_setup.path.empty()) highest = slot;
  }
  if (highest < 0) {
    error = "no --slot K=PATH given (see --help)";
    return false;
  }
  if (slots < 0) {
    if (highest + 1 > 0xFFFF) {
      error = "too many slots";
      return false;
    }
    slots = highest + 1;
  }
  setup.slots = static_cast<uint16_t>(slots);
  return true;
}

// Serves one client until it closes, breaks its request, or a stop signal
// arrives (then returns false).
bool ServeClient(int client, int stop_fd, DriverService& service) {
  qb::ChannelRequest request;
  for (;;) {
    switch (qb::DeviceChannelReadRequest(client, stop_fd, request)) {
      case qb::ChannelRead::kRequest:
        break;
      case qb::ChannelRead::kStopped:
        return false;
      case qb::ChannelRead::kClosed:
      case qb::ChannelRead::kBroken:
        return true;
    }
    qb::carddriver::Reply reply = service.Handle(request);
    if (!qb::DeviceChannelWriteReply(client, stop_fd, reply.result, reply.output.data(),
                                     static_cast<uint32_t>(reply.output.size()))) {
      return true;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  DriverSetup setup;
  bool help = false;
  std::string error;
  if (!ParseArguments(argc, argv, setup, help, error)) return Fail(error);
  if (help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::string socket_path = qb::DeviceChannelPath("\\\\.\\" + setup.name);
  if (socket_path.empty()) return Fail("unusable device name: " + setup.name);

  DriverService service;
  if (!service.Start(setup, error)) return Fail(error);

  // The stop signals are taken through a descriptor that every wait polls,
  // so none can slip in between a check and a wait.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  if (sigprocmask(SIG_BLOCK, &stop_signals, nullptr) != 0) {
    return Fail(std::string("cannot block signals: ") + std::strerror(errno));
  }
  int stop_fd = signalfd(-1, &stop_signals, SFD_CLOEXEC);
  if (stop_fd < 0) return Fail(std::string("signalfd: ") + std::strerror(errno));
  std::signal(SIGPIPE, SIG_IGN);

  int listener = qb::DeviceChannelListen(socket_path);
  if (listener < 0) {
    if (errno == EADDRINUSE) {
      return Fail("another driver already serves " + setup.name + " on " + socket_path);
    }
    return Fail("cannot listen on " + socket_path + ": " + std::strerror(errno));
  }
  struct stat bound;
  bool have_bound = stat(socket_path.c_str(), &bound) == 0;

  std::printf("carddriver: serving %s on %s\n", setup.name.c_str(), socket_path.c_str());
  std::fflush(stdout);

  bool running = true;
  while (running) {
    pollfd fds[2] = {{listener, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "carddriver: poll: %s\n", std::strerror(errno));
      break;
    }
    if (fds[1].revents != 0) break;
    if ((fds[0].revents & POLLIN) == 0) continue;
    int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
      // A client that gave up before it was taken is no reason to stop.
      if (errno == ECONNABORTED || errno == EINTR || errno == EAGAIN || errno == EPROTO) continue;
      std::fprintf(stderr, "carddriver: accept: %s\n", std::strerror(errno));
      break;
    }
    running = ServeClient(client, stop_fd, service);
    close(client);
  }

  close(listener);
  // Remove the socket only while it is still the one this server bound.
  struct stat now;
  if (have_bound && stat(socket_path.c_str(), &now) == 0 && now.st_ino == bound.st_ino &&
      now.st_dev == bound.st_dev) {
    unlink(socket_path.c_str());
  }
  close(stop_fd);
  return 0;
}
