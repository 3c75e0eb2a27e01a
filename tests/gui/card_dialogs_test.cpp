// The card dialogs: Select Drive, Quillbank options, Init Card and the
// capacity calculator, against the settings store.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "app/cards/app_settings.h"
#include "app/cards/card_capacity_calculator.h"
#include "app/cards/card_ui.h"
#include "app/cards/device_options_dialog.h"
#include "app/cards/init_card_dialog.h"
#include "app/cards/select_drive_dialog.h"
#include "card_test_support.h"

using qb::AppSettings;
using qb::test::ModalAnswerer;

namespace {

QStringList Items(QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items.append(box->itemText(i));
  return items;
}

template <typename T>
T* Child(QWidget* parent, const char* name) {
  return parent->findChild<T*>(QString::fromLatin1(name));
}

// Saves a picture of `widget` when QB_SCREENSHOT_DIR names a folder.
void Shot(QWidget* widget, const char* name) {
  QByteArray folder = qgetenv("QB_SCREENSHOT_DIR");
  if (folder.isEmpty()) return;
  widget->adjustSize();
  QTest::qWait(50);
  widget->grab().save(QString::fromLocal8Bit(folder) + "/" + name + ".png");
}

QImage Picture(QLabel* label) {
  return label->pixmap().toImage();
}

}  // namespace

class CardDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { qb::test::ClearSettings(); }

  // ---- Select Drive ----

  void selectDriveListAndSettings() {
    SelectDriveDialog dialog;
    auto* drive = Child<QComboBox>(&dialog, "drive");
    QVERIFY(drive->isEditable());
    QCOMPARE(Items(drive), (QStringList{"quil97", "Quillbank", "quilUSB"}));
    QCOMPARE(drive->currentText(), QString("quilUSB"));
    QCOMPARE(Child<QLineEdit>(&dialog, "slot")->text(), QString("0"));
    QCOMPARE(Child<QLineEdit>(&dialog, "com")->text(), QString("1"));
    QCOMPARE(Child<QLineEdit>(&dialog, "baud")->text(), QString("9600"));
    QCOMPARE(Child<QLineEdit>(&dialog, "device")->text(), QString());
    dialog.show();
    Shot(&dialog, "select_drive");
  }

  void selectDriveTypedNameIsAdded() {
    AppSettings().SetDrive("A:");
    SelectDriveDialog dialog;
    auto* drive = Child<QComboBox>(&dialog, "drive");
    QCOMPARE(Items(drive), (QStringList{"A:", "quil97", "Quillbank", "quilUSB"}));
    QCOMPARE(drive->currentText(), QString("A:"));
    // A name that begins a listed one is not added again.
    AppSettings().SetDrive("QUIL");
    SelectDriveDialog other;
    QCOMPARE(Items(Child<QComboBox>(&other, "drive")).size(), 3);
    QCOMPARE(Child<QComboBox>(&other, "drive")->currentText(), QString("QUIL"));
  }

  void selectDriveEnabling_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("serial");
    QTest::newRow("Quillbank") << "Quillbank" << true;
    QTest::newRow("quilUSB") << "quilUSB" << false;
    QTest::newRow("quil97") << "quil97" << false;
    QTest::newRow("lower case") << "quillbank" << false;
    QTest::newRow("****") << "****" << true;
    QTest::newRow("typed ****x") << "****COM2" << true;
    QTest::newRow("drive letter") << "E:" << false;
  }
  void selectDriveEnabling() {
    QFETCH(QString, name);
    QFETCH(bool, serial);
    SelectDriveDialog dialog;
    auto* drive = Child<QComboBox>(&dialog, "drive");
    // Typed character by character into the edit field.
    drive->lineEdit()->clear();
    QTest::keyClicks(drive->lineEdit(), name);
    QCOMPARE(drive->currentText(), name);
    QCOMPARE(Child<QLineEdit>(&dialog, "slot")->isEnabled(), !serial);
    QCOMPARE(Child<QLineEdit>(&dialog, "com")->isEnabled(), serial);
    QCOMPARE(Child<QLineEdit>(&dialog, "baud")->isEnabled(), serial);
    QCOMPARE(Child<QLineEdit>(&dialog, "device")->isEnabled(), serial);
  }

  void selectDriveListChoiceAndOpening() {
    AppSettings().SetDrive("Quillbank");
    SelectDriveDialog dialog;
    QVERIFY(!Child<QLineEdit>(&dialog, "slot")->isEnabled());
    QVERIFY(Child<QLineEdit>(&dialog, "com")->isEnabled());
    auto* drive = Child<QComboBox>(&dialog, "drive");
    drive->setCurrentIndex(drive->findText("quil97"));
    QCOMPARE(drive->currentText(), QString("quil97"));
    QVERIFY(Child<QLineEdit>(&dialog, "slot")->isEnabled());
    QVERIFY(!Child<QLineEdit>(&dialog, "baud")->isEnabled());
  }

  void selectDriveRangesRefused_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("slot 33") << "slot"
                             << "33"
                             << "Please enter an integer between 0 and 32.";
    QTest::newRow("slot -1") << "slot"
                             << "-1"
                             << "Please enter an integer between 0 and 32.";
    QTest::newRow("com 0") << "com"
                           << "0"
                           << "Please enter an integer between 1 and 8.";
    QTest::newRow("com 9") << "com"
                           << "9"
                           << "Please enter an integer between 1 and 8.";
    QTest::newRow("baud 74") << "baud"
                             << "74"
                             << "Please enter an integer between 75 and 115200.";
    QTest::newRow("baud 115201") << "baud"
                                 << "115201"
                                 << "Please enter an integer between 75 and 115200.";
    QTest::newRow("slot text") << "slot"
                               << "1x"
                               << "Please enter an integer.";
    QTest::newRow("baud empty") << "baud"
                                << ""
                                << "Please enter an integer.";
  }
  void selectDriveRangesRefused() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);
    ModalAnswerer answers;
    answers.Press(QMessageBox::Ok);
    SelectDriveDialog dialog;
    dialog.show();
    Child<QComboBox>(&dialog, "drive")->setEditText("quil97");
    Child<QLineEdit>(&dialog, field.toLatin1().constData())->setText(value);
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    Child<QPushButton>(&dialog, "ok")->click();
    QCOMPARE(answers.boxes().size(), size_t(1));
    QCOMPARE(answers.boxes()[0].text, message);
    QCOMPARE(answers.boxes()[0].icon, QMessageBox::Warning);
    QCOMPARE(accepted.count(), 0);
    QVERIFY(dialog.isVisible());
    // Nothing stored, not even the fields that passed.
    QCOMPARE(AppSettings().Drive(), std::string("quilUSB"));
    QVERIFY(
        !QSettings(QSettings::NativeFormat, QSettings::UserScope, "KDV GmbH", "Quillbank Manager")
             .contains("Options/Drive"));
  }

  void selectDriveOkStoresAllAndCancelNothing() {
    {
      SelectDriveDialog dialog;
      dialog.show();
      auto* drive = Child<QComboBox>(&dialog, "drive");
      drive->setEditText("Quillbank");
      Child<QLineEdit>(&dialog, "slot")->setText("32");
      Child<QLineEdit>(&dialog, "com")->setText("8");
      Child<QLineEdit>(&dialog, "baud")->setText("75");
      Child<QLineEdit>(&dialog, "device")->setText("/dev/pts/7");
      Child<QPushButton>(&dialog, "cancel")->click();
      QCOMPARE(AppSettings().Drive(), std::string("quilUSB"));
      QCOMPARE(AppSettings().Device(), std::string());
    }
    SelectDriveDialog dialog;
    dialog.show();
    Child<QComboBox>(&dialog, "drive")->setEditText("Quillbank");
    Child<QLineEdit>(&dialog, "slot")->setText("32");
    Child<QLineEdit>(&dialog, "com")->setText("8");
    Child<QLineEdit>(&dialog, "baud")->setText("115200");
    Child<QLineEdit>(&dialog, "device")->setText("/dev/pts/7");
    Child<QPushButton>(&dialog, "ok")->click();
    QVERIFY(!dialog.isVisible());
    AppSettings settings;
    QCOMPARE(settings.Drive(), std::string("Quillbank"));
    QCOMPARE(settings.Slot(), 32);
    QCOMPARE(settings.Com(), 8);
    QCOMPARE(settings.Baud(), 115200);
    QCOMPARE(settings.Device(), std::string("/dev/pts/7"));
  }

  // ---- Quillbank options ----

  void deviceOptionsShowsSettings_data() {
    QTest::addColumn<int>("baudrate");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<int>("checkedRate");
    QTest::addColumn<QString>("checkedData");
    QTest::addColumn<QString>("checkedStop");
    QTest::addColumn<QString>("checkedParity");
    QTest::newRow("defaults") << 4800 << 7 << 1 << "E" << 4800 << "dataBits7"
                              << "stopBits1"
                              << "parityEven";
    QTest::newRow("300 shows 600") << 300 << 8 << 2 << "O" << 600 << "dataBits8"
                                   << "stopBits2"
                                   << "parityOdd";
    QTest::newRow("115200, Even") << 115200 << 7 << 1 << "Even" << 115200 << "dataBits7"
                                  << "stopBits1"
                                  << "parityEven";
    QTest::newRow("unknown values") << 0 << 5 << 3 << "N" << 600 << ""
                                    << ""
                                    << "";
  }
  void deviceOptionsShowsSettings() {
    QFETCH(int, baudrate);
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);
    QFETCH(QString, parity);
    QFETCH(int, checkedRate);
    QFETCH(QString, checkedData);
    QFETCH(QString, checkedStop);
    QFETCH(QString, checkedParity);
    AppSettings settings;
    settings.SetBaudrate(baudrate);
    settings.SetDataBits(dataBits);
    settings.SetStopBits(stopBits);
    settings.SetParity(parity.toStdString());
    DeviceOptionsDialog dialog;
    QStringList checked;
    for (QRadioButton* button : dialog.findChildren<QRadioButton*>())
      if (button->isChecked()) checked.append(button->objectName());
    QStringList expected = {QString("baud%1").arg(checkedRate)};
    for (const QString& name : {checkedData, checkedStop, checkedParity})
      if (!name.isEmpty()) expected.append(name);
    checked.sort();
    expected.sort();
    QCOMPARE(checked, expected);

    // OK: the table rate; groups without a selection keep their value.
    dialog.show();
    Child<QPushButton>(&dialog, "ok")->click();
    QCOMPARE(settings.Baudrate(), checkedRate);
    QCOMPARE(settings.DataBits(), dataBits);
    QCOMPARE(settings.StopBits(), stopBits);
    QCOMPARE(settings.Parity(),
             checkedParity.isEmpty() ? parity.toStdString() : parity.left(1).toStdString());
  }

  void deviceOptionsStoresChoices() {
    DeviceOptionsDialog dialog;
    dialog.show();
    QCOMPARE(dialog.findChildren<QRadioButton*>().size(), 9 + 2 + 2 + 2);
    Child<QRadioButton>(&dialog, "baud57600")->click();
    Child<QRadioButton>(&dialog, "dataBits8")->click();
    Child<QRadioButton>(&dialog, "stopBits2")->click();
    Child<QRadioButton>(&dialog, "parityOdd")->click();
    Child<QCheckBox>(&dialog, "ringMemory")->click();
    Child<QLineEdit>(&dialog, "signKey")->setText(" /lab/keys/lab.pem ");
    Shot(&dialog, "device_options");
    Child<QPushButton>(&dialog, "ok")->click();
    AppSettings settings;
    QCOMPARE(settings.SignKey(), std::string("/lab/keys/lab.pem"));
    QCOMPARE(settings.Baudrate(), 57600);
    QCOMPARE(settings.DataBits(), 8);
    QCOMPARE(settings.StopBits(), 2);
    QCOMPARE(settings.Parity(), std::string("O"));
    QCOMPARE(settings.MemOrg(), 1);

    DeviceOptionsDialog again;
    again.show();
    QVERIFY(Child<QCheckBox>(&again, "ringMemory")->isChecked());
    QCOMPARE(Child<QLineEdit>(&again, "signKey")->text(), QString("/lab/keys/lab.pem"));
    Child<QCheckBox>(&again, "ringMemory")->click();
    Child<QLineEdit>(&again, "signKey")->clear();
    Child<QPushButton>(&again, "cancel")->click();
    QCOMPARE(settings.MemOrg(), 1);
    QCOMPARE(settings.SignKey(), std::string("/lab/keys/lab.pem"));
  }

  // ---- Init Card ----

  void initCardLines_data() {
    QTest::addColumn<int>("memOrg");
    QTest::addColumn<int>("baudrate");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<QString>("options");
    QTest::newRow("defaults") << 0 << 4800 << 7 << "E" << 1 << "4800 Baud, 7E1";
    QTest::newRow("ring 8O2") << 1 << 9600 << 8 << "O" << 2 << "9600 Baud, 8O2, ring memory";
    QTest::newRow("whole parity") << 2 << 600 << 7 << "Even" << 1
                                  << "600 Baud, 7Even1, ring memory";
  }
  void initCardLines() {
    QFETCH(int, memOrg);
    QFETCH(int, baudrate);
    QFETCH(int, dataBits);
    QFETCH(QString, parity);
    QFETCH(int, stopBits);
    QFETCH(QString, options);
    AppSettings settings;
    settings.SetMemOrg(memOrg);
    settings.SetBaudrate(baudrate);
    settings.SetDataBits(dataBits);
    settings.SetParity(parity.toStdString());
    settings.SetStopBits(stopBits);
    InitCardDialog dialog;
    QCOMPARE(Child<QLabel>(&dialog, "driveLine")->text(), QString("quilUSB (Slot 0)"));
    QCOMPARE(Child<QLabel>(&dialog, "optionsLine")->text(), options);
  }

  void initCardId() {
    AppSettings settings;
    settings.SetDrive("quil97");
    settings.SetSlot(3);
    settings.SetID("Lab 7");
    InitCardDialog dialog;
    dialog.show();
    QCOMPARE(Child<QLabel>(&dialog, "driveLine")->text(), QString("quil97 (Slot 3)"));
    auto* id = Child<QLineEdit>(&dialog, "id");
    QCOMPARE(id->text(), QString("Lab 7"));
    QCOMPARE(id->maxLength(), 40);
    id->clear();
    QTest::keyClicks(id, QString(45, 'x'));
    QCOMPARE(id->text(), QString(40, 'x'));
    Shot(&dialog, "init_card");
    Child<QPushButton>(&dialog, "cancel")->click();
    QCOMPARE(settings.ID(), std::string("Lab 7"));

    InitCardDialog again;
    again.show();
    Child<QLineEdit>(&again, "id")->setText("Station \"A\"/1");
    Child<QPushButton>(&again, "ok")->click();
    QCOMPARE(settings.ID(), std::string("Station \"A\"/1"));
  }

  // ---- capacity calculator ----

  void capacityComputation_data() {
    QTest::addColumn<int>("chars");
    QTest::addColumn<int>("events");
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("days");
    QTest::addColumn<double>("megabytes");
    // 138 bytes an event, 33,120 a day, 66 overhead, 2,986,744 bytes, 5986
    // data sectors, 6588 with the fixed ones and the reserve: 3.37 MB.
    QTest::newRow("defaults") << 132 << 30 << 8 << 90 << 4.0;
    // No events: 6 bytes a day, 10 bytes, 1 data sector, 5 sectors.
    QTest::newRow("no events") << 1 << 0 << 1 << 1 << 1.0;
    // An odd count is rounded up: 133 characters take 140 bytes like 134.
    QTest::newRow("odd 133") << 133 << 1000 << 24 << 100 << 380.0;
    QTest::newRow("even 134") << 134 << 1000 << 24 << 100 << 380.0;
    QTest::newRow("largest plan") << 496 << 10000 << 24 << 10000 << 1359971.0;
  }
  void capacityComputation() {
    QFETCH(int, chars);
    QFETCH(int, events);
    QFETCH(int, hours);
    QFETCH(int, days);
    QFETCH(double, megabytes);
    QCOMPARE(CardCapacityMegabytes(chars, events, hours, days), megabytes);
  }

  void calculatorDefaultsAndLiveRecomputation() {
    CardCapacityCalculator dialog;
    dialog.show();
    QCOMPARE(Child<QLineEdit>(&dialog, "recDays")->text(), QString("90"));
    QCOMPARE(Child<QLineEdit>(&dialog, "charsEvent")->text(), QString("132"));
    QCOMPARE(Child<QLineEdit>(&dialog, "eventHours")->text(), QString("30"));
    QCOMPARE(Child<QLineEdit>(&dialog, "hoursDay")->text(), QString("8"));
    auto* result = Child<QLineEdit>(&dialog, "result");
    QVERIFY(result->isReadOnly());
    QCOMPARE(result->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(Child<QLineEdit>(&dialog, "recDays")->alignment() & Qt::AlignHorizontal_Mask,
             Qt::AlignRight);
    QCOMPARE(result->text(), QString("4"));
    QVERIFY(Child<QLabel>(&dialog, "message")->text().isEmpty());
    QCOMPARE(Picture(Child<QLabel>(&dialog, "icon")),
             cards::CardPicture(cards::kIconCard).toImage());
    QVERIFY(!Child<QPushButton>(&dialog, "cancel")->isVisible());
    Shot(&dialog, "calculator");

    Child<QLineEdit>(&dialog, "recDays")->setText("900");
    QCOMPARE(result->text(), QString("34"));
    // Typed into a field: every keystroke recomputes.
    auto* hours = Child<QLineEdit>(&dialog, "hoursDay");
    hours->selectAll();
    QTest::keyClicks(hours, "24");
    QCOMPARE(hours->text(), QString("24"));
    QCOMPARE(result->text(), QString::number(CardCapacityMegabytes(132, 30, 24, 900), 'f', 0));
  }

  void calculatorNotAnInteger() {
    ModalAnswerer answers;
    answers.Press(QMessageBox::Ok);
    CardCapacityCalculator dialog;
    dialog.show();
    auto* chars = Child<QLineEdit>(&dialog, "charsEvent");
    chars->setText("12x");
    QTRY_COMPARE(answers.boxes().size(), size_t(1));
    QCOMPARE(answers.boxes()[0].text, QString("Please enter an integer."));
    QCOMPARE(chars->text(), QString("132"));
    QCOMPARE(Child<QLineEdit>(&dialog, "result")->text(), QString("4"));
  }

  void calculatorTooLarge() {
    CardCapacityCalculator dialog;
    dialog.show();
    Child<QLineEdit>(&dialog, "charsEvent")->setText("496");
    Child<QLineEdit>(&dialog, "eventHours")->setText("10000");
    Child<QLineEdit>(&dialog, "hoursDay")->setText("24");
    Child<QLineEdit>(&dialog, "recDays")->setText("10000");
    QCOMPARE(Child<QLineEdit>(&dialog, "result")->text(), QString("1359971"));
    QCOMPARE(Child<QLabel>(&dialog, "message")->text(),
             QString("This capacity is too much. The Quillbank supports a maximum capacity of "
                     "4096 MB."));
    QCOMPARE(Picture(Child<QLabel>(&dialog, "icon")),
             cards::CardPicture(cards::kIconWarning).toImage());
    Shot(&dialog, "calculator_too_large");
    // Too large is still a plan that can be stored.
    Child<QPushButton>(&dialog, "ok")->click();
    QCOMPARE(AppSettings().RecDays(), 10000);
  }

  void calculatorBoundary() {
    // The largest number of days that fits 4096 MB with 496 characters,
    // 100 events an hour and 24 hours a day, and one day more.
    int days = 1;
    while (CardCapacityMegabytes(496, 100, 24, days + 1) <= 4096) ++days;
    QCOMPARE(CardCapacityMegabytes(496, 100, 24, days), 4096.0);
    QVERIFY(CardCapacityMegabytes(496, 100, 24, days + 1) > 4096);
    CardCapacityCalculator dialog;
    dialog.show();
    Child<QLineEdit>(&dialog, "charsEvent")->setText("496");
    Child<QLineEdit>(&dialog, "eventHours")->setText("100");
    Child<QLineEdit>(&dialog, "hoursDay")->setText("24");
    Child<QLineEdit>(&dialog, "recDays")->setText(QString::number(days));
    QCOMPARE(Child<QLineEdit>(&dialog, "result")->text(), QString("4096"));
    QVERIFY(Child<QLabel>(&dialog, "message")->text().isEmpty());
    QCOMPARE(Picture(Child<QLabel>(&dialog, "icon")),
             cards::CardPicture(cards::kIconCard).toImage());
    Child<QLineEdit>(&dialog, "recDays")->setText(QString::number(days + 1));
    QVERIFY(!Child<QLabel>(&dialog, "message")->text().isEmpty());
  }

  void calculatorOkValidatesAndEscapeStoresNothing() {
    {
      CardCapacityCalculator dialog;
      dialog.show();
      Child<QLineEdit>(&dialog, "recDays")->setText("12");
      QTest::keyClick(&dialog, Qt::Key_Escape);
      QVERIFY(!dialog.isVisible());
      QCOMPARE(dialog.result(), int(QDialog::Rejected));
      QCOMPARE(AppSettings().RecDays(), 90);
    }
    ModalAnswerer answers;
    answers.Press(QMessageBox::Ok);
    CardCapacityCalculator dialog;
    dialog.show();
    Child<QLineEdit>(&dialog, "recDays")->setText("12");
    Child<QLineEdit>(&dialog, "hoursDay")->setText("25");
    Child<QPushButton>(&dialog, "ok")->click();
    QCOMPARE(answers.texts(), QStringList{"Please enter an integer between 1 and 24."});
    QVERIFY(dialog.isVisible());
    QCOMPARE(AppSettings().RecDays(), 90);
    Child<QLineEdit>(&dialog, "hoursDay")->setText("24");
    Child<QPushButton>(&dialog, "ok")->click();
    QVERIFY(!dialog.isVisible());
    AppSettings settings;
    QCOMPARE(settings.RecDays(), 12);
    QCOMPARE(settings.HoursDay(), 24);
    QCOMPARE(settings.CharsEvent(), 132);
    QCOMPARE(settings.EventHours(), 30);
  }
};

QTEST_MAIN(CardDialogsTest)
#include "card_dialogs_test.moc"
