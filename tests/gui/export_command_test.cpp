// File > Export from the main frame: the proposed name and folder, the Save
// dialog, the overwrite question, the progress with Cancel and its two
// questions, and bytes exactly as `qbd export` writes them.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/card_commands.h"
#include "app/cards/app_settings.h"
#include "app/gui_job_host.h"
#include "app/main_frame.h"
#include "app/progress_dialog.h"
#include "base/job_host.h"
#include "card_test_support.h"
#include "support/record_file_builder.h"

using qb::AppSettings;
using qb::test::ModalAnswerer;
using qb::test::TempDir;

class ExportCommandTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    app_ = std::make_unique<qb::test::AppFixture>();
    dir_ = &app_->dir;
    frame_ = app_->frame.get();
    progress_ = app_->progress;
    commands_ = app_->commands;
    QVERIFY(QDir().mkpath(Path("out")));
    AppSettings().SetExportPath(dir_->File("out/"));
  }
  void cleanup() { app_.reset(); }

  void defaultNameFolderAndBytes() {
    qb::test::RecordFileBuilder file;
    file.Head("Export")
        .Line("first\r\n")
        .Line(
            "\x1b"
            "E bold \x0c")
        .Line("third\r\n");
    file.BreakChecksum().Line("fifth\r\n").End();
    Open("A+B.qbd", file.bytes());
    ModalAnswerer answers;
    answers.Save(Path("out/A_B.txt"));
    frame_->command("fileExport")->trigger();
    QVERIFY(answers.done());
    QCOMPARE(answers.boxes().size(), size_t(0));
    QCOMPARE(answers.save_proposed_, QString("A_B.txt"));
    QCOMPARE(answers.save_folder_, Path("out"));
    QCOMPARE(answers.save_filters_, (QStringList{"Text file (*.txt)", "All Files (*.*)"}));
    QCOMPARE(answers.save_suffix_, QString("txt"));
    QVERIFY(!answers.save_confirms_);
    QCOMPARE(dir_->Read("out/A_B.txt"), QbdExport("A+B.qbd"));
    QVERIFY(dir_->Read("out/A_B.txt")
                .find("!!!WARNING!!! This record was manipulated "
                      "!!!WARNING!!!\r\n") != std::string::npos);
    QCOMPARE(AppSettings().ExportPath(), dir_->File("out/"));

    // Another folder and a name without extension: the folder is kept for
    // the next export, the extension added.
    QVERIFY(QDir().mkpath(Path("other")));
    answers.Save(Path("other/plain"));
    frame_->command("fileExport")->trigger();
    QCOMPARE(dir_->Read("other/plain.txt"), QbdExport("A+B.qbd"));
    QCOMPARE(AppSettings().ExportPath(), dir_->File("other/"));
  }

  void existingFile_data() {
    QTest::addColumn<bool>("replace");
    QTest::newRow("No keeps it") << false;
    QTest::newRow("Yes replaces it") << true;
  }
  void existingFile() {
    QFETCH(bool, replace);
    Open("doc.qbd", qb::test::RecordFileWithLines({"one\r\n", "two\r\n"}));
    dir_->Write("out/doc.txt", "old text");
    ModalAnswerer answers;
    answers.Save(Path("out/doc.txt"));
    answers.Press(replace ? QMessageBox::Yes : QMessageBox::No);
    frame_->command("fileExport")->trigger();
    QCOMPARE(answers.boxes().size(), size_t(1));
    const qb::test::SeenBox& box = answers.boxes()[0];
    QCOMPARE(box.text, QString("WARNING!\nDestination file already exists!\n\nAre you sure to "
                               "overwrite the file\n%1 ?")
                           .arg(Path("out/doc.txt")));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.default_button, QMessageBox::No);
    QCOMPARE(dir_->Read("out/doc.txt"), replace ? QbdExport("doc.qbd") : std::string("old text"));
  }

  void targetThatCannotBeDeleted() {
    Open("doc.qbd", qb::test::RecordFileWithLines({"one\r\n"}));
    dir_->Write("out/busy.txt", "old text");
    ModalAnswerer answers;
    answers.Save(Path("out/busy.txt"));
    // While the question is open, the name comes to stand for a folder that
    // holds a file: the delete fails.
    answers.Then([this](QWidget* w) {
      QVERIFY(QFile::remove(Path("out/busy.txt")));
      QVERIFY(QDir().mkpath(Path("out/busy.txt/inside")));
      qobject_cast<QMessageBox*>(w)->button(QMessageBox::Yes)->click();
    });
    answers.Press(QMessageBox::Ok);
    frame_->command("fileExport")->trigger();
    QCOMPARE(answers.boxes().size(), size_t(2));
    QCOMPARE(answers.boxes()[1].text,
             QString("ERROR!\nCannot overwrite target file\n%1\n\n(%2)")
                 .arg(Path("out/busy.txt"), QString::fromLocal8Bit(strerror(EISDIR))));
    QCOMPARE(answers.boxes()[1].icon, QMessageBox::Critical);
  }

  void theDocumentItselfIsRefused() {
    const std::string bytes = qb::test::RecordFileWithLines({"one\r\n"});
    Open("doc.qbd", bytes);
    ModalAnswerer answers;
    answers.Save(Path("doc.qbd"));
    answers.Press(QMessageBox::Yes);  // replace it
    answers.Press(QMessageBox::Ok);
    frame_->command("fileExport")->trigger();
    QCOMPARE(answers.boxes().size(), size_t(2));
    QCOMPARE(answers.boxes()[1].text,
             QString("ERROR!\nThe export file\n%1\nis the document itself.").arg(Path("doc.qbd")));
    QCOMPARE(answers.boxes()[1].icon, QMessageBox::Critical);
    QCOMPARE(dir_->Read("doc.qbd"), bytes);
  }

  void cancelQuestions_data() {
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("Yes, No: no file") << QList<int>{QMessageBox::Yes, QMessageBox::No} << "none";
    QTest::newRow("Yes, Yes: lines kept")
        << QList<int>{QMessageBox::Yes, QMessageBox::Yes} << "part";
    QTest::newRow("No: goes on") << QList<int>{QMessageBox::No} << "all";
  }
  void cancelQuestions() {
    QFETCH(QList<int>, answers);
    QFETCH(QString, outcome);
    // For a picture the export must outlast its first progress update.
    bool picture = !qgetenv("QB_SCREENSHOT_DIR").isEmpty();
    std::vector<std::string> lines;
    for (int i = 0; i < (picture ? 600000 : 60000); ++i)
      lines.push_back("Line " + std::to_string(i) + " of a long printout, weight 12.345 g\r\n");
    Open("long.qbd", qb::test::RecordFileWithLines(lines));
    ModalAnswerer modal;
    modal.Save(Path("out/long.txt"));
    for (int answer : answers) modal.Press(static_cast<QMessageBox::StandardButton>(answer));
    // Cancel as soon as the export's progress shows (for a picture, once it
    // has shown its first line).
    QString caption;
    QTimer watch;
    watch.setInterval(5);
    connect(&watch, &QTimer::timeout, this, [&] {
      for (CProgressDialog* dialog : frame_->findChildren<CProgressDialog*>()) {
        if (dialog == progress_ || !dialog->isVisible()) continue;
        auto* bar = dialog->findChild<QProgressBar*>("progressBar");
        if (picture && bar->value() <= 0) return;
        if (picture)
          dialog->grab().save(QString(qgetenv("QB_SCREENSHOT_DIR")) + "/export_progress.png");
        caption = dialog->windowTitle();
        QVERIFY(bar->isVisible());
        QVERIFY(dialog->findChild<QLabel*>("percent")->isVisible());
        QVERIFY(dialog->findChild<QLabel*>("time")->isVisible());
        dialog->findChild<QPushButton*>("cancel")->click();
        watch.stop();
      }
    });
    watch.start();
    frame_->command("fileExport")->trigger();
    QVERIFY(modal.done());
    QCOMPARE(caption, QString("Quillbank Manager"));
    QStringList expected = {"Are you sure to abort this function?"};
    if (answers.size() > 1) expected.append("Do you want to hold the past results?");
    QCOMPARE(modal.texts(), expected);
    QCOMPARE(modal.boxes()[0].icon, QMessageBox::Question);
    QCOMPARE(modal.boxes()[0].default_button, QMessageBox::No);
    const std::string all = QbdExport("long.qbd");
    const bool exists = QFileInfo::exists(Path("out/long.txt"));
    if (outcome == "none") {
      QVERIFY(!exists);
    } else if (outcome == "part") {
      std::string part = dir_->Read("out/long.txt");
      QVERIFY(!part.empty());
      QVERIFY(part.size() < all.size());
      QCOMPARE(all.compare(0, part.size(), part), 0);
    } else {
      QCOMPARE(dir_->Read("out/long.txt"), all);
    }
  }

  void withoutADocumentNothingHappens() {
    ModalAnswerer answers;
    commands_->Export(nullptr);
    QTest::qWait(30);
    QCOMPARE(answers.unanswered(), 0);
    QCOMPARE(answers.boxes().size(), size_t(0));
  }

 private:
  QString Path(const std::string& name) const { return QString::fromStdString(dir_->File(name)); }
  void Open(const std::string& name, const std::string& bytes) {
    dir_->Write(name, bytes);
    QVERIFY(frame_->OpenDocumentFile(Path(name)) != nullptr);
  }
  std::string QbdExport(const std::string& name) const {
    QFile::remove(Path("qbd-export.txt"));
    qb::test::ProgramResult r = qb::test::RunProgram(
        "qbd", {"export", dir_->File(name), dir_->File("qbd-export.txt")}, dir_->path());
    if (r.status != 0) return "qbd export failed: " + r.err;
    return dir_->Read("qbd-export.txt");
  }

  std::unique_ptr<qb::test::AppFixture> app_;
  TempDir* dir_ = nullptr;
  CMainFrame* frame_ = nullptr;
  CProgressDialog* progress_ = nullptr;
  CardCommands* commands_ = nullptr;
};

QTEST_MAIN(ExportCommandTest)
#include "export_command_test.moc"
