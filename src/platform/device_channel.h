// The device-control channel: how a device name "\\.\NAME" is reached here.
// NAME (in lower case, as device names ignore letter case) is a Unix stream
// socket in the channel folder: $DD_KDVDIR, else $XDG_RUNTIME_DIR/kdv, else
// /tmp/kdv-<uid>. Opening a device connects to it; every device-control call
// is one request and one reply on that connection:
//   request: u32 code, u32 input length, u32 output capacity, input bytes
//   reply:   u32 result, u32 output length (at most the capacity), output bytes
// all little-endian. Both sides wait in poll() with a time-out, so a peer
// that stops answering never hangs the other.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qb {

constexpr uint32_t kChannelRequestHeaderSize = 12;
constexpr uint32_t kChannelReplyHeaderSize = 8;
// The largest request input a server accepts: room for the largest write
// request (36-byte header and 32 KiB of data) and some to spare. A client
// announcing more is dropped rather than trusted for the size.
constexpr uint32_t kChannelMaxInput = 36 + 32768 + 1024;
constexpr int kChannelDefaultTimeoutMs = 30000;

// The channel folder from the environment (not created).
std::string DeviceChannelFolder();
// The socket path for a device name "\\.\NAME"; empty when the name is not of
// that form or NAME is empty, ".", ".." or holds a '/'.
std::string DeviceChannelPath(const std::string& device_name);

// What one device-control call brought back: the device's result (0 =
// success) with `out_len` bytes of output, or, when the exchange itself
// failed, the system error that stopped it. The two never share one value:
// `result` means nothing while `system_error` is set.
struct ChannelReply {
  uint32_t result = 0;
  int system_error = 0;
  uint32_t out_len = 0;
};

// The system's own hold on a connection; what it is differs by system.
struct DeviceChannelHandle;

// A client's connection to one device. Move-only; closed when the object
// goes.
class DeviceChannel {
 public:
  DeviceChannel();
  ~DeviceChannel();
  DeviceChannel(DeviceChannel&& other) noexcept;
  DeviceChannel& operator=(DeviceChannel&& other) noexcept;
  DeviceChannel(const DeviceChannel&) = delete;
  DeviceChannel& operator=(const DeviceChannel&) = delete;

  // Connects to the device (a connection still open is closed first). False
  // with the system error in `error` (ENOENT for a name without a server,
  // ECONNREFUSED for a stale socket, ETIMEDOUT when the server's queue stays
  // full beyond the time-out).
  bool Open(const std::string& device_name, int& error);
  bool IsOpen() const;
  // One device-control call. When the exchange fails (peer gone, reply
  // malformed or longer than `out_cap`, time-out), the connection is shut
  // down so that later calls fail at once.
  ChannelReply Control(uint32_t code, const uint8_t* in, uint32_t in_len, uint8_t* out,
                       uint32_t out_cap);
  void Close();

 private:
  std::unique_ptr<DeviceChannelHandle> handle_;
};

// The time-out of one exchange in milliseconds (both sides); returns the old
// value. Tests shorten it to see a silent peer fail quickly.
int SetDeviceChannelTimeout(int millis);

// Server side.

// The longest socket path a client can connect to (the system's limit).
size_t DeviceChannelMaxPath();

// A server's hold on its socket path: the listening socket, and the lock that
// makes the server the path's one owner for as long as it runs.
struct ChannelServer {
  int listener = -1;
  int lock = -1;
  uint64_t device = 0;  // the bound socket's file, to know it again
  uint64_t inode = 0;
};

// Creates the socket's folder if missing (mode 0700, and it must belong to
// this user) and takes the path's lock, the file "<socket path>.LOCK" (no
// device name maps to a name with capitals). Under the lock it removes a
// stale socket left by a server that died, binds the socket (mode 0600) and
// listens. False with errno set: EADDRINUSE when another server holds the
// lock or answers on the path, EEXIST when something other than a socket is
// in the way, ENAMETOOLONG for a path longer than DeviceChannelMaxPath().
bool DeviceChannelListen(const std::string& socket_path, ChannelServer& server);
// Closes the listening socket, removes the socket file while it is still the
// one this server bound, and gives the lock up.
void DeviceChannelUnlisten(const std::string& socket_path, ChannelServer& server);

struct ChannelRequest {
  uint32_t code = 0;
  uint32_t out_cap = 0;
  std::vector<uint8_t> input;
};

enum class ChannelRead {
  kRequest,  // a whole request arrived
  kClosed,   // the client closed the connection between requests
  kBroken,   // the client vanished or stalled mid-request, or sent too much
  kStopped,  // `stop_fd` became readable
};

// Reads one request. Waits without limit for a request to begin (a client may
// pause between its calls), then for the rest within the time-out. `stop_fd`
// (or -1) ends any wait when it becomes readable.
ChannelRead DeviceChannelReadRequest(int fd, int stop_fd, ChannelRequest& request);
// Writes one reply within the time-out; false when the client is gone, does
// not take the reply, or `stop_fd` became readable.
bool DeviceChannelWriteReply(int fd, int stop_fd, uint32_t result, const uint8_t* out,
                             uint32_t out_len);

}  // namespace qb
