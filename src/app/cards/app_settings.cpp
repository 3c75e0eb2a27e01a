#include "app/cards/app_settings.h"
#include "app/ui_text.h"

#include <QSettings>
#include <QString>
#include <QVariant>

#include "base/messages.h"
#include "jobs/drive_names.h"

namespace qb {
namespace {

QSettings Store() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromUtf8(kCompanyKey),
                   UiText(msg::kAppTitle));
}

QString Key(const char* section, const char* value) {
  return QString::fromUtf8(section) + QLatin1Char('/') + QString::fromUtf8(value);
}

int ReadInt(const char* section, const char* value, int fallback) {
  QVariant stored = Store().value(Key(section, value));
  if (!stored.isValid()) return fallback;
  bool ok = false;
  int result = stored.toInt(&ok);
  return ok ? result : fallback;
}

std::string ReadString(const char* section, const char* value, const char* fallback) {
  QVariant stored = Store().value(Key(section, value));
  // Text only: a number (a registry DWORD), a list or any other typed value
  // is not a string value.
  if (stored.typeId() != QMetaType::QString) return fallback;
  return stored.toString().toStdString();
}

void WriteInt(const char* section, const char* value, int data) {
  QSettings store = Store();
  store.setValue(Key(section, value), data);
  store.sync();
}

void WriteString(const char* section, const char* value, const std::string& data) {
  QSettings store = Store();
  store.setValue(Key(section, value), QString::fromStdString(data));
  store.sync();
}

constexpr const char* kOptions = "Options";
constexpr const char* kDosDrive = "DosDrive";
constexpr const char* kExport = "Export";
constexpr const char* kCalc = "CalcPcCardSize";
constexpr const char* kPrintout = "Printout";

}  // namespace

#define QB_INT_SETTING(Name, section, key, fallback) \
  int AppSettings::Name() const {                    \
    return ReadInt(section, key, fallback);          \
  }                                                  \
  void AppSettings::Set##Name(int value) {           \
    WriteInt(section, key, value);                   \
  }
#define QB_STRING_SETTING(Name, section, key, fallback)   \
  std::string AppSettings::Name() const {                 \
    return ReadString(section, key, fallback);            \
  }                                                       \
  void AppSettings::Set##Name(const std::string& value) { \
    WriteString(section, key, value);                     \
  }

QB_STRING_SETTING(Drive, kOptions, "Drive", "quilUSB")
QB_INT_SETTING(Slot, kOptions, "Slot", 0)
QB_INT_SETTING(Baudrate, kOptions, "Baudrate", 4800)
QB_INT_SETTING(DataBits, kOptions, "DataBits", 7)
QB_INT_SETTING(StopBits, kOptions, "StopBits", 1)
QB_STRING_SETTING(Parity, kOptions, "Parity", "E")
QB_INT_SETTING(MemOrg, kOptions, "MemOrg", 0)
QB_STRING_SETTING(ID, kOptions, "ID", "")
QB_INT_SETTING(ScanPrinterEsc, kOptions, "ScanPrinterEsc", 1)
QB_INT_SETTING(ShowUnknownPrinterEsc, kOptions, "ShowUnknownPrinterEsc", 0)
QB_INT_SETTING(ShowSessions, kOptions, "ShowSessions", 1)
QB_INT_SETTING(ShowRecordingWarnings, kOptions, "ShowRecordingWarnings", 1)
QB_STRING_SETTING(SignKey, kOptions, "SignKey", "")
QB_INT_SETTING(Com, kDosDrive, "Com", 1)
QB_INT_SETTING(Baud, kDosDrive, "Baud", 9600)
QB_STRING_SETTING(Device, kDosDrive, "Device", "")
QB_STRING_SETTING(ExportPath, kExport, "Path", "")
QB_INT_SETTING(RecDays, kCalc, "RecDays", 90)
QB_INT_SETTING(CharsEvent, kCalc, "CharsEvent", 132)
QB_INT_SETTING(EventHours, kCalc, "EventHours", 30)
QB_INT_SETTING(HoursDay, kCalc, "HoursDay", 8)
QB_STRING_SETTING(PrintoutPrinter, kPrintout, "Printer", "9-pin")
QB_STRING_SETTING(PrintoutTable, kPrintout, "CharacterTable", "437")
QB_STRING_SETTING(PrintoutPaper, kPrintout, "Paper", "a4")
QB_INT_SETTING(PrintoutLeftMargin, kPrintout, "LeftMargin", PrintoutSettings().leftMargin)
QB_INT_SETTING(PaperView, kPrintout, "PaperView", 0)

#undef QB_INT_SETTING
#undef QB_STRING_SETTING

PrintoutSettings AppSettings::Printout() const {
  PrintoutSettings settings;
  PrinterModel model = settings.model;
  if (ParsePrinterModel(PrintoutPrinter(), model)) settings.model = model;
  CharacterTable table = settings.table;
  if (ParseCharacterTable(PrintoutTable(), table)) settings.table = table;
  Paper paper = settings.paper;
  if (ParsePaper(PrintoutPaper(), paper)) settings.paper = paper;
  const int margin = PrintoutLeftMargin();
  if (margin >= 0 && margin <= kMaxLeftMargin) settings.leftMargin = margin;
  return settings;
}

void AppSettings::SetPrintout(const PrintoutSettings& settings) {
  SetPrintoutPrinter(PrinterModelName(settings.model));
  SetPrintoutTable(CharacterTableName(settings.table));
  SetPrintoutPaper(PaperName(settings.paper));
  SetPrintoutLeftMargin(settings.leftMargin);
}

std::string AppSettings::DriverPath(const std::string& drive_name) {
  return qb::DriverPath(drive_name);
}

bool AppSettings::IsSerialDrive(const std::string& driver_path) {
  return qb::IsSerialDrive(driver_path);
}

std::string AppSettings::MemoryFullValue() const {
  return qb::MemoryFullValue(MemOrg());
}

}  // namespace qb
