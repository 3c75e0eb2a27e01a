// The application's persistent configuration in the per-user settings store:
// the card drive, the device options a card is initialised with, the serial
// drive's port, the printer-emulation switches, the last export folder and
// the capacity calculator's inputs, and the printer the paper view reads a
// recording as with the view windows start in. Nothing is cached: every getter reads the
// store when called and every setter writes at once, so a value written by
// one dialog is seen by the next command. A stored value of another type
// counts as missing and yields the default.
#pragma once

#include <string>

#include "printout/printout_settings.h"

namespace qb {

// The company key under which the application keeps its settings.
inline constexpr const char* kCompanyKey = "KDV GmbH";

class AppSettings {
 public:
  // Options
  std::string Drive() const;
  void SetDrive(const std::string& value);
  int Slot() const;
  void SetSlot(int value);
  int Baudrate() const;
  void SetBaudrate(int value);
  int DataBits() const;
  void SetDataBits(int value);
  int StopBits() const;
  void SetStopBits(int value);
  std::string Parity() const;
  void SetParity(const std::string& value);
  int MemOrg() const;
  void SetMemOrg(int value);
  std::string ID() const;
  void SetID(const std::string& value);
  int ScanPrinterEsc() const;
  void SetScanPrinterEsc(int value);
  int ShowUnknownPrinterEsc() const;
  void SetShowUnknownPrinterEsc(int value);
  // Whether the view shows where recording sessions begin, and its warnings
  // about the recording (overwritten printouts, missing records, skipped
  // sectors, a full card).
  int ShowSessions() const;
  void SetShowSessions(int value);
  int ShowRecordingWarnings() const;
  void SetShowRecordingWarnings(int value);
  // The lab's private key (a PEM file) Card Read signs read reports with;
  // empty: reports are not signed. Only the path is kept.
  std::string SignKey() const;
  void SetSignKey(const std::string& value);

  // DosDrive: the serial card drive.
  int Com() const;
  void SetCom(int value);
  int Baud() const;
  void SetBaud(int value);
  // The device path of the serial drive's port (DD_DEVICE when not empty).
  std::string Device() const;
  void SetDevice(const std::string& value);

  // Export
  std::string ExportPath() const;
  void SetExportPath(const std::string& value);

  // CalcPcCardSize: the capacity calculator's inputs.
  int RecDays() const;
  void SetRecDays(int value);
  int CharsEvent() const;
  void SetCharsEvent(int value);
  int EventHours() const;
  void SetEventHours(int value);
  int HoursDay() const;
  void SetHoursDay(int value);

  // Printout: the printer of the paper view and whether windows show paper.
  // The printer model, the character table and the paper by their names
  // (printout_settings.h); the left margin in 0.1 mm.
  std::string PrintoutPrinter() const;
  void SetPrintoutPrinter(const std::string& value);
  std::string PrintoutTable() const;
  void SetPrintoutTable(const std::string& value);
  std::string PrintoutPaper() const;
  void SetPrintoutPaper(const std::string& value);
  int PrintoutLeftMargin() const;
  void SetPrintoutLeftMargin(int value);
  // 1: a new document window shows the paper view; 0: the line view.
  int PaperView() const;
  void SetPaperView(int value);
  // The printer as stored; a value that does not read counts as missing.
  PrintoutSettings Printout() const;
  void SetPrintout(const PrintoutSettings& settings);

  // The driver path the card jobs receive for a drive name.
  static std::string DriverPath(const std::string& drive_name);
  // True for the driver path of a serial card drive.
  static bool IsSerialDrive(const std::string& driver_path);
  // The value of the card initialisation's "memoryfull" option for MemOrg.
  std::string MemoryFullValue() const;
};

}  // namespace qb
