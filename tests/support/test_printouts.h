// Printouts as instruments send them to their printer, for tests and for
// looking at them in the application: a balance report with national
// characters in code page 437 and in 850, a screen dump of an oscilloscope
// plot as 8-dot and as 24-dot bit images, and a mixed page. Each comes with
// the text `qbd text` must give for it.
//
// The national characters are encoded with the system's converter (iconv),
// not with the printer's own tables, so that reading them back checks those
// tables. `FrameForRecording` cuts a printout into framed transmissions the
// way the instruments send them (one per printed line, long graphics in
// blocks), ready for `cardsim record --from-raw`.
#pragma once

#include <iconv.h>

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace qb::test {

struct TestPrintout {
  std::string name;      // file name stem
  std::string bytes;     // what the instrument sends to its printer
  std::string text;      // what qbd text gives for it (UTF-8)
  std::string codepage;  // the table to read it with ("" for the default, 437)
  bool twentyFourPin = false;
};

// `utf8` in the code page `codepage` ("CP437", "CP850").
inline std::string Encode(const std::string& utf8, const char* codepage) {
  iconv_t convert = iconv_open(codepage, "UTF-8");
  if (convert == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no converter");
  std::string in = utf8;
  std::string out(in.size() * 2 + 8, '\0');
  char* in_at = in.data();
  char* out_at = out.data();
  size_t in_left = in.size();
  size_t out_left = out.size();
  size_t done = iconv(convert, &in_at, &in_left, &out_at, &out_left);
  iconv_close(convert);
  if (done == static_cast<size_t>(-1)) throw std::runtime_error("not in " + std::string(codepage));
  out.resize(out.size() - out_left);
  return out;
}

// A balance's weighing report in German, in code page 437 or 850.
inline TestPrintout BalanceReport(bool cp850) {
  const char* codepage = cp850 ? "CP850" : "CP437";
  auto line = [codepage](const std::string& utf8) { return Encode(utf8, codepage) + "\r\n"; };
  const std::vector<std::string> samples = {
      "1    12,3456 g   +0,0002 g", "2    12,3451 g   -0,0003 g", "3    12,3458 g   +0,0004 g"};
  std::string bytes = "\x1B@";
  bytes +=
      "\x1B"
      "E" +
      Encode("Wägeprotokoll", codepage) + "\x1B" + "F\r\n";
  bytes += line("Waage: QB-LAB AB-220   S/N 2210407");
  bytes += line("Prüfer: Jürgen Müller");
  bytes += line(cp850 ? "Probe: Lösung Nr. 4, Ø 12 mm" : "Probe: Lösung Nr. 4, Größe ½");
  bytes += "\r\n";
  bytes += std::string(
               "\x1B"
               "D\x05\x14\x00",
               5) +
           "Nr.\tGewicht\tAbw.\r\n";
  for (const std::string& sample : samples) bytes += line(sample);
  bytes += line(cp850 ? "Dichte: 0,998 g/cm³  ± 2 µg" : "Temperatur: 21,5 °C  ± 2 µg");
  bytes += "\r\n";
  bytes += "Unterschrift: \x1B-1" + std::string(20, ' ') + "\x1B-0\r\n\f";

  std::string text =
      "Wägeprotokoll\n"
      "Waage: QB-LAB AB-220   S/N 2210407\n"
      "Prüfer: Jürgen Müller\n";
  text += cp850 ? "Probe: Lösung Nr. 4, Ø 12 mm\n" : "Probe: Lösung Nr. 4, Größe ½\n";
  text += "\nNr.  Gewicht        Abw.\n";
  for (const std::string& sample : samples) text += sample + "\n";
  text += cp850 ? "Dichte: 0,998 g/cm³  ± 2 µg\n" : "Temperatur: 21,5 °C  ± 2 µg\n";
  text += "\nUnterschrift:\n\f";
  return {cp850 ? "balance-850" : "balance-437", bytes, text, cp850 ? "850" : "", false};
}

// A plot as rows of dots: a frame, a grid, the time axis and a damped sine.
struct PlotPicture {
  int width = 0;
  int height = 0;
  std::vector<bool> dots;

  PlotPicture(int w, int h) : width(w), height(h), dots(static_cast<size_t>(w) * h) {
    auto set = [this](int x, int y) {
      if (x >= 0 && x < width && y >= 0 && y < height)
        dots[static_cast<size_t>(y) * width + x] = true;
    };
    for (int x = 0; x < width; ++x) {
      set(x, 0);
      set(x, height - 1);
      if (x % 4 == 0) set(x, height / 2);  // dotted zero line
    }
    for (int y = 0; y < height; ++y) {
      set(0, y);
      set(width - 1, y);
      for (int division = 1; division < 10; ++division) {
        if (y % 4 == 0) set(division * width / 10, y);  // dotted grid
      }
    }
    const double pi = 3.14159265358979;
    int last = height / 2;
    for (int x = 1; x < width - 1; ++x) {
      double t = static_cast<double>(x) / width;
      double value = std::exp(-3.0 * t) * std::sin(2 * pi * 6 * t);
      int y = static_cast<int>(std::lround(height / 2 - value * (height / 2 - 3)));
      for (int between = std::min(last, y); between <= std::max(last, y); ++between)
        set(x, between);
      last = y;
    }
  }
  bool Dot(int x, int y) const { return dots[static_cast<size_t>(y) * width + x]; }
};

// The dot columns of strip `strip` (`pins` rows from row strip * pins), one
// byte per 8 rows, the top row in the highest bit. A column byte equal to
// ETX gets one more dot: instruments that frame their transmissions cannot
// send that byte inside one.
inline std::string StripBytes(const PlotPicture& picture, int strip, int pins) {
  std::string bytes;
  for (int x = 0; x < picture.width; ++x) {
    for (int part = 0; part < pins / 8; ++part) {
      uint8_t byte = 0;
      for (int bit = 0; bit < 8; ++bit) {
        int y = strip * pins + part * 8 + bit;
        if (y < picture.height && picture.Dot(x, y)) byte |= static_cast<uint8_t>(0x80 >> bit);
      }
      if (byte == 0x03) byte = 0x07;
      bytes += static_cast<char>(byte);
    }
  }
  return bytes;
}

// An oscilloscope's screen dump: 480 x 64 dots in 8-dot strips at 120 dots
// per inch (9-pin), or 720 x 72 dots in 24-dot strips at 180 (24-pin).
inline TestPrintout ScopePlot(bool twenty_four) {
  const int width = twenty_four ? 720 : 480;
  const int height = twenty_four ? 72 : 64;
  const int pins = twenty_four ? 24 : 8;
  PlotPicture picture(width, height);
  std::string bytes = "\x1B@Scope QB-OS 2042  CH1 2 V/div  5 ms/div\r\n";
  // Strips touch: 24/216 inch is 8 pins of a 9-pin head, 24/180 inch 24
  // pins of a 24-pin head.
  bytes +=
      "\x1B"
      "3\x18";
  for (int strip = 0; strip < height / pins; ++strip) {
    if (twenty_four) {
      bytes += std::string("\x1B*\x27", 3);
    } else {
      bytes += "\x1BL";
    }
    bytes += static_cast<char>(width & 0xFF);
    bytes += static_cast<char>(width >> 8);
    bytes += StripBytes(picture, strip, pins) + "\r\n";
  }
  bytes +=
      "\x1B"
      "2Trigger CH1 rising 0.5 V   dt = 12.5 ms\r\n\f";
  std::string text = "Scope QB-OS 2042  CH1 2 V/div  5 ms/div\n[graphic " + std::to_string(width) +
                     "x" + std::to_string(height) +
                     "]\nTrigger CH1 rising 0.5 V   dt = 12.5 ms\n\f";
  return {twenty_four ? "plot-24dot" : "plot-8dot", bytes, text, "", twenty_four};
}

// A mixed page: a wide title, an underlined line, a superscript, a small bar
// chart at 60 dots per inch beside nothing else, condensed notes and a page
// length of its own (8 inches).
inline TestPrintout MixedPage() {
  std::string bytes = std::string(
      "\x1B@\x1B"
      "C\x00\x08",
      6);
  bytes += "\x1BW1QB-LAB REPORT\x1BW0\r\n";
  bytes +=
      "\x1B-1Batch 42/7\x1B-0   Area 12 m\x1BS0"
      "2\x1BT\r\n\r\n";
  // Bars of 8 columns for five values, two strips high.
  const int values[] = {5, 9, 12, 7, 15};
  bytes +=
      "\x1B"
      "3\x18";
  for (int strip = 0; strip < 2; ++strip) {
    std::string columns;
    for (int value : values) {
      for (int c = 0; c < 8; ++c) {
        uint8_t byte = 0;
        for (int bit = 0; bit < 8; ++bit) {
          int from_bottom = 15 - (strip * 8 + bit);
          if (c < 6 && from_bottom < value) byte |= static_cast<uint8_t>(0x80 >> bit);
        }
        if (byte == 0x03) byte = 0x07;
        columns += static_cast<char>(byte);
      }
    }
    bytes += "\x1BK" + std::string(1, static_cast<char>(columns.size())) + std::string(1, '\0') +
             columns + "\r\n";
  }
  bytes +=
      "\x1B"
      "2\x0FNotes: measured at 21 C, 45 % r.h.\x12\r\n";
  bytes +=
      "\x1B"
      "E"
      "Result: PASSED\x1B"
      "F\r\n\f";
  std::string text =
      "QB-LAB REPORT\nBatch 42/7   Area 12 m2\n\n[graphic 40x16]\nNotes: measured at 21 C, 45 % "
      "r.h.\nResult: PASSED\n\f";
  return {"mixed-page", bytes, text, "", false};
}

inline std::vector<TestPrintout> TestPrintouts() {
  return {BalanceReport(false), BalanceReport(true), ScopePlot(false), ScopePlot(true),
          MixedPage()};
}

// Cuts a printout into transmissions (one per printed line, long ones in
// blocks of about `block` bytes) framed as STX, the text, ETX and the block
// check. The text of a frame must not hold ETX.
inline std::string FrameForRecording(const std::string& printout, size_t block = 200) {
  std::string raw;
  std::string text;
  auto emit = [&]() {
    if (text.empty()) return;
    if (text.find('\x03') != std::string::npos) throw std::runtime_error("ETX inside a frame");
    std::string body = text + '\x03';
    unsigned char check = 0;
    for (char c : body) check ^= static_cast<unsigned char>(c);
    raw += '\x02' + body + static_cast<char>(check);
    text.clear();
  };
  for (size_t i = 0; i < printout.size(); ++i) {
    text += printout[i];
    const bool line_end = text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
    // A frame's text never begins with CAN: after STX it is read as part
    // of the framing.
    const bool can_next = i + 1 < printout.size() && printout[i + 1] == '\x18';
    if ((line_end || text.size() >= block) && !can_next) emit();
  }
  emit();
  return raw;
}

}  // namespace qb::test
