// Card Init, Read and Info from the Card menu, on demo cards that the card
// driver serves as "quilUSB", with every dialog and box answered as a user
// would.
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <memory>

#include "app/card_commands.h"
#include "app/cards/app_settings.h"
#include "app/cards/card_flows.h"
#include "app/cards/card_job_launcher.h"
#include "app/child_frame.h"
#include "app/gui_job_host.h"
#include "app/long_operation.h"
#include "app/main_frame.h"
#include "app/progress_dialog.h"
#include "app/quillbank_doc.h"
#include "base/job_host.h"
#include "base/job_runner.h"
#include "base/safe_file_name.h"
#include "card_test_support.h"
#include "cardio/sector_device.h"
#include "document/read_report.h"
#include "format/record_kind.h"
#include "signing/report_signature.h"
#include "support/record_file_reader.h"
#include "support/test_keys.h"

using qb::AppSettings;
using qb::test::ModalAnswerer;
using qb::test::TempDir;

namespace {

// The card's information read straight from its image.
qb::CardInfo ImageInfo(const std::string& image) {
  qb::JobArgs args;
  args.Set(0, "READCARD.EXE");
  args.Set(1, "driver=" + image);
  qb::CardInfo info;
  bool ok = qb::ReadCardInfo(qb::BeginCardCheck(args), info);
  qb::EndCardCheck(args);
  if (!ok) info = qb::CardInfo();
  return info;
}

bool ImageIsEmpty(const std::string& image) {
  qb::JobArgs args;
  args.Set(0, "READCARD.EXE");
  args.Set(1, "driver=" + image);
  bool empty = qb::ReadCardIsEmpty(qb::BeginCardCheck(args));
  qb::EndCardCheck(args);
  return empty;
}

// The records of a record file with the option record's read date taken
// out (the only thing two reads of one card differ in).
std::vector<qb::test::FileRecord> Comparable(const std::string& bytes) {
  std::vector<qb::test::FileRecord> records;
  std::string why;
  if (!qb::test::ParseRecordFile(bytes, records, why)) qWarning("%s", why.c_str());
  for (auto& record : records) {
    if (record.kind != qb::kKindOption) continue;
    size_t date = record.data.find("# read date:");
    if (date != std::string::npos) record.data.erase(date, record.data.find('\n', date) + 1 - date);
  }
  return records;
}

bool SameRecords(const std::string& a, const std::string& b) {
  auto x = Comparable(a), y = Comparable(b);
  if (x.size() != y.size() || x.empty()) return false;
  for (size_t i = 0; i < x.size(); ++i)
    if (x[i].kind != y[i].kind || x[i].data != y[i].data) return false;
  return true;
}

QString InfoText(const QString& id, const char* rate, const char* format, const char* memory) {
  return QStringLiteral(
             "Card info:\n\nID string: \"%1\"\n\nQuillbank: %2 Baud, %3 \n"
             "Memory organization: %4\n")
      .arg(id, rate, format, memory);
}

// Fails the card driver's reads from the armed one on, as a pulled card.
struct PulledCard : qb::ForwardingSectorDevice {
  static inline qb::SectorDeviceOpener real;
  static inline long reads_left = -1;  // -1: not armed
  using qb::ForwardingSectorDevice::ForwardingSectorDevice;
  bool Read(uint8_t* buffer, uint32_t sector) override {
    if (reads_left == 0) return false;
    if (reads_left > 0) --reads_left;
    return qb::ForwardingSectorDevice::Read(buffer, sector);
  }
  static std::unique_ptr<qb::SectorDevice> Open(const std::string& path, uint16_t slot,
                                                uint32_t size) {
    std::unique_ptr<qb::SectorDevice> device = real(path, slot, size);
    if (device == nullptr) return nullptr;
    return std::make_unique<PulledCard>(std::move(device));
  }
};

}  // namespace

class CardCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    app_ = std::make_unique<qb::test::AppFixture>();
    dir_ = &app_->dir;
    frame_ = app_->frame.get();
    progress_ = app_->progress;
    commands_ = app_->commands;
    image_ = dir_->File("card.img");
  }
  void cleanup() {
    driver_.reset();
    app_.reset();
  }

  void cardInfo_data() {
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("memoryfull");
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<QString>("memory");
    QTest::newRow("ring") << QByteArray("Lab/1:A") << "Lab/1:A"
                          << "overwrite_old"
                          << "7E1"
                          << "ring";
    QTest::newRow("linear, empty ID") << QByteArray() << "<<empty>>"
                                      << "stop_logger"
                                      << "8O2"
                                      << "linear";
    QTest::newRow("formats and quotes") << QByteArray("%s%n \"q\" 'a' \\x") << "%s%n \"q\" 'a' \\x"
                                        << "overwrite_old"
                                        << "7E1"
                                        << "ring";
    QTest::newRow("control and high bytes")
        << QByteArray("A\x01\x1f<b>B</b>\xe9\xff")
        << QString::fromLatin1("A\x01\x1f<b>B</b>\xe9\xff") << "overwrite_old"
        << "7E1"
        << "ring";
    QTest::newRow("UTF-8") << QByteArray("Messplatz \xc3\xa4") << QString::fromUtf8("Messplatz ä")
                           << "overwrite_old"
                           << "7E1"
                           << "ring";
  }
  void cardInfo() {
    QFETCH(QByteArray, id);
    QFETCH(QString, shown);
    QFETCH(QString, memoryfull);
    QFETCH(QString, parameter);
    QFETCH(QString, memory);
    std::vector<std::string> options = {"prompt=0", "protocol=0x3685e294", "baudrate=9600",
                                        "parameter=" + parameter.toStdString(),
                                        "memoryfull=" + memoryfull.toStdString()};
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 64, id.toStdString(), 5, options), std::string());
    StartDriver();
    ModalAnswerer answers;
    answers.Then([](QWidget* w) {
      Shot(w, "card_info");
      qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
    });
    frame_->command("cardInfo")->trigger();
    QCOMPARE(answers.boxes().size(), size_t(1));
    const qb::test::SeenBox& box = answers.boxes()[0];
    QCOMPARE(box.text, InfoText(shown, "9600", parameter.toLatin1().constData(),
                                memory.toLatin1().constData()));
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!progress_->isVisible());
  }

  void cardInfoWithoutDriverShowsTheReasons() {
    ModalAnswerer answers;
    qb::test::ScopedEnv env;
    env.Set("DD_KDVDIR", dir_->path());
    frame_->command("cardInfo")->trigger();
    QCOMPARE(answers.boxes().size(), size_t(1));
    QCOMPARE(answers.boxes()[0].icon, QMessageBox::Critical);
    QVERIFY2(answers.boxes()[0].text.startsWith("ERROR\n"), qPrintable(answers.boxes()[0].text));
    QVERIFY(answers.boxes()[0].text.contains("Error while opening PC Card on '\\\\.\\quilUSB'"));
  }

  void cardReadNumbersProtectsEmptiesAndOpens() {
    // 40 printouts fill more than the 48 sectors: the ring wrapped.
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 48, "Lab/1:A", 40), std::string());
    qb::CardInfo before = ImageInfo(image_);
    QVERIFY(before.master != 0);
    qb::test::ProgramResult direct = qb::test::RunProgram(
        "readcard", {"driver=" + image_, "prompt=0", "recordoutput=" + dir_->File("direct.qbd")},
        dir_->path());
    QCOMPARE(direct.status, 0);
    dir_->Write("Lab.qbd", "not a record file");
    dir_->Write("Lab(4).qbd", "not a record file");
    AppSettings().SetSignKey(dir_->Write("lab.pem", qb::test::kLabKey));
    StartDriver();

    ModalAnswerer answers;
    answers.Press(QMessageBox::Ok);  // the card's information: continue
    answers.Save(QString::fromStdString(dir_->File("Lab.qbd")));
    frame_->command("cardRead")->trigger();
    QVERIFY(answers.done());
    QCOMPARE(answers.unanswered(), 0);

    // The proposed name and the dialog.
    QCOMPARE(answers.save_proposed_, QString("Lab_1_A"));
    QCOMPARE(answers.save_filters_, (QStringList{"Quillbank Manager (*.qbd)", "All Files (*.*)"}));
    QCOMPARE(answers.save_suffix_, QString("qbd"));
    QVERIFY(!answers.save_confirms_);
    // Only the card's information was shown, with OK and Cancel.
    QCOMPARE(answers.boxes().size(), size_t(1));
    QCOMPARE(answers.boxes()[0].text, InfoText("Lab/1:A", "9600", "7E1", "ring"));
    QCOMPARE(answers.boxes()[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);

    // The numbered, read-only record file holds what readcard reads.
    const std::string file = dir_->File("Lab(5).qbd");
    QVERIFY(QFileInfo::exists(QString::fromStdString(file)));
    QCOMPARE(dir_->Read("Lab.qbd"), std::string("not a record file"));
    struct stat status;
    QCOMPARE(stat(file.c_str(), &status), 0);
    QCOMPARE(status.st_mode & 0222, 0u);
    QVERIFY(SameRecords(dir_->Read("Lab(5).qbd"), dir_->Read("direct.qbd")));
    // Its read report beside it, read-only too, names it; the report is
    // signed with the lab's key of the settings.
    for (const std::string& beside : {file + ".report.json", file + ".report.sig"}) {
      QCOMPARE(stat(beside.c_str(), &status), 0);
      QCOMPARE(status.st_mode & 0222, 0u);
    }
    qb::ReadReport report;
    std::string problem;
    QVERIFY2(qb::ParseReadReport(dir_->Read("Lab(5).qbd.report.json"), report, problem),
             problem.c_str());
    QCOMPARE(report.fileName, std::string("Lab(5).qbd"));
    QCOMPARE(report.cardId, std::string("Lab/1:A"));
    QCOMPARE(report.overwritten, qb::Answer::kYes);
    qb::SignatureKey key;
    QVERIFY(key.Load(dir_->Write("lab.pub", qb::test::kLabPublicKey), problem));
    QVERIFY(key.Verify(dir_->Read("Lab(5).qbd.report.json"), dir_->Read("Lab(5).qbd.report.sig"),
                       problem));

    // The card is empty again, with its own settings and ID, a new master.
    QVERIFY(ImageIsEmpty(image_));
    qb::CardInfo after = ImageInfo(image_);
    QCOMPARE(after.baudrate, 9600u);
    QCOMPARE(std::string(after.parameter), std::string("7E1"));
    QCOMPARE(std::string(after.memoryfull), std::string("overwrite_old"));
    QCOMPARE(std::string(after.rtscontrol), std::string(before.rtscontrol));
    QCOMPARE(after.protocol, before.protocol);
    QCOMPARE(std::string(after.comment), std::string("Lab/1:A"));
    QVERIFY(after.master != before.master);
    QVERIFY(!QFileInfo::exists("comment.txt"));

    // And the recording is open.
    QCOMPARE(frame_->childFrames().size(), 1);
    CQuillbankManagerDoc* doc = frame_->childFrames().first()->document();
    QVERIFY(doc->loaded());
    QCOMPARE(doc->pathName(), QFileInfo(QString::fromStdString(file)).canonicalFilePath());
    QVERIFY(!progress_->isVisible());
  }

  void cardReadOfARecordingTheApplicationCannotLoad() {
    // No parity: the card reads, but its recording does not load.
    std::vector<std::string> options = qb::test::DemoCardOptions();
    options[3] = "parameter=8N1";
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 48, "Lab", 5, options), std::string());
    StartDriver();
    ModalAnswerer answers;
    answers.Press(QMessageBox::Ok);  // the card's information: continue
    answers.Save(QString::fromStdString(dir_->File("Lab.qbd")));
    answers.Press(QMessageBox::Ok);  // the load's error box
    frame_->command("cardRead")->trigger();
    QVERIFY(answers.done());
    // One box says why: the load's, and no second one after it.
    QCOMPARE(answers.boxes().size(), size_t(2));
    QVERIFY(answers.texts()[1].contains("Wrong parity setting detected."));
    QCOMPARE(answers.boxes()[1].icon, QMessageBox::Critical);
    QCOMPARE(frame_->childFrames().size(), 0);
    QVERIFY(QFileInfo::exists(QString::fromStdString(dir_->File("Lab.qbd"))));
  }

  // A card with a damaged sector: the read fails and offers a rescue read,
  // which skips the sector, keeps the card as it was and opens what it got.
  void cardReadOfADamagedCardOffersARescueRead_data() {
    QTest::addColumn<bool>("rescue");
    QTest::newRow("rescue read") << true;
    QTest::newRow("no rescue read") << false;
  }
  void cardReadOfADamagedCardOffersARescueRead() {
    QFETCH(bool, rescue);
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 200, "Lab", 10), std::string());
    qb::test::ProgramResult damage = qb::test::RunProgram(
        "cardsim", {"record", "--card", image_, "--demo", "3", "--damage", "8", "--quiet"},
        dir_->path());
    QCOMPARE(damage.status, 0);
    std::string card = qb::test::SlurpFile(image_);
    StartDriver();
    ModalAnswerer answers;
    answers.Press(QMessageBox::Ok);  // the card's information
    answers.Save(QString::fromStdString(dir_->File("Lab.qbd")));
    answers.Press(QMessageBox::Ok);  // the read's failure
    answers.Press(rescue ? QMessageBox::Yes : QMessageBox::No);
    if (rescue) answers.Press(QMessageBox::Ok);  // the card stays as it is
    frame_->command("cardRead")->trigger();
    QVERIFY(answers.done());
    QCOMPARE(answers.unanswered(), 0);
    QVERIFY(answers.texts()[1].contains("Checksum failure at sector 8"));
    QCOMPARE(answers.texts()[2], UiText(qb::msg::kAskRescue));
    QCOMPARE(answers.boxes()[2].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(qb::test::SlurpFile(image_), card);  // never emptied
    QCOMPARE(QFileInfo::exists(QString::fromStdString(dir_->File("Lab.qbd"))), rescue);
    QCOMPARE(frame_->childFrames().size(), rescue ? 1 : 0);
    if (!rescue) return;
    QCOMPARE(answers.texts()[3], UiText(qb::msg::kCardKeptAfterRescue));
    qb::ReadReport report;
    std::string problem;
    QVERIFY(qb::ParseReadReport(dir_->Read("Lab.qbd.report.json"), report, problem));
    QVERIFY(report.rescue);
    QCOMPARE(report.skipped.size(), size_t(1));
    QCOMPARE(report.skipped[0].firstSector, 8u);
  }

  void cardReadEmptyCard() {
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 48, "Lab", 0), std::string());
    StartDriver();
    ModalAnswerer answers;
    answers.Press(QMessageBox::Ok);
    frame_->command("cardRead")->trigger();
    QCOMPARE(answers.texts(), QStringList{"WARNING!\nNo data on PC-Card.\n\n"});
    QCOMPARE(answers.boxes()[0].icon, QMessageBox::Critical);
    QCOMPARE(frame_->childFrames().size(), 0);
  }

  void cardReadStoppedAtTheInfo() {
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 48, "Lab", 5), std::string());
    std::string card = qb::test::SlurpFile(image_);
    StartDriver();
    ModalAnswerer answers;
    answers.Press(QMessageBox::Cancel);
    frame_->command("cardRead")->trigger();
    QCOMPARE(answers.boxes().size(), size_t(1));
    QCOMPARE(answers.unanswered(), 0);
    QCOMPARE(qb::test::SlurpFile(image_), card);
    QCOMPARE(QDir(QString::fromStdString(dir_->path())).entryList({"*.qbd"}).size(), 0);
  }

  void cardPulledDuringTheRead() {
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 48, "Lab", 40), std::string());
    std::string card = qb::test::SlurpFile(image_);
    StartDriver();
    PulledCard::real = qb::OpenerFor(qb::DeviceKind::kCardDriver);
    PulledCard::reads_left = -1;
    qb::ScopedBackendOverride pulled(qb::DeviceKind::kCardDriver, PulledCard::Open);
    ModalAnswerer answers;
    answers.Press(QMessageBox::Ok);
    answers.Then([this](QWidget* w) {
      // The card goes after a few sectors of the read.
      PulledCard::reads_left = 6;
      auto* dialog = qobject_cast<QFileDialog*>(w);
      qb::test::ChooseFile(dialog, QString::fromStdString(dir_->File("pulled.qbd")));
    });
    answers.Press(QMessageBox::Ok);  // the job's failure
    answers.Press(QMessageBox::No);  // no rescue read of what is left
    frame_->command("cardRead")->trigger();
    PulledCard::reads_left = -1;
    QCOMPARE(answers.boxes().size(), size_t(3));
    QCOMPARE(answers.boxes()[1].icon, QMessageBox::Critical);
    QVERIFY2(answers.boxes()[1].text.startsWith("ERROR!\n"), qPrintable(answers.boxes()[1].text));
    QCOMPARE(answers.texts()[2], UiText(qb::msg::kAskRescue));
    // No card written, no half-written file under the name nor beside it,
    // nothing opened.
    QCOMPARE(qb::test::SlurpFile(image_), card);
    QVERIFY(!QFileInfo::exists(QString::fromStdString(dir_->File("pulled.qbd"))));
    QCOMPARE(QDir(QString::fromStdString(dir_->path()))
                 .entryList({"*pulled.qbd*"}, QDir::Files | QDir::Hidden)
                 .size(),
             0);
    QCOMPARE(frame_->childFrames().size(), 0);
  }

  void cardInitOnACardWithRecords() {
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 48, "Lab", 5), std::string());
    std::string card = qb::test::SlurpFile(image_);
    StartDriver();
    ModalAnswerer answers;
    answers.Press(QMessageBox::Ok);
    frame_->command("cardInit")->trigger();
    QCOMPARE(answers.texts(),
             QStringList{"ERROR!\nPC-Card is not empty!\n\nPlease read out the data before "
                         "initializing the PC Card."});
    QCOMPARE(answers.boxes()[0].icon, QMessageBox::Critical);
    QCOMPARE(qb::test::SlurpFile(image_), card);
  }

  void cardInitOnAnEmptyCard_data() {
    QTest::addColumn<bool>("confirm");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
  }
  void cardInitOnAnEmptyCard() {
    QFETCH(bool, confirm);
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 48, "Old", 0), std::string());
    std::string card = qb::test::SlurpFile(image_);
    AppSettings settings;
    settings.SetMemOrg(1);
    settings.SetBaudrate(9600);
    settings.SetDataBits(8);
    settings.SetParity("O");
    settings.SetStopBits(2);
    settings.SetID("Old");
    StartDriver();
    ModalAnswerer answers;
    answers.Then([](QWidget* w) {
      QCOMPARE(w->objectName(), QString("initCardDialog"));
      QCOMPARE(w->findChild<QLabel*>("optionsLine")->text(),
               QString("9600 Baud, 8O2, ring memory"));
      w->findChild<QLineEdit*>("id")->setText("Station 7");
      w->findChild<QPushButton*>("ok")->click();
    });
    answers.Press(confirm ? QMessageBox::Ok : QMessageBox::Cancel);
    frame_->command("cardInit")->trigger();
    QVERIFY(answers.done());
    QCOMPARE(answers.unanswered(), 0);
    QCOMPARE(answers.boxes().size(), size_t(1));
    const qb::test::SeenBox& box = answers.boxes()[0];
    QCOMPARE(box.text, QString("WARNING!\nThe PC-Card will be overwritten.\nAll data on the card "
                               "will be lost!\n\nAre you sure to continue?"));
    QCOMPARE(box.icon, QMessageBox::Question);
    QCOMPARE(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.default_button, QMessageBox::Cancel);
    QCOMPARE(settings.ID(), std::string("Station 7"));
    if (!confirm) {
      QCOMPARE(qb::test::SlurpFile(image_), card);
      return;
    }
    // readcard reports the settings the card got.
    qb::test::ProgramResult r = qb::test::RunProgram(
        "readcard",
        {"driver=" + image_, "prompt=0", "optionoutput=" + dir_->File("options.ini"),
         "commentoutput=" + dir_->File("comment.out"), "recordoutput=" + dir_->File("r.qbd")},
        dir_->path());
    QCOMPARE(r.status, 0);
    std::string options = dir_->Read("options.ini");
    QVERIFY2(options.find("baudrate=9600\n") != std::string::npos, options.c_str());
    QVERIFY(options.find("parameter=8O2\n") != std::string::npos);
    QVERIFY(options.find("memoryfull=overwrite_old\n") != std::string::npos);
    QVERIFY(options.find("rtscontrol=recording\n") != std::string::npos);
    QVERIFY(options.find("timeout=1000\n") != std::string::npos);
    QCOMPARE(dir_->Read("comment.out"), std::string("Station 7"));
    QVERIFY(!QFileInfo::exists("comment.txt"));
  }

  void idFileOutsideAnUnwritableFolder() {
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 48, "Old", 0), std::string());
    AppSettings().SetID("Temp folder");
    StartDriver();
    // A current folder that is gone takes no file.
    std::string gone = dir_->File("gone");
    QVERIFY(QDir().mkdir(QString::fromStdString(gone)));
    QVERIFY(QDir::setCurrent(QString::fromStdString(gone)));
    QVERIFY(QDir().rmdir(QString::fromStdString(gone)));
    ModalAnswerer answers;
    answers.Then([](QWidget* w) { w->findChild<QPushButton*>("ok")->click(); });
    answers.Press(QMessageBox::Ok);
    frame_->command("cardInit")->trigger();
    QCOMPARE(answers.boxes().size(), size_t(1));
    QCOMPARE(std::string(ImageInfo(image_).comment), std::string("Temp folder"));
    QVERIFY(QDir::setCurrent(QString::fromStdString(dir_->path())));
  }

  void idFileNeverReplacesAUsersFile() {
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 48, "Old", 0), std::string());
    AppSettings().SetID("New ID");
    dir_->Write("comment.txt", "the user's own notes");
    StartDriver();
    ModalAnswerer answers;
    answers.Then([](QWidget* w) { w->findChild<QPushButton*>("ok")->click(); });
    answers.Press(QMessageBox::Ok);
    frame_->command("cardInit")->trigger();
    QCOMPARE(std::string(ImageInfo(image_).comment), std::string("New ID"));
    QCOMPARE(dir_->Read("comment.txt"), std::string("the user's own notes"));
  }

  void cardCommandsRefusedWhileOneRuns() {
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 48, "Lab", 5), std::string());
    StartDriver();
    ModalAnswerer answers;
    bool checked = false;
    answers.Then([this, &checked](QWidget* w) {
      // Inside the Card Info box of a read: the card commands are off.
      QVERIFY(commands_->running() && LongOperation::Running());
      for (const char* name : {"cardInit", "cardRead", "cardInfo"})
        QVERIFY(!frame_->findChild<QAction*>(name)->isEnabled());
      commands_->CardInfo();  // refused: no second box
      checked = true;
      qobject_cast<QMessageBox*>(w)->button(QMessageBox::Cancel)->click();
    });
    frame_->command("cardRead")->trigger();
    QVERIFY(checked);
    QCOMPARE(answers.boxes().size(), size_t(1));
    QCOMPARE(answers.unanswered(), 0);
    QVERIFY(!commands_->running() && !LongOperation::Running());
    QVERIFY(frame_->findChild<QAction*>("cardRead")->isEnabled());
  }

  void optionCommandsOpenTheirDialogs_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("drive") << "optionsDrive"
                           << "selectDriveDialog";
    QTest::newRow("device") << "optionsDevice"
                            << "deviceOptionsDialog";
    QTest::newRow("calculator") << "optionsCalculator"
                                << "capacityCalculator";
  }
  void optionCommandsOpenTheirDialogs() {
    QFETCH(QString, command);
    QFETCH(QString, dialog);
    ModalAnswerer answers;
    QString seen;
    answers.Then([&seen](QWidget* w) {
      seen = w->objectName();
      qobject_cast<QDialog*>(w)->reject();
    });
    frame_->command(command)->trigger();
    QCOMPARE(seen, dialog);
  }

  void recordPathNumbering_data() {
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("recorded");
    QTest::newRow("free") << QStringList{} << "Lab.qbd"
                          << "Lab.qbd";
    QTest::newRow("plain exists") << QStringList{"Lab.qbd"} << "Lab.qbd"
                                  << "Lab(2).qbd";
    QTest::newRow("Lab and Lab(4)") << QStringList{"Lab.qbd", "Lab(4).qbd"} << "Lab.qbd"
                                    << "Lab(5).qbd";
    QTest::newRow("only siblings") << QStringList{"Lab(2).qbd"} << "Lab.qbd"
                                   << "Lab(3).qbd";
    QTest::newRow("chosen numbered") << QStringList{"Lab(7).qbd"} << "Lab(2).qbd"
                                     << "Lab(8).qbd";
    QTest::newRow("not a number") << QStringList{"Lab(x).qbd"} << "Lab.qbd"
                                  << "Lab.qbd";
    QTest::newRow("other extension") << QStringList{"Lab(3).txt"} << "Lab.qbd"
                                     << "Lab.qbd";
    QTest::newRow("no extension") << QStringList{"Lab", "Lab(2)"} << "Lab"
                                  << "Lab(3)";
  }
  void recordPathNumbering() {
    QFETCH(QStringList, existing);
    QFETCH(QString, chosen);
    QFETCH(QString, recorded);
    for (const QString& name : existing) dir_->Write(name.toStdString(), "x");
    QString folder = QString::fromStdString(dir_->path());
    QCOMPARE(NumberRecordPath(folder + "/" + chosen), folder + "/" + recorded);
  }

  void safeFileNames_data() {
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("slash and colon") << QByteArray("Lab/1:A") << QByteArray("Lab_1_A");
    QTest::newRow("all") << QByteArray("\"*+/:<>?\\|") << QByteArray("__________");
    QTest::newRow("control") << QByteArray("a\x01\tb\x1f") << QByteArray("a__b_");
    QTest::newRow("high bytes stay") << QByteArray("\xe9\xff.x") << QByteArray("\xe9\xff.x");
    QTest::newRow("format") << QByteArray("%s%n") << QByteArray("%s%n");
    QTest::newRow("parent folder") << QByteArray("..") << QByteArray("__");
    QTest::newRow("this folder") << QByteArray(".") << QByteArray("_");
    QTest::newRow("dots inside stay") << QByteArray("../..x") << QByteArray(".._..x");
  }
  void safeFileNames() {
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, name);
    QCOMPARE(QByteArray::fromStdString(qb::SafeFileName(id.toStdString())), name);
  }

  void jobArgumentLists() {
    AppSettings settings;
    settings.SetDrive("quil97");
    settings.SetSlot(2);
    settings.SetMemOrg(1);
    settings.SetParity("Odd");
    auto list = [](qb::JobArgs& args) {
      QStringList all;
      for (int i = 0; i < qb::JobArgs::kSlots && !args.Get(i).empty(); ++i)
        all.append(QString::fromStdString(args.Get(i)));
      return all;
    };
    qb::JobArgs init = InitArgsFromSettings("comment.txt");
    QCOMPARE(list(init),
             (QStringList{"INITCARD.EXE", "driver=\\\\.\\quil97", "slot=2", "cardsize=0",
                          "prompt=0", "logfile=", "optionfile=", "comment=comment.txt",
                          "baudrate=4800", "parameter=7O1", "protocol=0x3685e294", "timeout=1000",
                          "memoryfull=overwrite_old", "rtscontrol=recording"}));
    qb::CardInfo info;
    info.baudrate = 19200;
    std::strcpy(info.parameter, "8N2");
    info.protocol = 0x3685e294;
    std::strcpy(info.memoryfull, "stop_logger");
    std::strcpy(info.rtscontrol, "outofmemory");
    qb::JobArgs reuse = InitArgsFromCard(info, "/tmp/q/comment.txt");
    QCOMPARE(list(reuse).mid(7),
             (QStringList{"comment=/tmp/q/comment.txt", "baudrate=19200", "parameter=8N2",
                          "protocol=0x3685E294", "timeout=1000", "memoryfull=stop_logger",
                          "rtscontrol=outofmemory"}));
    settings.SetDrive("Quillbank");
    qb::JobArgs read = ReadArgs("/x/Lab.qbd");
    QCOMPARE(list(read),
             (QStringList{"READCARD.EXE", "driver=****Quillbank", "slot=2", "cardsize=0",
                          "prompt=0", "logfile=", "optionoutput=", "commentoutput=",
                          "recordoutput=/x/Lab.qbd", "format=binary", "filter=all",
                          "reportoutput=/x/Lab.qbd.report.json", "rescue=0"}));
    // The card checks reset both options, which outlive a job.
    qb::JobArgs check = ReadArgs(std::string(), false);
    QCOMPARE(list(check).mid(11), (QStringList{"reportoutput=", "rescue=0"}));
    qb::JobArgs rescue = ReadArgs("/x/Lab.qbd", true);
    QCOMPARE(list(rescue).last(), QString("rescue=1"));
  }

 private:
  void StartDriver() {
    driver_ = std::make_unique<qb::test::DemoDriver>(*dir_, image_);
    QVERIFY(driver_->ready());
  }
  static void Shot(QWidget* widget, const char* name) {
    QByteArray folder = qgetenv("QB_SCREENSHOT_DIR");
    if (!folder.isEmpty())
      widget->grab().save(QString::fromLocal8Bit(folder) + "/" + name + ".png");
  }

  std::unique_ptr<qb::test::AppFixture> app_;
  TempDir* dir_ = nullptr;
  CMainFrame* frame_ = nullptr;
  CProgressDialog* progress_ = nullptr;
  CardCommands* commands_ = nullptr;
  std::unique_ptr<qb::test::DemoDriver> driver_;
  std::string image_;
};

QTEST_MAIN(CardCommandsTest)
#include "card_commands_test.moc"
