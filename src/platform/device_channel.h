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

// Connects to the device. Returns the handle, or -1 with errno set (ENOENT
// for a name without a server, ECONNREFUSED for a stale socket, ETIMEDOUT
// when the server's queue stays full beyond the time-out).
int DeviceChannelOpen(const std::string& device_name);
// One device-control call. Returns the device's result (0 = success) with
// `out_len` bytes in `out`. When the exchange itself fails (peer gone, reply
// malformed or longer than `out_cap`, time-out), returns the system error
// number as the result, stores it in `*system_error` (when given) and in
// errno, and shuts the connection down so that later calls fail at once;
// `*system_error` is 0 after a complete exchange.
uint32_t DeviceChannelControl(int handle, uint32_t code, const uint8_t* in, uint32_t in_len,
                              uint8_t* out, uint32_t out_cap, uint32_t& out_len,
                              int* system_error = nullptr);
void DeviceChannelClose(int handle);

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
