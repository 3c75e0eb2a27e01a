// carddriver: serves PC-Card slots backed by card images or block devices
// through the device-control channel, as the maker's card driver serves real
// slots. Runs in the foreground until SIGINT or SIGTERM, serving its clients
// side by side, each card to one client at a time. One server owns a device
// name: a second one started with the same name stops with an error.
#include <fcntl.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "base/messages.h"
#include "base/out_of_memory.h"
#include "base/text_format.h"
#include "cardio/driver_records.h"
#include "common/command_line.h"
#include "common/program_version.h"
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
    "  --version         show the version\n"
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
  qb::tools::CommandLine line(argc - 1, argv + 1);
  while (!line.Done()) {
    // "--slot=K=PATH" keeps its first "=" in the option.
    line.Step({"--slot"});
    const std::string& option = line.name();
    auto next = [&](std::string& out) { return line.Value(out, error); };
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
// arrives.
void ServeClient(int client, int stop_fd, DriverService& service) {
  qb::ChannelRequest request;
  while (qb::DeviceChannelReadRequest(client, stop_fd, request) == qb::ChannelRead::kRequest) {
    qb::carddriver::Reply reply = service.Handle(request, client);
    if (!qb::DeviceChannelWriteReply(client, stop_fd, reply.result, reply.output.data(),
                                     static_cast<uint32_t>(reply.output.size()))) {
      break;
    }
  }
}

// The clients being served, each on a thread of its own. A thread that ends
// gives its cards up, closes its connection and wakes the main loop through
// a pipe, which then joins it.
class Sessions {
 public:
  // More clients at once than any use needs; one beyond is hung up on.
  static constexpr size_t kMaxSessions = 64;

  Sessions() {
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
  }
  ~Sessions() {
    JoinAll();
    for (int fd : wake_) {
      if (fd >= 0) close(fd);
    }
  }
  Sessions(const Sessions&) = delete;
  Sessions& operator=(const Sessions&) = delete;

  bool usable() const { return wake_[0] >= 0; }
  int wake_fd() const { return wake_[0]; }

  void Start(int client, int stop_fd, DriverService& service) {
    if (entries_.size() >= kMaxSessions) {
      close(client);
      return;
    }
    try {
      entries_.emplace_back();
    } catch (const std::bad_alloc&) {
      close(client);
      return;
    }
    Entry& entry = entries_.back();
    try {
      entry.thread = std::thread([this, &entry, client, stop_fd, &service] {
        // A session that runs out of memory ends; the others go on.
        try {
          ServeClient(client, stop_fd, service);
        } catch (const std::bad_alloc&) {
          qb::WriteOutOfMemory("carddriver");
        }
        service.EndSession(client);
        close(client);
        entry.done.store(true);
        (void)!write(wake_[1], "x", 1);
      });
    } catch (const std::exception&) {  // no thread or no memory for one
      entries_.pop_back();
      close(client);
    }
  }

  // Joins the threads that have ended.
  void Reap() {
    char drain[64];
    while (read(wake_[0], drain, sizeof drain) > 0) {
    }
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (it->done.load()) {
        it->thread.join();
        it = entries_.erase(it);
      } else {
        ++it;
      }
    }
  }

  // Waits for every thread; they end once the stop signal is pending.
  void JoinAll() {
    for (Entry& entry : entries_) entry.thread.join();
    entries_.clear();
  }

 private:
  struct Entry {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  std::list<Entry> entries_;
  int wake_[2] = {-1, -1};
};

// The device name must be one a client can open: its driver path within the
// length a card driver is opened by, its socket path within the system's.
bool CheckName(const std::string& name, const std::string& socket_path, std::string& error) {
  const std::string driver_path = "\\\\.\\" + name;
  if (driver_path.size() > qb::kMaxDriverPath) {
    error = qb::FillMessage(qb::msg::kDriverNameTooLong, driver_path.c_str(),
                            static_cast<unsigned long>(qb::kMaxDriverPath));
    return false;
  }
  if (socket_path.size() > qb::DeviceChannelMaxPath()) {
    error = qb::FillMessage(qb::msg::kSocketPathTooLong, socket_path.c_str(),
                            static_cast<unsigned long>(qb::DeviceChannelMaxPath()));
    return false;
  }
  return true;
}

}  // namespace

static int DriverMain(int argc, char** argv) {
  if (qb::tools::HasArgument(argc, argv, "--version")) {
    std::puts(qb::tools::ProgramVersionLine("carddriver").c_str());
    return 0;
  }
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
  if (!CheckName(setup.name, socket_path, error)) return Fail(error);

  DriverService service;
  if (!service.Start(setup, error)) return Fail(error);

  // The stop signals are taken through a descriptor that every wait polls,
  // so none can slip in between a check and a wait. Nothing reads it: once a
  // signal is pending, every session's wait sees it.
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

  qb::ChannelServer server;
  if (!qb::DeviceChannelListen(socket_path, server)) {
    if (errno == EADDRINUSE) {
      return Fail("another driver already serves " + setup.name + " on " + socket_path);
    }
    return Fail("cannot listen on " + socket_path + ": " + std::strerror(errno));
  }
  Sessions sessions;
  if (!sessions.usable()) {
    qb::DeviceChannelUnlisten(socket_path, server);
    return Fail(std::string("pipe: ") + std::strerror(errno));
  }

  std::printf("carddriver: serving %s on %s\n", setup.name.c_str(), socket_path.c_str());
  std::fflush(stdout);

  for (;;) {
    pollfd fds[3] = {
        {server.listener, POLLIN, 0}, {stop_fd, POLLIN, 0}, {sessions.wake_fd(), POLLIN, 0}};
    if (poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "carddriver: poll: %s\n", std::strerror(errno));
      break;
    }
    if (fds[1].revents != 0) break;
    if (fds[2].revents != 0) sessions.Reap();
    if ((fds[0].revents & POLLIN) == 0) continue;
    int client = accept4(server.listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
      // A client that gave up before it was taken is no reason to stop.
      if (errno == ECONNABORTED || errno == EINTR || errno == EAGAIN || errno == EPROTO) continue;
      std::fprintf(stderr, "carddriver: accept: %s\n", std::strerror(errno));
      break;
    }
    sessions.Start(client, stop_fd, service);
  }

  // No new client is taken from here on; the sessions see the stop signal
  // (or end when an error ended the loop and their clients hang up).
  qb::DeviceChannelUnlisten(socket_path, server);
  sessions.JoinAll();
  close(stop_fd);
  return 0;
}

int main(int argc, char** argv) {
  return qb::RunMainGuarded("carddriver", DriverMain, argc, argv);
}
