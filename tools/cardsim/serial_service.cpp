#include "cardsim/serial_service.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

#include "cardio/serial_settings.h"
#include "cardsim/card_image.h"
#include "cardsim/simulated_drive.h"
#include "common/command_line.h"

namespace qb::cardsim {

const char kSerialUsage[] =
    "cardsim serial --card IMG [--pace BAUD] [--fault MODE[:CMD]]... [--noise N[:SEED]]\n"
    "    Serve IMG as the serial card drive on a pseudo-terminal until SIGINT or\n"
    "    SIGTERM. The first line of standard output is the path of the terminal's\n"
    "    slave side: point DD_DEVICE at it and use the driver path \"****\". Reads\n"
    "    and writes go straight to IMG. A client may close and open the terminal\n"
    "    again any number of times. At the end a summary line goes to standard\n"
    "    error. An image that cannot be opened for writing is served as\n"
    "    write-protected.\n"
    "    --pace BAUD   bytes both ways take as long as on a line of BAUD bits per\n"
    "                  second (10 bits a byte); without it, as fast as it goes.\n"
    "    --fault MODE[:CMD]  misbehave for command CMD (decimal or 0x hex), or\n"
    "                  for every command; may be given more than once, the first\n"
    "                  rule that fits applies. Modes:\n"
    "        soh          answer SOH with NAK (0x15) instead of STX\n"
    "        no-stx       never answer SOH\n"
    "        no-ack       take the request, never ACK it\n"
    "        checksum     spoil the response's checksum\n"
    "        status1      answer status 1 without carrying the command out\n"
    "        status10     answer status 10 (success too)\n"
    "        truncate     stop in the middle of the response\n"
    "        overflow     answer with a frame of more than 528 bytes\n"
    "        unsupported  card status: card not supported\n"
    "        protected    card status: write-protected (and writes refused)\n"
    "        slow         response bytes DD_TBYTBYT + 100 ms apart\n"
    "    --noise N[:SEED]  a noisy line: about one in N bytes the device sends is\n"
    "                  lost or has one bit flipped (pseudo-random from SEED, so\n"
    "                  runs repeat).\n"
    "    SOH comes before the command is known: soh and no-stx take CMD as the\n"
    "    command expected next (on a new connection 0x02, then 0x11, 0x0A, 0x0E\n"
    "    and 0x0B as a card is opened, after those a sector command, which both\n"
    "    0x0C and 0x0D match).\n"
    "    Status answers of the drive: 0 done, 1 unknown or malformed command,\n"
    "    2 no such slot or sector, 3 card write-protected, 4 card failed.\n";

namespace {

// A request that stops arriving for this long is dropped.
constexpr int64_t kRequestGapNs = 2'000'000'000;
// While no client has the slave side open, look again this often.
constexpr int64_t kReconnectPollNs = 10'000'000;
// Paced output is written in bursts at least this far apart, as a UART's
// FIFO would hand them on, not one wake-up per byte.
constexpr int64_t kBurstNs = 1'000'000;

volatile sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
  g_stop = 1;
}

int64_t NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

timespec Span(int64_t ns) {
  if (ns < 0) ns = 0;
  return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

// The pseudo-terminal line of the simulated drive: it polls the master
// side, paces the bytes both ways, puts noise on what the drive sends and
// waits out the client's hang-ups; the drive's logic answers the bytes.
class SerialService : public DriveLine {
 public:
  SerialService(const SerialServiceOptions& options, CardImage& image, bool writable)
      : options_(options), drive_(options.faults, image, writable) {
    if (options.pace > 0) byte_ns_ = 10'000'000'000LL / options.pace;
    noise_.seed(options.noise_seed);
    bool accepted = false;
    slow_gap_ns_ =
        static_cast<int64_t>(
            SerialSettingValue(std::getenv("DD_TBYTBYT"), 100, 30000, 250, accepted) + 100) *
        1'000'000;
  }

  // Opens the pseudo-terminal pair; false with a message.
  bool Open(std::string& slave, std::string& error);
  void Serve();
  const DriveCounters& counters() const { return drive_.counters(); }
  unsigned long bytes_in() const { return bytes_in_; }
  unsigned long bytes_out() const { return bytes_out_; }
  ~SerialService() override {
    if (master_ >= 0) close(master_);
  }
  SerialService(const SerialService&) = delete;
  SerialService& operator=(const SerialService&) = delete;

  Line Answering(size_t index) override;
  Line Send(const uint8_t* data, size_t size) override;
  Line SendSlowly(const uint8_t* data, size_t size) override;

 private:
  Line Wait(short events, int64_t until_ns);
  Line SleepUntil(int64_t until_ns) { return Wait(0, until_ns); }
  Line WriteRaw(const uint8_t* data, size_t size);
  void Hangup();
  Line Feed(const uint8_t* data, size_t size, int64_t read_ns);

  const SerialServiceOptions& options_;
  SimulatedDrive drive_;
  int master_ = -1;
  sigset_t wait_mask_{};  // the signal mask while waiting: stop signals let through
  int64_t byte_ns_ = 0;   // line time of one byte; 0 when not paced
  int64_t line_free_ns_ = 0;
  int64_t slow_gap_ns_ = 0;
  std::minstd_rand noise_;
  int64_t frame_deadline_ns_ = 0;
  int64_t feed_start_ns_ = 0;  // when the first byte given to the drive came
  unsigned long bytes_in_ = 0;
  unsigned long bytes_out_ = 0;
};

bool SerialService::Open(std::string& slave, std::string& error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  char name[256];
  if (ptsname_r(master_, name, sizeof name) != 0) {
    error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  termios raw{};
  if (tcgetattr(master_, &raw) == 0) {
    cfmakeraw(&raw);
    tcsetattr(master_, TCSANOW, &raw);
  }
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

  // The stop signals are held back except while the service waits, so that
  // no stop goes unnoticed between a check and the wait that follows.
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  sigprocmask(SIG_BLOCK, &stops, &wait_mask_);
  sigdelset(&wait_mask_, SIGINT);
  sigdelset(&wait_mask_, SIGTERM);
  slave = name;
  return true;
}

// Waits for `events` on the master (0: only for a hang-up) until `until_ns`
// (-1: without end). kOk when ready or at the time.
Line SerialService::Wait(short events, int64_t until_ns) {
  for (;;) {
    if (g_stop) return Line::kStop;
    pollfd entry{master_, events, 0};
    timespec span{};
    const timespec* timeout = nullptr;
    if (until_ns >= 0) {
      span = Span(until_ns - NowNs());
      timeout = &span;
    }
    int n = ppoll(&entry, 1, timeout, &wait_mask_);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Line::kStop;
    }
    if (n == 0) return Line::kOk;
    if ((entry.revents & events) != 0) return Line::kOk;
    if ((entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return Line::kHangup;
  }
}

Line SerialService::WriteRaw(const uint8_t* data, size_t size) {
  std::vector<uint8_t> noisy;
  if (options_.noise > 0) {
    // Each byte may be lost or have one of its bits flipped on the way.
    noisy.reserve(size);
    for (size_t i = 0; i < size; ++i) {
      if (noise_() % options_.noise != 0) {
        noisy.push_back(data[i]);
      } else if (noise_() % 2 == 0) {
        noisy.push_back(static_cast<uint8_t>(data[i] ^ (1u << (noise_() % 8))));
      }
    }
    data = noisy.data();
    size = noisy.size();
  }
  while (size > 0) {
    ssize_t n = write(master_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN) return Line::kHangup;
      Line line = Wait(POLLOUT, -1);
      if (line != Line::kOk) return line;
      continue;
    }
    data += n;
    size -= static_cast<size_t>(n);
    bytes_out_ += static_cast<unsigned long>(n);
  }
  return Line::kOk;
}

// Sends bytes as the line would carry them: each one is handed on when its
// last bit would have arrived.
Line SerialService::Send(const uint8_t* data, size_t size) {
  if (byte_ns_ == 0) return WriteRaw(data, size);
  const int64_t start = std::max(NowNs(), line_free_ns_);
  line_free_ns_ = start + static_cast<int64_t>(size) * byte_ns_;
  size_t sent = 0;
  while (sent < size) {
    const int64_t now = NowNs();
    size_t due = static_cast<size_t>(std::max<int64_t>(0, (now - start) / byte_ns_));
    due = std::min(due, size);
    if (due > sent) {
      Line line = WriteRaw(data + sent, due - sent);
      if (line != Line::kOk) return line;
      sent = due;
      continue;
    }
    // Sleep until the next burst is due, or the last byte.
    size_t next = std::min(size, sent + 1 + static_cast<size_t>(kBurstNs / byte_ns_));
    Line line = SleepUntil(start + static_cast<int64_t>(next) * byte_ns_);
    if (line != Line::kOk) return line;
  }
  return Line::kOk;
}

Line SerialService::SendSlowly(const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (i > 0) {
      Line line = SleepUntil(NowNs() + slow_gap_ns_);
      if (line != Line::kOk) return line;
    }
    Line line = WriteRaw(data + i, 1);
    if (line != Line::kOk) return line;
  }
  return Line::kOk;
}

// The client closed the slave side: drop what it left and wait until one
// opens it again.
void SerialService::Hangup() {
  drive_.Reset();
  line_free_ns_ = 0;
  tcflush(master_, TCIFLUSH);
  while (!g_stop) {
    Line line = Wait(0, NowNs() + kReconnectPollNs);
    if (line == Line::kOk) return;  // no hang-up reported: the slave is open
    if (line == Line::kStop) return;
    // A hang-up is reported at once while nobody has the slave open.
    timespec pause = Span(kReconnectPollNs);
    ppoll(nullptr, 0, &pause, &wait_mask_);
  }
}

// Takes bytes that arrived at `read_ns`; when paced, each counts from the
// moment its last bit would have come over the line.
Line SerialService::Feed(const uint8_t* data, size_t size, int64_t read_ns) {
  bytes_in_ += static_cast<unsigned long>(size);
  feed_start_ns_ = std::max(read_ns, line_free_ns_);
  if (byte_ns_ > 0) line_free_ns_ = feed_start_ns_ + static_cast<int64_t>(size) * byte_ns_;
  return drive_.Take(data, size, *this);
}

// A byte that asks for an answer counts from the moment its last bit would
// have come; a request begun now must be complete within the gap.
Line SerialService::Answering(size_t index) {
  if (byte_ns_ > 0) {
    Line line = SleepUntil(feed_start_ns_ + static_cast<int64_t>(index + 1) * byte_ns_);
    if (line != Line::kOk) return line;
  }
  frame_deadline_ns_ = NowNs() + kRequestGapNs;
  return Line::kOk;
}

void SerialService::Serve() {
  uint8_t chunk[4096];
  while (!g_stop) {
    Line line = Wait(POLLIN, drive_.in_frame() ? frame_deadline_ns_ : -1);
    if (line == Line::kStop) break;
    if (line == Line::kHangup) {
      Hangup();
      continue;
    }
    ssize_t n = read(master_, chunk, sizeof chunk);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (drive_.in_frame() && NowNs() >= frame_deadline_ns_) drive_.DropFrame();
      continue;
    }
    if (n <= 0) {
      Hangup();
      continue;
    }
    line = Feed(chunk, static_cast<size_t>(n), NowNs());
    if (line == Line::kStop) break;
    if (line == Line::kHangup) Hangup();
  }
}

bool ParsePace(const std::string& text, uint32_t& pace) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
  if (errno != 0 || value < 10 || value > 100'000'000) return false;
  pace = static_cast<uint32_t>(value);
  return true;
}

// "N" or "N:SEED".
bool ParseNoise(const std::string& text, uint32_t& one_in, uint32_t& seed) {
  const size_t colon = text.find(':');
  char* end = nullptr;
  errno = 0;
  unsigned long n = std::strtoul(text.c_str(), &end, 10);
  if (end == text.c_str() || errno != 0 || n < 1 || n > 1000000) return false;
  if (colon == std::string::npos ? *end != '\0' : end != text.c_str() + colon) return false;
  unsigned long value = 1;
  if (colon != std::string::npos) {
    const char* start = text.c_str() + colon + 1;
    value = std::strtoul(start, &end, 10);
    if (end == start || *end != '\0' || errno != 0 || value > 0xFFFFFFFFul) return false;
  }
  one_in = static_cast<uint32_t>(n);
  seed = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

int RunSerialService(const SerialServiceOptions& options) {
  std::unique_ptr<FileCardImage> image = std::make_unique<FileCardImage>();
  bool writable = image->Open(options.card, true);
  if (!writable) {
    image = std::make_unique<FileCardImage>();
    if (!image->Open(options.card, false)) {
      std::fprintf(stderr, "cardsim: %s\n", image->error().c_str());
      return 1;
    }
  }
  SerialService service(options, *image, writable);
  std::string slave, error;
  if (!service.Open(slave, error)) {
    std::fprintf(stderr, "cardsim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", slave.c_str());
  std::fflush(stdout);
  service.Serve();
  const DriveCounters& counters = service.counters();
  std::fprintf(stderr,
               "cardsim serial: exchanges=%lu read=%lu written=%lu bytes_in=%lu bytes_out=%lu\n",
               counters.exchanges, counters.sectors_read, counters.sectors_written,
               service.bytes_in(), service.bytes_out());
  return image->Close() ? 0 : 1;
}

int RunSerialCommand(int argc, char** argv) {
  SerialServiceOptions options;
  auto fail = [](const std::string& text) {
    std::fprintf(stderr, "cardsim: %s\n", text.c_str());
    return 1;
  };
  tools::CommandLine args(argc, argv);
  while (!args.Done()) {
    args.Step();
    const std::string& name = args.name();
    const bool takes_value =
        name == "--card" || name == "--pace" || name == "--fault" || name == "--noise";
    if (!takes_value) return fail("unknown argument \"" + name + "\" (see cardsim --help)");
    std::string value, missing;
    if (!args.Value(value, missing)) return fail(missing);
    if (name == "--card") {
      options.card = value;
    } else if (name == "--pace") {
      if (!ParsePace(value, options.pace))
        return fail("option --pace needs a line rate from 10 to 100000000, not \"" + value + "\"");
    } else if (name == "--noise") {
      if (!ParseNoise(value, options.noise, options.noise_seed))
        return fail("option --noise needs N[:SEED], N from 1 to 1000000, not \"" + value + "\"");
    } else {
      FaultRule rule;
      std::string error;
      if (!ParseFaultRule(value, rule, error)) return fail(error);
      options.faults.push_back(rule);
    }
  }
  if (options.card.empty()) return fail("serial needs --card IMG");
  return RunSerialService(options);
}

}  // namespace qb::cardsim
