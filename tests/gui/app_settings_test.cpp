#include "app/cards/app_settings.h"

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QSettings>
#include <QStringList>
#include <QTest>
#include <string>

namespace QTest {
template <>
char* toString(const std::string& text) {
  return qstrdup(text.c_str());
}
}  // namespace QTest

namespace {

QSettings Store() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, "KDV GmbH", "Quillbank Manager");
}

using IntGet = int (qb::AppSettings::*)() const;
using IntSet = void (qb::AppSettings::*)(int);
using TextGet = std::string (qb::AppSettings::*)() const;
using TextSet = void (qb::AppSettings::*)(const std::string&);

struct IntValue {
  const char* key;
  int fallback;
  IntGet get;
  IntSet set;
};
struct TextValue {
  const char* key;
  const char* fallback;
  TextGet get;
  TextSet set;
};

using qb::AppSettings;
const IntValue kInts[] = {
    {"Options/Slot", 0, &AppSettings::Slot, &AppSettings::SetSlot},
    {"Options/Baudrate", 4800, &AppSettings::Baudrate, &AppSettings::SetBaudrate},
    {"Options/DataBits", 7, &AppSettings::DataBits, &AppSettings::SetDataBits},
    {"Options/StopBits", 1, &AppSettings::StopBits, &AppSettings::SetStopBits},
    {"Options/MemOrg", 0, &AppSettings::MemOrg, &AppSettings::SetMemOrg},
    {"Options/ScanPrinterEsc", 1, &AppSettings::ScanPrinterEsc, &AppSettings::SetScanPrinterEsc},
    {"Options/ShowUnknownPrinterEsc", 0, &AppSettings::ShowUnknownPrinterEsc,
     &AppSettings::SetShowUnknownPrinterEsc},
    {"DosDrive/Com", 1, &AppSettings::Com, &AppSettings::SetCom},
    {"DosDrive/Baud", 9600, &AppSettings::Baud, &AppSettings::SetBaud},
    {"CalcPcCardSize/RecDays", 90, &AppSettings::RecDays, &AppSettings::SetRecDays},
    {"CalcPcCardSize/CharsEvent", 132, &AppSettings::CharsEvent, &AppSettings::SetCharsEvent},
    {"CalcPcCardSize/EventHours", 30, &AppSettings::EventHours, &AppSettings::SetEventHours},
    {"CalcPcCardSize/HoursDay", 8, &AppSettings::HoursDay, &AppSettings::SetHoursDay},
    {"Printout/LeftMargin", 35, &AppSettings::PrintoutLeftMargin,
     &AppSettings::SetPrintoutLeftMargin},
    {"Printout/PaperView", 0, &AppSettings::PaperView, &AppSettings::SetPaperView},
};
const TextValue kTexts[] = {
    {"Options/Drive", "quilUSB", &AppSettings::Drive, &AppSettings::SetDrive},
    {"Options/Parity", "E", &AppSettings::Parity, &AppSettings::SetParity},
    {"Options/ID", "", &AppSettings::ID, &AppSettings::SetID},
    {"Export/Path", "", &AppSettings::ExportPath, &AppSettings::SetExportPath},
    {"Printout/Printer", "9-pin", &AppSettings::PrintoutPrinter, &AppSettings::SetPrintoutPrinter},
    {"Printout/CharacterTable", "437", &AppSettings::PrintoutTable, &AppSettings::SetPrintoutTable},
    {"Printout/Paper", "a4", &AppSettings::PrintoutPaper, &AppSettings::SetPrintoutPaper},
};

}  // namespace

class AppSettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QSettings store = Store();
    store.clear();
    store.sync();
  }

  void StoreIsTheUsersApplicationKey() {
    // The test runs with its own configuration folder; the store must land
    // there, under the company and application keys.
    QSettings store = Store();
#ifdef _WIN32
    QCOMPARE(store.fileName(),
             QStringLiteral("\\HKEY_CURRENT_USER\\Software\\KDV GmbH\\Quillbank Manager"));
#else
    QVERIFY(store.fileName().endsWith("/KDV GmbH/Quillbank Manager.conf"));
    QVERIFY(store.fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
#endif
  }

  void EmptyStoreGivesDefaults() {
    AppSettings settings;
    for (const IntValue& v : kInts) QCOMPARE((settings.*v.get)(), v.fallback);
    for (const TextValue& v : kTexts) QCOMPARE((settings.*v.get)(), std::string(v.fallback));
    QCOMPARE(AppSettings::DriverPath(settings.Drive()), std::string("\\\\.\\quilUSB"));
    QCOMPARE(settings.MemoryFullValue(), std::string("stop_logger"));
  }

  void SettersPersistAcrossInstances() {
    int n = 0;
    for (const IntValue& v : kInts) (AppSettings().*v.set)(1000 + n++);
    for (const TextValue& v : kTexts) (AppSettings().*v.set)(std::string(v.key) + ", x");
    // Read through a fresh object and straight from the store's file.
    n = 0;
    QSettings store = Store();
    for (const IntValue& v : kInts) {
      QCOMPARE((AppSettings().*v.get)(), 1000 + n);
      QCOMPARE(store.value(v.key).toInt(), 1000 + n);
      ++n;
    }
    for (const TextValue& v : kTexts) {
      QCOMPARE((AppSettings().*v.get)(), std::string(v.key) + ", x");
      QCOMPARE(store.value(v.key).toString(), QString(v.key) + ", x");
    }
  }

  void ValuesAreReadAtEachCall() {
    AppSettings settings;
    QCOMPARE(settings.Baudrate(), 4800);
    QSettings other = Store();
    other.setValue("Options/Baudrate", 2400);
    other.setValue("Options/Drive", "Quillbank");
    other.sync();
    QCOMPARE(settings.Baudrate(), 2400);
    QCOMPARE(settings.Drive(), std::string("Quillbank"));
  }

  void ValueOfAnotherTypeCountsAsMissing() {
    QSettings store = Store();
    for (const IntValue& v : kInts) store.setValue(v.key, "fast");
    store.setValue("Options/Drive", QPoint(5, 6));
    store.setValue("Options/Parity", QStringList{"E", "O"});
    store.setValue("Export/Path", QByteArray("\x01\x02", 2));
    store.setValue("Options/ID", QRect(1, 2, 3, 4));
    store.sync();
    AppSettings settings;
    for (const IntValue& v : kInts) QCOMPARE((settings.*v.get)(), v.fallback);
    for (const TextValue& v : kTexts) QCOMPARE((settings.*v.get)(), std::string(v.fallback));
  }

  void StoredValuesAreNotRangeChecked() {
    AppSettings settings;
    settings.SetMemOrg(2);
    settings.SetParity("Even");
    settings.SetBaudrate(-5);
    QCOMPARE(settings.MemOrg(), 2);
    QCOMPARE(settings.MemoryFullValue(), std::string("stop_logger"));
    QCOMPARE(settings.Parity(), std::string("Even"));
    QCOMPARE(settings.Baudrate(), -5);
    settings.SetMemOrg(1);
    QCOMPARE(settings.MemoryFullValue(), std::string("overwrite_old"));
  }

  void DriverPathOfStoredNames() {
    AppSettings settings;
    settings.SetDrive("Quillbank");
    QCOMPARE(AppSettings::DriverPath(settings.Drive()), std::string("****Quillbank"));
    QVERIFY(AppSettings::IsSerialDrive(AppSettings::DriverPath(settings.Drive())));
    settings.SetDrive("quillbank");
    QCOMPARE(AppSettings::DriverPath(settings.Drive()), std::string("\\\\.\\quillbank"));
    QVERIFY(!AppSettings::IsSerialDrive(AppSettings::DriverPath(settings.Drive())));
  }

  void PrinterThatDoesNotReadIsTheDefault() {
    qb::AppSettings settings;
    settings.SetPrintoutPrinter("18-pin");
    settings.SetPrintoutTable("866");
    settings.SetPrintoutPaper("a3");
    settings.SetPrintoutLeftMargin(5000);
    const qb::PrintoutSettings read = settings.Printout();
    const qb::PrintoutSettings defaults;
    QCOMPARE(read.model, defaults.model);
    QCOMPARE(read.table, defaults.table);
    QCOMPARE(read.paper, defaults.paper);
    QCOMPARE(read.leftMargin, defaults.leftMargin);
  }
};

QTEST_MAIN(AppSettingsTest)
#include "app_settings_test.moc"
