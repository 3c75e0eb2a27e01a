// What the card and export GUI tests share besides the fixture: a watcher
// that answers modal dialogs and message boxes as a user would (and records
// every box with its icon, buttons and default button), demo cards made
// with the programs, and the card driver serving one as "quilUSB".
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui_fixture.h"
#include "support/card_servers.h"
#include "support/run_program.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace qb::test {

// Types `path` into the file dialog's name field and accepts it.
inline void ChooseFile(QFileDialog* dialog, const QString& path) {
  if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
    edit->setText(path);
  else
    dialog->selectFile(path);
  static_cast<QDialog*>(dialog)->accept();
}

// A message box as the user saw it.
struct SeenBox {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString text;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton default_button = QMessageBox::NoButton;
};

// Answers the modal windows that open, one handler each, in order. A box
// with no handler left is recorded and closed with Escape's answer, a
// dialog with no handler left is rejected, so that a test never hangs.
class ModalAnswerer : public QObject {
 public:
  using Handler = std::function<void(QWidget*)>;

  ModalAnswerer() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start();
  }

  // The next modal window gets `handler`.
  void Then(Handler handler) { handlers_.push_back(std::move(handler)); }
  // The next modal window must be a message box: press `button`.
  void Press(QMessageBox::StandardButton button) {
    Then([button](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (box == nullptr) {
        qobject_cast<QDialog*>(w)->reject();
        return;
      }
      if (QAbstractButton* b = box->button(button)) b->click();
    });
  }
  // The next modal window must be the Save dialog: choose `path`.
  void Save(const QString& path, QFileDialog** seen = nullptr) {
    Then([this, path, seen](QWidget* w) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      if (dialog == nullptr) {
        qobject_cast<QDialog*>(w)->reject();
        return;
      }
      save_filters_ = dialog->nameFilters();
      save_suffix_ = dialog->defaultSuffix();
      save_confirms_ = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
      save_proposed_ = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                           ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text()
                           : QString();
      save_folder_ = dialog->directory().absolutePath();
      if (seen) *seen = dialog;
      if (path.isEmpty()) {
        dialog->reject();
        return;
      }
      ChooseFile(dialog, path);
    });
  }
  // Rejects the next modal window.
  void Reject() {
    Then([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
  }

  const std::vector<SeenBox>& boxes() const { return boxes_; }
  QStringList texts() const {
    QStringList all;
    for (const SeenBox& box : boxes_) all.append(box.text);
    return all;
  }
  int unanswered() const { return unanswered_; }
  bool done() const { return handlers_.empty(); }

  QStringList save_filters_;
  QString save_suffix_;
  QString save_proposed_;
  QString save_folder_;
  bool save_confirms_ = true;

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible() || modal == last_) return;
    last_ = modal;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      SeenBox seen;
      seen.icon = box->icon();
      seen.text = box->text();
      seen.buttons = box->standardButtons();
      if (QPushButton* d = box->defaultButton()) seen.default_button = box->standardButton(d);
      boxes_.push_back(seen);
    }
    if (handlers_.empty()) {
      ++unanswered_;
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
      return;
    }
    // Run from the queue: a window the handler opens modally is then
    // answered by the next poll.
    Handler handler = std::move(handlers_.front());
    handlers_.pop_front();
    QPointer<QWidget> target = modal;
    QTimer::singleShot(0, this, [handler, target] {
      if (target) handler(target);
    });
  }

  QTimer timer_;
  std::deque<Handler> handlers_;
  std::vector<SeenBox> boxes_;
  QPointer<QWidget> last_;
  int unanswered_ = 0;
};

// The options of a demo card: ring memory, 9600 Baud, 7E1.
inline const std::vector<std::string>& DemoCardOptions() {
  static const std::vector<std::string> options = {"prompt=0", "protocol=0x3685e294",
                                                   "baudrate=9600", "parameter=7E1",
                                                   "memoryfull=overwrite_old"};
  return options;
}

// A card image `path` of `sectors` sectors prepared by initcard with `id`
// and `options`, then filled with `printouts` demo printouts by cardsim (none
// for 0). Empty text on success, else what failed.
inline std::string MakeCard(const TempDir& dir, const std::string& path, int sectors,
                            const std::string& id, int printouts,
                            const std::vector<std::string>& options = DemoCardOptions()) {
  ProgramResult r =
      RunProgram("cardsim", {"blank", "--sectors", std::to_string(sectors), path}, dir.path());
  if (r.status != 0) return "cardsim blank: " + r.err;
  std::string id_file = dir.Write("card-id.txt", id);
  std::vector<std::string> args = {"driver=" + path, "comment=" + id_file};
  args.insert(args.end(), options.begin(), options.end());
  r = RunProgram("initcard", args, dir.path());
  if (r.status != 0) return "initcard: " + r.err;
  if (printouts > 0) {
    r = RunProgram("cardsim",
                   {"record", "--card", path, "--demo", std::to_string(printouts), "--quiet"},
                   dir.path());
    if (r.status != 0) return "cardsim record: " + r.err;
  }
  return std::string();
}

// The card driver serving `image` in slot 0 as "quilUSB", with its socket in
// a folder of the test.
class DemoDriver {
 public:
  DemoDriver(const TempDir& dir, const std::string& image, const std::string& name = "quilUSB") {
    env_.Set("DD_KDVDIR", dir.path());
    driver_ = std::make_unique<CardDriverServer>(name, image, dir.File("carddriver.err"));
    ready_ = driver_->Ready();
  }
  bool ready() const { return ready_; }
  void Stop() { driver_->Stop(); }

 private:
  ScopedEnv env_;
  std::unique_ptr<CardDriverServer> driver_;
  bool ready_ = false;
};

}  // namespace qb::test
