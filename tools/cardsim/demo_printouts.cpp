#include "cardsim/demo_printouts.h"

namespace qb::cardsim {

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kFormFeed = 0x0C;
constexpr uint8_t kBell = 0x07;

// A small, fast generator (splitmix64): good enough spread, fully repeatable.
class Random {
 public:
  explicit Random(uint64_t state) : state_(state) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A number from `low` to `high` inclusive.
  int64_t Between(int64_t low, int64_t high) {
    return low + static_cast<int64_t>(Next() % static_cast<uint64_t>(high - low + 1));
  }
  bool OneIn(uint64_t n) { return Next() % n == 0; }

 private:
  uint64_t state_;
};

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(year - era * 400);
  const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2);
}

// Builds the lines of a printout with a few formatting helpers that work on
// integers only (values are counted in their last printed digit). The bytes
// collect in a fixed buffer, far larger than any printout, and go to the
// lines at Finish().
class Printer {
 public:
  explicit Printer(PrintoutLines& lines) : lines_(lines) { lines_.ends.clear(); }

  void Finish() { lines_.bytes.assign(buffer_, buffer_ + size_); }

  Printer& Byte(uint8_t byte) {
    if (size_ < sizeof buffer_) buffer_[size_++] = byte;
    return *this;
  }
  Printer& Text(const char* text) {
    while (*text) Byte(static_cast<uint8_t>(*text++));
    return *this;
  }
  // Pads the current line with blanks up to `column`.
  Printer& Column(size_t column) {
    while (size_ - lineStart_ < column) Byte(' ');
    return *this;
  }
  // An unsigned number, right-aligned in `width` (0: as long as it is),
  // with leading zeros when `zeros`.
  Printer& Number(uint64_t value, size_t width = 0, bool zeros = false) {
    char digits[24];
    size_t count = 0;
    do {
      digits[count++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value > 0);
    for (size_t i = count; i < width; ++i) Byte(zeros ? '0' : ' ');
    while (count > 0) Byte(static_cast<uint8_t>(digits[--count]));
    return *this;
  }
  // `value` / 10^decimals with a decimal point, right-aligned in `width`.
  Printer& Fixed(int64_t value, unsigned decimals, size_t width) {
    uint64_t magnitude = value < 0 ? static_cast<uint64_t>(-value) : static_cast<uint64_t>(value);
    uint64_t scale = 1;
    for (unsigned i = 0; i < decimals; ++i) scale *= 10;
    char text[32];
    size_t count = 0;
    uint64_t fraction = magnitude % scale;
    for (unsigned i = 0; i < decimals; ++i) {
      text[count++] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    if (decimals > 0) text[count++] = '.';
    uint64_t whole = magnitude / scale;
    do {
      text[count++] = static_cast<char>('0' + whole % 10);
      whole /= 10;
    } while (whole > 0);
    if (value < 0) text[count++] = '-';
    for (size_t i = count; i < width; ++i) Byte(' ');
    while (count > 0) Byte(static_cast<uint8_t>(text[--count]));
    return *this;
  }
  // Ends the current printed line with CR LF, as an instrument sends it.
  void End() {
    Byte('\r').Byte('\n');
    EndCodes();
  }
  // Ends a transmission of printer codes only (reset, condensed print, form
  // feed): it moves the paper or sets the print, so no line end follows.
  void EndCodes() {
    lines_.ends.push_back(size_);
    lineStart_ = size_;
  }
  void Line(const char* text) { Text(text).End(); }

  void DateTime(int64_t seconds, bool german) {
    int64_t days = seconds / 86400;
    int64_t clock = seconds % 86400;
    int64_t year;
    unsigned month, day;
    CivilFromDays(days, year, month, day);
    if (german) {
      Text("Datum ").Number(day, 2, true).Byte('.').Number(month, 2, true).Byte('.');
      Number(static_cast<uint64_t>(year)).Text("   Zeit ");
    } else {
      Text("Date ").Number(static_cast<uint64_t>(year)).Byte('-').Number(month, 2, true);
      Byte('-').Number(day, 2, true).Text("   Time ");
    }
    Number(static_cast<uint64_t>(clock / 3600), 2, true).Byte(':');
    Number(static_cast<uint64_t>(clock / 60 % 60), 2, true).Byte(':');
    Number(static_cast<uint64_t>(clock % 60), 2, true);
    End();
  }

 private:
  PrintoutLines& lines_;
  uint8_t buffer_[8192];
  size_t size_ = 0;
  size_t lineStart_ = 0;
};

// The largest r with r * r <= value (value >= 0), by Newton's method.
int64_t IntegerRoot(int64_t value) {
  if (value < 2) return value;
  int64_t root = value, next = (value + 1) / 2;
  while (next < root) {
    root = next;
    next = (root + value / root) / 2;
  }
  return root;
}

const char* const kSeparator = "----------------------------------------";

void BalancePrintout(Random& random, uint64_t index, int64_t time, Printer& p) {
  const bool german = random.OneIn(4);
  const uint64_t serial = 2210400 + static_cast<uint64_t>(random.Between(0, 99));
  p.Byte(kEsc).Byte('@').EndCodes();
  p.Line(german ? "       QB-LAB ANALYSENWAAGE" : "      QB-LAB ANALYTICAL BALANCE");
  p.Text("Model AB-220      S/N ").Number(serial).End();
  p.Line("Software V2.14");
  p.Byte(kEsc).Byte(0x0F).EndCodes();
  p.DateTime(time, german);
  p.Text("Balance ID").Column(14).Text("LAB-").Number(serial % 7 + 1).End();
  p.Text(german ? "Bediener" : "Operator").Column(14).Text("OP-");
  p.Number(static_cast<uint64_t>(random.Between(1, 24)), 2, true).End();
  p.Text(german ? "Methode" : "Method").Column(14);
  p.Text(german ? "Serienwaegung" : "Series weighing").End();
  p.Line("");
  p.Line(kSeparator);
  p.Text(german ? "Nr." : "No.").Column(5).Text(german ? "Probe" : "Sample ID").Column(22);
  p.Text(german ? "Netto" : "Net weight").End();

  // Weights in units of 0.01 mg around a nominal value.
  const int64_t nominal = random.Between(50000, 5000000);
  const int64_t spread = nominal / 20000 + 3;
  const int64_t samples = random.Between(3, 12);
  int64_t sum = 0, low = INT64_MAX, high = 0;
  int64_t squares = 0;
  for (int64_t i = 1; i <= samples; ++i) {
    int64_t weight = nominal + random.Between(-spread, spread);
    sum += weight;
    squares += (weight - nominal) * (weight - nominal);
    low = weight < low ? weight : low;
    high = weight > high ? weight : high;
    p.Number(static_cast<uint64_t>(i), 3).Column(5).Text("A");
    p.Number(index % 10000, 4, true).Byte('-').Number(static_cast<uint64_t>(i), 2, true);
    p.Column(18).Fixed(weight, 5, 12).Text(" g").End();
  }
  const int64_t mean = sum / samples;
  // A rough standard deviation, in the same units, by integer square root.
  int64_t variance = squares / (samples > 1 ? samples - 1 : 1);
  int64_t deviation = IntegerRoot(variance);
  p.Line(kSeparator);
  p.Text("n").Column(14).Number(static_cast<uint64_t>(samples), 16).End();
  p.Text(german ? "Mittelwert" : "Mean").Column(18).Fixed(mean, 5, 12).Text(" g").End();
  p.Text("s").Column(18).Fixed(deviation, 5, 12).Text(" g").End();
  p.Text("srel").Column(18).Fixed(deviation * 1000000 / (mean > 0 ? mean : 1), 4, 12);
  p.Text(" %").End();
  p.Text("Min").Column(18).Fixed(low, 5, 12).Text(" g").End();
  p.Text("Max").Column(18).Fixed(high, 5, 12).Text(" g").End();
  if (random.OneIn(7)) {
    // The instrument rings its printer's bell on a value out of tolerance.
    p.Byte(kBell).Text(german ? "*** Toleranz ueberschritten ***" : "*** Tolerance exceeded ***");
    p.End();
  }
  p.Line("");
  p.Line(german ? "Unterschrift ....................." : "Signature ........................");
  p.Byte(kFormFeed).EndCodes();
}

void TitrationPrintout(Random& random, uint64_t index, int64_t time, Printer& p) {
  const uint64_t serial = 9034100 + static_cast<uint64_t>(random.Between(0, 99));
  static const char* const kMethods[] = {"M12 Acid value", "M07 Chloride", "M21 Water (KF)",
                                         "M03 Total hardness"};
  static const char* const kUnits[] = {"mg KOH/g", "mg/L", "%", "mmol/L"};
  const size_t method = static_cast<size_t>(random.Between(0, 3));
  p.Byte(kEsc).Byte('@').EndCodes();
  p.Line("QB-LAB TITRATOR T-90");
  p.Text("S/N ").Number(serial).Text("    V3.1.2").End();
  p.DateTime(time, false);
  p.Line("");
  p.Text("Method").Column(11).Text(kMethods[method]).End();
  p.Text("Titrant").Column(11).Text(method == 2 ? "Comp. 5" : "NaOH 0.1 mol/L").End();
  p.Text("Titer").Column(11).Fixed(random.Between(9950, 10050), 4, 0).End();
  p.Text("Sample ID").Column(11).Text("T").Number(index % 10000, 4, true).Byte('-');
  p.Number(static_cast<uint64_t>(random.Between(1, 9)), 2, true).End();
  p.Text("Weight").Column(11).Fixed(random.Between(5000, 50000), 4, 0).Text(" g").End();
  p.Byte(kEsc).Byte(0x0F).EndCodes();
  p.Text("EP").Column(6).Text("Volume/mL").Column(20).Text("Potential/mV").End();
  const int64_t points = random.Between(1, 3);
  int64_t volume = 0;
  for (int64_t i = 1; i <= points; ++i) {
    volume += random.Between(500, 15000);
    p.Text("EP").Number(static_cast<uint64_t>(i)).Column(6).Fixed(volume, 3, 9);
    p.Column(20).Fixed(random.Between(-3000, 4500), 1, 10).End();
  }
  p.Text("Result R1").Column(11).Fixed(random.Between(100, 99999), 3, 0).Byte(' ');
  p.Text(kUnits[method]).End();
  const int64_t duration = random.Between(60, 900);
  p.Text("Duration").Column(11).Number(static_cast<uint64_t>(duration / 3600), 2, true);
  p.Byte(':').Number(static_cast<uint64_t>(duration / 60 % 60), 2, true).Byte(':');
  p.Number(static_cast<uint64_t>(duration % 60), 2, true).End();
  if (random.OneIn(9)) p.Byte(kBell).Text("Electrode check due").End();
  p.Line(kSeparator);
  p.Byte(kFormFeed).EndCodes();
}

}  // namespace

void BuildDemoPrintout(uint64_t seed, uint64_t index, PrintoutLines& lines) {
  Random random(seed * 0xD1342543DE82EF95ull ^ (index + 1) * 0x9E3779B97F4A7C15ull);
  random.Next();
  // One printout every seven minutes or so from Monday, 2 March 2026, 07:30.
  static const int64_t kStart = DaysFromCivil(2026, 3, 2) * 86400 + 7 * 3600 + 30 * 60;
  const int64_t time =
      kStart + static_cast<int64_t>(index % 50000000) * 420 + random.Between(0, 300);
  Printer printer(lines);
  if (random.OneIn(3))
    TitrationPrintout(random, index, time, printer);
  else
    BalancePrintout(random, index, time, printer);
  printer.Finish();
}

bool DemoSource::Next(std::vector<uint8_t>& out) {
  if (nextLine_ == lines_.Count()) {
    if (nextPrintout_ == printouts_) return false;
    BuildDemoPrintout(seed_, nextPrintout_++, lines_);
    nextLine_ = 0;
  }
  FrameTransmission(lines_.bytes.data() + lines_.Begin(nextLine_), lines_.Length(nextLine_), can_,
                    out);
  ++nextLine_;
  return true;
}

}  // namespace qb::cardsim
