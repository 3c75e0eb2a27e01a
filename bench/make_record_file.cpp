// Writes a large record file for the benchmarks: start, option and comment
// records, N data records holding printout lines of a balance (about 150
// bytes each, a form feed every 1000 lines, a start marker every 100000),
// and the end-of-file record. The same N gives the same bytes. With "plot",
// the lines are oscilloscope screen dumps instead: a title, 98 bit-image
// strips of 480 dot columns (8-dot, 120 per inch) and a form feed for every
// 100 lines.
//
//   make_record_file N OUT [plot]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "format/record_file.h"
#include "format/record_kind.h"

namespace {

FILE* g_out = nullptr;
uint32_t g_number = 0;

void Put(uint16_t kind, const std::string& data) {
  uint8_t header[qb::kRecordFileHeaderSize];
  auto n = static_cast<uint16_t>(data.size());
  qb::EncodeRecordHeader(g_number++, kind, reinterpret_cast<const uint8_t*>(data.data()), n,
                         header);
  std::fwrite(header, 1, sizeof header, g_out);
  std::fwrite(data.data(), 1, n, g_out);
}

// STX, the text, ETX and the block check.
std::string Framed(const std::string& text) {
  std::string frame = "\x02" + text + "\x03";
  unsigned char check = 0;
  for (size_t i = 1; i < frame.size(); ++i) check ^= static_cast<unsigned char>(frame[i]);
  return frame + static_cast<char>(check);
}

// Line `i` of the plot recordings: a title, a strip of dots, or the end of
// the printout.
std::string PlotLine(long i) {
  const long row = i % 100;
  if (row == 0)
    return "\x1B@Scope QB-OS 2042  CH1 2 V/div  5 ms/div\r\n\x1B"
           "3\x18";
  if (row == 99)
    return "\x1B"
           "2Trigger CH1 rising 0.5 V\r\n\x0C";
  std::string strip = "\x1BL\xE0\x01";
  for (int x = 0; x < 480; ++x) {
    const int level = static_cast<int>(400 + 390 * std::sin(x / 30.0 + i * 0.01)) / 100;
    strip += static_cast<char>(x == 0 || x == 479 || level == row % 8 ? 0xFF : 0x00);
  }
  return strip + "\r\n";
}

}  // namespace

int main(int argc, char** argv) {
  const bool plot = argc == 4 && std::string(argv[3]) == "plot";
  if (argc != 3 && !plot) {
    std::fprintf(stderr, "usage: make_record_file N OUT [plot]\n");
    return 1;
  }
  long lines = std::atol(argv[1]);
  g_out = std::fopen(argv[2], "wb");
  if (g_out == nullptr || lines < 0) {
    std::perror(argv[2]);
    return 1;
  }
  Put(qb::kKindStartOfFile, "");
  Put(qb::kKindOption,
      "# option file created by READCARD\n# read date: Mon Dec 07 22:06:34 2026\n"
      "# master number: 0000002A\n\ncardsize=4000000\nbaudrate=9600\nparameter=7E1\n"
      "protocol=0x3685E294\ntimeout=1000\nmemoryfull=overwrite_old\nrtscontrol=recording\n\n");
  Put(qb::kKindComment, "Benchmark recording\r\n");
  char text[256];
  for (long i = 0; i < lines; ++i) {
    if (i % 100000 == 0)
      Put(qb::kKindControl, std::string(1, static_cast<char>(qb::kControlStart)));
    if (plot) {
      Put(qb::kKindData, Framed(PlotLine(i)));
      continue;
    }
    if (i % 1000 == 999) {
      Put(qb::kKindData, Framed("\x0C"));
      continue;
    }
    int n =
        std::snprintf(text, sizeof text,
                      "2026-12-07 %02ld:%02ld:%02ld  Sample %08ld  Gross %9.4f g  Tare %7.3f g  "
                      "Net %9.4f g  Density %6.4f g/cm3  Operator QA-%03ld  OK\r\n",
                      i / 3600 % 24, i / 60 % 60, i % 60, i, (i % 9973) * 0.0137, (i % 101) * 0.01,
                      (i % 9973) * 0.0137 - (i % 101) * 0.01, 0.99 + (i % 97) * 0.0001, i % 997);
    Put(qb::kKindData, Framed(std::string(text, static_cast<size_t>(n))));
  }
  Put(qb::kKindEndOfFile, "");
  return std::fclose(g_out) == 0 ? 0 : 1;
}
