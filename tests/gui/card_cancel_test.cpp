// Breaking off a card read: Escape in the progress dialog during Card Read
// through each drive (the card driver, the serial drive on a slow line, a
// card image read as a plain file), and the Cancel button of the serial
// drive's wake-up display. The key is queued from another thread at a moment
// of its own, as a real key arrives whenever the user presses it, so the time
// measured from the key to the job's end includes the wait until the job
// next looks. The card stays as it was and no record file is left.
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "app/cards/app_settings.h"
#include "app/child_frame.h"
#include "app/gui_job_host.h"
#include "app/main_frame.h"
#include "app/progress_dialog.h"
#include "base/job_host.h"
#include "base/job_runner.h"
#include "base/messages.h"
#include "card_test_support.h"
#include "cardio/sector_device.h"
#include "jobs/read_card.h"

using qb::test::ModalAnswerer;
using Clock = std::chrono::steady_clock;

namespace {

// A card behind a slow reader: every sector read takes a few milliseconds,
// so that a read of a few hundred sectors lasts long enough to break off.
struct SlowCard : qb::ForwardingSectorDevice {
  static inline qb::SectorDeviceOpener real;
  using qb::ForwardingSectorDevice::ForwardingSectorDevice;
  bool Read(uint8_t* buffer, uint32_t sector) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(4));
    return qb::ForwardingSectorDevice::Read(buffer, sector);
  }
  static std::unique_ptr<qb::SectorDevice> Open(const std::string& path, uint16_t slot,
                                                uint32_t size) {
    std::unique_ptr<qb::SectorDevice> device = real(path, slot, size);
    if (device == nullptr) return nullptr;
    return std::make_unique<SlowCard>(std::move(device));
  }
};

// The application's job host that notes when a job's failure box opens: the
// moment the job has ended.
class TimedHost : public GuiJobHost {
 public:
  using GuiJobHost::GuiJobHost;
  void ShowErrorBox(const std::string& text) override {
    if (!ended) ended = Clock::now();
    GuiJobHost::ShowErrorBox(text);
  }
  std::optional<Clock::time_point> ended;
};

// Queues `action` on `target`'s thread `delay_ms` after Start, from a thread
// of its own, and notes when it did.
class QueuedPress {
 public:
  ~QueuedPress() {
    if (thread_.joinable()) thread_.join();
  }
  void Start(QWidget* target, int delay_ms, std::function<void(QWidget*)> action) {
    thread_ = std::thread([this, target, delay_ms, action] {
      std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
      pressed_ = Clock::now().time_since_epoch().count();
      QMetaObject::invokeMethod(
          target, [target, action] { action(target); }, Qt::QueuedConnection);
    });
  }
  bool started() const { return thread_.joinable(); }
  // Milliseconds from the press to `end`; -1 when nothing was pressed.
  double MillisUntil(Clock::time_point end) {
    if (thread_.joinable()) thread_.join();
    if (pressed_ == 0) return -1;
    Clock::time_point pressed{Clock::duration(pressed_.load())};
    return std::chrono::duration<double, std::milli>(end - pressed).count();
  }

 private:
  std::thread thread_;
  std::atomic<Clock::rep> pressed_{0};
};

void PressEscape(QWidget* dialog) {
  QTest::keyClick(dialog, Qt::Key_Escape);
}

// Generous for a loaded machine; the figures themselves are printed.
constexpr double kBoundMs = 500;

}  // namespace

class CardCancelTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env_ = std::make_unique<qb::test::ScopedEnv>();
    for (const char* name : {"DD_DEVICE", "DD_COM", "DD_BAUDRATE", "DD_TSOHSTX"})
      env_->Set(name, nullptr);
    app_ = std::make_unique<qb::test::AppFixture>();
    dir_ = &app_->dir;
    host_ = std::make_unique<TimedHost>(app_->progress, app_->frame.get());
    scoped_ = std::make_unique<qb::ScopedJobHost>(host_.get());
    image_ = dir_->File("card.img");
  }
  void cleanup() {
    server_.reset();
    serial_.reset();
    scoped_.reset();
    host_.reset();
    app_.reset();
    env_.reset();
  }

  void escapeEndsTheReadAtOnce_data() {
    QTest::addColumn<int>("drive");
    QTest::addColumn<int>("sectors");
    QTest::addColumn<int>("printouts");
    QTest::addColumn<int>("delay");  // ms from the read's start to the key
    QTest::newRow("card driver") << int(qb::DeviceKind::kCardDriver) << 400 << 300 << 400;
    // 9600 Baud: one sector takes about 0.55 s on the line, so the key comes
    // in the middle of a sector's transfer.
    QTest::newRow("serial drive, 9600 Baud")
        << int(qb::DeviceKind::kSerialDrive) << 48 << 40 << 1500;
    QTest::newRow("card image") << int(qb::DeviceKind::kRawDrive) << 400 << 300 << 400;
  }
  void escapeEndsTheReadAtOnce() {
    QFETCH(int, drive);
    QFETCH(int, sectors);
    QFETCH(int, printouts);
    QFETCH(int, delay);
    const auto kind = static_cast<qb::DeviceKind>(drive);
    QCOMPARE(qb::test::MakeCard(*dir_, image_, sectors, "Lab", printouts), std::string());
    const std::string card = qb::test::SlurpFile(image_);
    const QString record = QString::fromStdString(dir_->File("Lab.qbd"));

    std::optional<qb::ScopedBackendOverride> slow;
    if (kind != qb::DeviceKind::kSerialDrive) {
      SlowCard::real = qb::OpenerFor(kind);
      slow.emplace(kind, SlowCard::Open);
    }
    QueuedPress press;
    ModalAnswerer answers;
    if (kind == qb::DeviceKind::kRawDrive) {
      // A card image is read by the job itself; the application's drives
      // never name one. The job runs as Card Read runs it.
      answers.Press(QMessageBox::Ok);  // the job's failure
      CProgressDialog* progress = app_->progress;
      progress->Reset();
      progress->SetCaption(qb::msg::kCaptionRead);
      progress->SetText(qb::msg::kPleaseWait);
      progress->Show(true);
      press.Start(progress, delay, PressEscape);
      qb::JobArgs args;
      args.Set(0, "READCARD.EXE");
      args.Set(1, "driver=" + image_);
      args.Set(2, "prompt=0");
      args.Set(3, "recordoutput=" + record.toStdString());
      QVERIFY(!qb::RunJob(qb::ReadCardMain, args));
      progress->Show(false);
      progress->Reset();
    } else {
      if (kind == qb::DeviceKind::kCardDriver) {
        server_ = std::make_unique<qb::test::DemoDriver>(*dir_, image_);
        QVERIFY(server_->ready());
      } else {
        QVERIFY(ServeSerial({"--pace", "9600"}));
      }
      answers.Press(QMessageBox::Ok);  // the card's information
      answers.Save(record);
      answers.Press(QMessageBox::Ok);  // the job's failure
      // The key's moment is counted from the read job's start.
      QTimer watch;
      watch.setInterval(5);
      connect(&watch, &QTimer::timeout, this, [&] {
        CProgressDialog* progress = app_->progress;
        if (press.started() || !progress->isVisible() ||
            progress->windowTitle() != QStringLiteral("Reading from PC-Card"))
          return;
        press.Start(progress, delay, PressEscape);
      });
      watch.start();
      app_->frame->command("cardRead")->trigger();
    }

    QVERIFY(host_->ended.has_value());
    const double millis = press.MillisUntil(*host_->ended);
    qInfo("%s: %.1f ms from Escape to the job's end", QTest::currentDataTag(), millis);
    QVERIFY(millis >= 0);
    QVERIFY2(millis < kBoundMs, qPrintable(QString::number(millis)));
    QVERIFY(answers.done());
    QVERIFY2(answers.texts().last().startsWith("ERROR!\nUser break\n"),
             qPrintable(answers.texts().last()));
    // The card as it was, no record file under the name nor beside it,
    // nothing opened.
    QVERIFY(qb::test::SlurpFile(image_) == card);
    QCOMPARE(QDir(QString::fromStdString(dir_->path()))
                 .entryList({"*.qbd*", ".*.qbd*"}, QDir::Files | QDir::Hidden)
                 .size(),
             0);
    QCOMPARE(app_->frame->childFrames().size(), 0);
    QVERIFY(!app_->progress->isVisible());
  }

  void wakeUpCancelEndsAtOnce() {
    // A drive that never answers, with a long wait for each answer: Cancel
    // must not sit out the wait.
    QCOMPARE(qb::test::MakeCard(*dir_, image_, 48, "Asleep", 5), std::string());
    const std::string card = qb::test::SlurpFile(image_);
    env_->Set("DD_TSOHSTX", "5000");
    QVERIFY(ServeSerial({"--fault", "no-stx"}));

    QueuedPress press;
    QTimer watch;
    watch.setInterval(5);
    connect(&watch, &QTimer::timeout, this, [&] {
      auto* cancel = app_->progress->findChild<QPushButton*>("cancel");
      if (press.started() || !app_->progress->isVisible() || !cancel->isVisible()) return;
      // Into the second try's wait for the drive.
      press.Start(cancel, 900, [](QWidget* button) { static_cast<QPushButton*>(button)->click(); });
    });
    watch.start();
    ModalAnswerer answers;
    app_->frame->command("cardRead")->trigger();
    const Clock::time_point ended = Clock::now();
    const double millis = press.MillisUntil(ended);
    qInfo("wake-up: %.1f ms from Cancel to the command's end", millis);
    QVERIFY(millis >= 0);
    QVERIFY2(millis < kBoundMs, qPrintable(QString::number(millis)));
    QCOMPARE(answers.boxes().size(), size_t(0));
    QVERIFY(qb::test::SlurpFile(image_) == card);
    QVERIFY(!app_->progress->isVisible());
  }

 private:
  // Serves the card image as the serial drive (cardsim serial with `options`)
  // and points the Drive setting at it.
  bool ServeSerial(std::vector<std::string> options) {
    serial_ = std::make_unique<qb::test::SerialCardServer>(image_, dir_->File("cardsim.err"),
                                                           std::move(options));
    if (serial_->slave().empty()) return false;
    qb::AppSettings settings;
    settings.SetDrive("Quillbank");
    settings.SetDevice(serial_->slave());
    return true;
  }

  std::unique_ptr<qb::test::ScopedEnv> env_;
  std::unique_ptr<qb::test::AppFixture> app_;
  qb::test::TempDir* dir_ = nullptr;
  std::unique_ptr<TimedHost> host_;
  std::unique_ptr<qb::ScopedJobHost> scoped_;
  std::unique_ptr<qb::test::DemoDriver> server_;
  std::unique_ptr<qb::test::SerialCardServer> serial_;
  std::string image_;
};

QTEST_MAIN(CardCancelTest)
#include "card_cancel_test.moc"
