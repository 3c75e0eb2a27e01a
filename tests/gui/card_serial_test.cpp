// The card commands through the serial card drive: the recording device
// simulated by `cardsim serial` on a pseudo-terminal, reached with the drive
// "Quillbank" and the Device setting; the wake-up display and its Cancel.
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <set>

#include "app/card_commands.h"
#include "app/cards/app_settings.h"
#include "app/cards/card_ui.h"
#include "app/child_frame.h"
#include "app/gui_job_host.h"
#include "app/main_frame.h"
#include "app/progress_dialog.h"
#include "app/quillbank_doc.h"
#include "base/job_host.h"
#include "base/job_runner.h"
#include "card_test_support.h"
#include "document/record_document.h"
#include "jobs/read_card.h"

using qb::AppSettings;
using qb::test::ModalAnswerer;
using qb::test::TempDir;

class CardSerialTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env_ = std::make_unique<qb::test::ScopedEnv>();
    for (const char* name : {"DD_DEVICE", "DD_COM", "DD_BAUDRATE"}) env_->Set(name, nullptr);
    app_ = std::make_unique<qb::test::AppFixture>();
    dir_ = &app_->dir;
    frame_ = app_->frame.get();
    progress_ = app_->progress;
    image_ = dir_->File("card.img");
  }
  void cleanup() {
    simulator_.reset();
    app_.reset();
    env_.reset();
  }

  void cardReadThroughTheSerialDrive() {
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 48, "Serial 1", 40), std::string());
    qb::test::ProgramResult direct = qb::test::RunProgram(
        "readcard", {"driver=" + image_, "prompt=0", "recordoutput=" + dir_->File("direct.qbd")},
        dir_->path());
    QCOMPARE(direct.status, 0);
    StartSimulator({});
    ModalAnswerer answers;
    answers.Press(QMessageBox::Ok);
    answers.Save(QString::fromStdString(dir_->File("serial.qbd")));
    frame_->command("cardRead")->trigger();
    QVERIFY(answers.done());
    QCOMPARE(answers.unanswered(), 0);
    QCOMPARE(answers.save_proposed_, QString("Serial 1"));
    QCOMPARE(answers.texts(),
             QStringList{"Card info:\n\nID string: \"Serial 1\"\n\nQuillbank: 9600 Baud, 7E1 \n"
                         "Memory organization: ring\n"});
    // The environment the serial back-end found.
    QCOMPARE(qgetenv("DD_COM"), QByteArray("1"));
    QCOMPARE(qgetenv("DD_BAUDRATE"), QByteArray("9600"));
    QCOMPARE(qgetenv("DD_DEVICE"), QByteArray::fromStdString(slave_));
    // Same records as a direct read (but for the read date and the size the
    // drive reports), the card emptied with its ID, the document open.
    QVERIFY(QFileInfo::exists(QString::fromStdString(dir_->File("serial.qbd"))));
    QCOMPARE(frame_->childFrames().size(), 1);
    QVERIFY(frame_->childFrames().first()->document()->loaded());
    QCOMPARE(frame_->childFrames().first()->document()->core().GetLastLineIndex(),
             LinesOf(dir_->File("direct.qbd")));
    qb::JobArgs args;
    args.Set(0, "READCARD.EXE");
    args.Set(1, "driver=" + image_);
    qb::CardInfo info;
    QVERIFY(qb::ReadCardInfo(qb::BeginCardCheck(args), info));
    qb::EndCardCheck(args);
    QCOMPARE(std::string(info.comment), std::string("Serial 1"));
    QVERIFY(qb::ReadCardIsEmpty(qb::BeginCardCheck(args)));
    qb::EndCardCheck(args);
  }

  void cancelledWakeUpEndsWithoutABox_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("info") << "cardInfo";
    QTest::newRow("read") << "cardRead";
    QTest::newRow("init") << "cardInit";
  }
  void cancelledWakeUpEndsWithoutABox() {
    QFETCH(QString, command);
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 48, "Asleep", 5), std::string());
    std::string card = qb::test::SlurpFile(image_);
    StartSimulator({"--fault", "no-stx"});
    ModalAnswerer answers;
    QString text;
    std::set<qint64> icons;
    QTimer watch;
    watch.setInterval(20);
    QElapsedTimer since;
    connect(&watch, &QTimer::timeout, this, [&] {
      auto* cancel = progress_->findChild<QPushButton*>("cancel");
      if (!progress_->isVisible() || !cancel->isVisible()) return;
      if (!since.isValid()) since.start();
      text = progress_->findChild<QLabel*>("message")->text();
      QImage icon = progress_->findChild<QLabel*>("icon")->pixmap().toImage();
      icons.insert(icon == cards::CardPicture(cards::kIconWarning).toImage()     ? 148
                   : icon == cards::CardPicture(cards::kIconCardDrive).toImage() ? 149
                                                                                 : 0);
      // Watched until it has blinked (a busy machine takes longer).
      if ((icons.size() >= 2 && since.elapsed() > 1300) || since.elapsed() > 15000) {
        QByteArray folder = qgetenv("QB_SCREENSHOT_DIR");
        if (!folder.isEmpty()) progress_->grab().save(QString(folder) + "/wake_up.png");
        cancel->click();
        watch.stop();
      }
    });
    watch.start();
    frame_->command(command)->trigger();
    QCOMPARE(answers.boxes().size(), size_t(0));
    QCOMPARE(answers.unanswered(), 0);
    QCOMPARE(text, QString("Please remove PC Card from serial drive and insert it again.\nBe sure "
                           "the Quillbank is connected to the PC and the power supply is "
                           "switched on!"));
    QCOMPARE(icons, (std::set<qint64>{148, 149}));
    QVERIFY(!progress_->isVisible());
    QVERIFY(!progress_->findChild<QPushButton*>("cancel")->isVisible());
    QCOMPARE(qb::test::SlurpFile(image_), card);
    QCOMPARE(frame_->childFrames().size(), 0);
  }

  void portThatCannotOpenIsReported() {
    AppSettings settings;
    settings.SetDrive("Quillbank");
    settings.SetDevice(dir_->File("no-such-port"));
    ModalAnswerer answers;
    frame_->command("cardInfo")->trigger();
    QCOMPARE(answers.boxes().size(), size_t(1));
    QCOMPARE(answers.boxes()[0].icon, QMessageBox::Critical);
    QVERIFY2(answers.boxes()[0].text.startsWith("ERROR\nError opening COM1:"),
             qPrintable(answers.boxes()[0].text));
  }

 private:
  void StartSimulator(const std::vector<std::string>& extra) {
    simulator_ =
        std::make_unique<qb::test::SerialCardServer>(image_, dir_->File("cardsim.err"), extra);
    QVERIFY(!simulator_->slave().empty());
    slave_ = simulator_->slave();
    AppSettings settings;
    settings.SetDrive("Quillbank");
    settings.SetDevice(slave_);
  }
  static int LinesOf(const std::string& path) {
    qb::RecordDocument doc;
    return doc.LoadRecordFile(path) ? doc.GetLastLineIndex() : -2;
  }

  std::unique_ptr<qb::test::ScopedEnv> env_;
  std::unique_ptr<qb::test::AppFixture> app_;
  TempDir* dir_ = nullptr;
  CMainFrame* frame_ = nullptr;
  CProgressDialog* progress_ = nullptr;
  std::unique_ptr<qb::test::SerialCardServer> simulator_;
  std::string image_;
  std::string slave_;
};

QTEST_MAIN(CardSerialTest)
#include "card_serial_test.moc"
