#include "cardsim/transmissions.h"

#include <cerrno>
#include <cstring>

namespace qb::cardsim {

namespace {

constexpr size_t kReadChunk = 1u << 16;

int HexDigit(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void FrameTransmission(const uint8_t* text, size_t length, bool can, std::vector<uint8_t>& out) {
  const size_t head = can ? 2 : 1;
  out.resize(head + length + 2);
  uint8_t* p = out.data();
  p[0] = kStx;
  p[1] = kCan;  // overwritten by the text when there is no CAN
  if (length > 0) std::memcpy(p + head, text, length);
  p[head + length] = kEtx;
  uint8_t check = 0;
  for (const uint8_t* q = p + 1; q <= p + head + length; ++q) check ^= *q;
  p[head + length + 1] = check;
}

ByteReader::~ByteReader() {
  if (file_) std::fclose(file_);
}

bool ByteReader::Open(const std::string& path, std::string& error) {
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  buffer_.resize(kReadChunk);
  return true;
}

bool ByteReader::Available(const uint8_t*& data, size_t& size) {
  if (next_ == end_) {
    if (!file_ || failed_) return false;
    size_t got = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (got == 0) {
      failed_ = std::ferror(file_) != 0;
      return false;
    }
    consumed_ += got;
    next_ = 0;
    end_ = got;
  }
  data = buffer_.data() + next_;
  size = end_ - next_;
  return true;
}

int ByteReader::Get() {
  const uint8_t* data;
  size_t size;
  if (!Available(data, size)) return -1;
  Take(1);
  return data[0];
}

bool LineFileSource::Open(const std::string& path, bool can) {
  path_ = path;
  can_ = can;
  return reader_.Open(path, error_);
}

bool LineFileSource::Next(std::vector<uint8_t>& out) {
  // Collect the line up to its LF.
  text_.clear();
  const uint8_t* data;
  size_t size;
  bool any = false, ended = false;
  while (!ended && reader_.Available(data, size)) {
    any = true;
    const void* lf = std::memchr(data, '\n', size);
    const size_t count = lf ? static_cast<size_t>(static_cast<const uint8_t*>(lf) - data) : size;
    ended = lf != nullptr;
    if (text_.size() + count > kMaxTransmission) {
      error_ = path_ + " line " + std::to_string(line_ + 1) + ": longer than " +
               std::to_string(kMaxTransmission) + " bytes";
      return false;
    }
    text_.insert(text_.end(), data, data + count);
    reader_.Take(count + (ended ? 1 : 0));
  }
  if (reader_.Failed()) {
    error_ = "read error in " + path_;
    return false;
  }
  if (!any) return false;
  ++line_;
  if (!text_.empty() && text_.back() == '\r') text_.pop_back();

  // Resolve escapes in place: the text only gets shorter.
  const size_t length = text_.size();
  size_t to = 0;
  for (size_t from = 0; from < length; ++from) {
    uint8_t byte = text_[from];
    if (byte == '\\') {
      if (!Unescape(from, byte)) return false;
    }
    text_[to++] = byte;
  }
  FrameTransmission(text_.data(), to, can_, out);
  return true;
}

bool LineFileSource::Unescape(size_t& at, uint8_t& byte) {
  const std::string where = path_ + " line " + std::to_string(line_);
  if (++at == text_.size()) {
    error_ = where + ": backslash at the end of the line (write \\\\ for one)";
    return false;
  }
  switch (text_[at]) {
    case '\\':
      byte = '\\';
      return true;
    case 'e':
      byte = 0x1B;
      return true;
    case 'f':
      byte = 0x0C;
      return true;
    case 'a':
      byte = 0x07;
      return true;
    case 't':
      byte = 0x09;
      return true;
    case 'r':
      byte = 0x0D;
      return true;
    case 'n':
      byte = 0x0A;
      return true;
    case 'x': {
      int high = at + 1 < text_.size() ? HexDigit(text_[at + 1]) : -1;
      int low = at + 2 < text_.size() ? HexDigit(text_[at + 2]) : -1;
      if (high < 0 || low < 0) {
        error_ = where + ": \\x needs two hex digits";
        return false;
      }
      byte = static_cast<uint8_t>(high * 16 + low);
      at += 2;
      return true;
    }
    default: {
      char shown[8];
      if (text_[at] >= 0x20 && text_[at] < 0x7F)
        std::snprintf(shown, sizeof shown, "%c", text_[at]);
      else
        std::snprintf(shown, sizeof shown, "<0x%02X>", text_[at]);
      error_ = where + ": unknown escape \\" + shown;
      return false;
    }
  }
}

bool RawFileSource::Open(const std::string& path) {
  path_ = path;
  return reader_.Open(path, error_);
}

bool RawFileSource::Next(std::vector<uint8_t>& out) {
  out.clear();
  const uint8_t* data;
  size_t size;
  bool framed = false;  // an STX has begun the frame
  bool ended = false;   // its ETX has come
  while (!ended && reader_.Available(data, size)) {
    // Up to the STX that begins the frame, then up to the ETX that ends it.
    const void* mark = std::memchr(data, framed ? kEtx : kStx, size);
    const size_t count =
        mark ? static_cast<size_t>(static_cast<const uint8_t*>(mark) - data) + 1 : size;
    if (out.size() + count > kMaxTransmission) {
      error_ = path_ + ": no frame end within " + std::to_string(kMaxTransmission) +
               " bytes before offset " + std::to_string(reader_.Position() + count);
      return false;
    }
    out.insert(out.end(), data, data + count);
    reader_.Take(count);
    if (mark) {
      ended = framed;
      framed = true;
    }
  }
  if (ended) {
    int check = reader_.Get();
    if (check >= 0) out.push_back(static_cast<uint8_t>(check));
  }
  if (reader_.Failed()) {
    error_ = "read error in " + path_;
    return false;
  }
  return !out.empty();
}

}  // namespace qb::cardsim
