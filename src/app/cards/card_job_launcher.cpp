#include "app/cards/card_job_launcher.h"
#include "app/ui_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "app/cards/app_settings.h"
#include "app/cards/card_ui.h"
#include "app/progress_dialog.h"
#include "base/error_report.h"
#include "base/job_cleanup.h"
#include "base/job_runner.h"
#include "base/job_status.h"
#include "base/messages.h"
#include "base/text_format.h"
#include "cardio/serial_drive_device.h"
#include "document/read_report.h"
#include "jobs/init_card.h"
#include "platform/posix_names.h"

namespace {

// The protocol value every card gets from the settings.
constexpr const char* kProtocol = "protocol=0x3685e294";

std::string DriverPathSetting() {
  qb::AppSettings settings;
  return qb::AppSettings::DriverPath(settings.Drive());
}

// Entries 0 to 5, which both jobs' lists begin with: the program, the drive
// and slot of the settings, the whole card, no prompts, no log file.
qb::JobArgs JobArgsHead(const char* program) {
  qb::AppSettings settings;
  qb::JobArgs args;
  args.Set(0, program);
  args.Set(1, "driver=" + DriverPathSetting());
  args.Set(2, qb::FormatText("slot=%i", settings.Slot()));
  args.Set(3, "cardsize=0");
  args.Set(4, "prompt=0");
  args.Set(5, "logfile=");
  return args;
}

// Entries 0 to 7 of INITCARD's list.
qb::JobArgs InitArgsHead(const std::string& id_file) {
  qb::JobArgs args = JobArgsHead("INITCARD.EXE");
  args.Set(6, "optionfile=");
  args.Set(7, "comment=" + id_file);
  return args;
}

// Writes all of `bytes` to a new file `path` (it must not exist); false with
// errno set when anything fails, and then no file is left.
bool WriteNewFile(const std::string& path, const std::string& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int saved = n < 0 ? errno : EIO;
      ::close(fd);
      ::unlink(path.c_str());
      errno = saved;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) {
    int saved = errno;
    ::unlink(path.c_str());
    errno = saved;
    return false;
  }
  return true;
}

// Whether the error report names a sector that could not be read or failed
// its check.
bool ErrorsNameDamage() {
  for (const qb::Message<unsigned long>* message :
       {&qb::msg::kReadError, &qb::msg::kChecksumFailure, &qb::msg::kReadingRecordSector}) {
    std::string text = message->text;
    text.resize(text.find('%'));
    for (const std::string& reported : qb::ErrorList())
      if (reported.rfind(text, 0) == 0) return true;
  }
  return false;
}

}  // namespace

qb::JobArgs InitArgsFromSettings(const std::string& id_file) {
  qb::AppSettings settings;
  qb::JobArgs args = InitArgsHead(id_file);
  args.Set(8, qb::FormatText("baudrate=%i", settings.Baudrate()));
  std::string parity = settings.Parity();
  std::string parameter = qb::FormatText("parameter=%i", settings.DataBits());
  // A stored parity without a character ends the text there, as a NUL would.
  if (!parity.empty() && parity[0] != '\0')
    parameter += parity[0] + qb::FormatText("%i", settings.StopBits());
  args.Set(9, parameter);
  args.Set(10, kProtocol);
  args.Set(11, "timeout=1000");
  args.Set(12, "memoryfull=" + settings.MemoryFullValue());
  args.Set(13, "rtscontrol=recording");
  return args;
}

qb::JobArgs InitArgsFromCard(const qb::CardInfo& info, const std::string& id_file) {
  qb::JobArgs args = InitArgsHead(id_file);
  args.Set(8, qb::FormatText("baudrate=%i", static_cast<int>(info.baudrate)));
  args.Set(9, std::string("parameter=") + info.parameter);
  args.Set(10, qb::FormatText("protocol=0x%08X", static_cast<unsigned>(info.protocol)));
  args.Set(11, "timeout=1000");
  args.Set(12, std::string("memoryfull=") + info.memoryfull);
  args.Set(13, std::string("rtscontrol=") + info.rtscontrol);
  return args;
}

qb::JobArgs ReadArgs(const std::string& record_output, bool rescue) {
  qb::JobArgs args = JobArgsHead("READCARD.EXE");
  args.Set(6, "optionoutput=");
  args.Set(7, "commentoutput=");
  args.Set(8, "recordoutput=" + record_output);
  args.Set(9, "format=binary");
  args.Set(10, "filter=all");
  args.Set(11, "reportoutput=" +
                   (record_output.empty() ? std::string() : qb::ReadReportPath(record_output)));
  args.Set(12, rescue ? "rescue=1" : "rescue=0");
  return args;
}

void SetSerialDriveEnvironment() {
  qb::AppSettings settings;
  qputenv("DD_COM", QByteArray::fromStdString(qb::FormatText("%i", settings.Com())));
  qputenv("DD_BAUDRATE", QByteArray::fromStdString(qb::FormatText("%i", settings.Baud())));
  // An emptied Device setting gives back what the user started the
  // application with.
  static const std::optional<std::string> kStartDevice =
      std::getenv("DD_DEVICE") ? std::optional<std::string>(std::getenv("DD_DEVICE"))
                               : std::nullopt;
  std::string device = settings.Device();
  if (!device.empty())
    qputenv("DD_DEVICE", QByteArray::fromStdString(device));
  else if (kStartDevice)
    qputenv("DD_DEVICE", QByteArray::fromStdString(*kStartDevice));
  else
    qunsetenv("DD_DEVICE");
}

CardJobLauncher::CardJobLauncher(CProgressDialog* progress, QWidget* parent)
    : progress_(progress), parent_(parent) {}

void CardJobLauncher::ShowWait(const qb::Message<>& caption) {
  if (progress_ == nullptr) return;
  progress_->Reset();
  progress_->SetCaption(caption);
  progress_->ShowProgressBar(false);
  progress_->SetText(qb::msg::kPleaseWait);
  progress_->Show(true);
}

void CardJobLauncher::HideWait() {
  if (progress_ == nullptr) return;
  progress_->Show(false);
  progress_->Reset();
}

std::string CardJobLauncher::WriteIdFile(const std::string& id) {
  RemoveIdFile();
  // The current folder first. A file of that name the user keeps there is
  // never replaced (it would be deleted after the job): then, as when the
  // folder is not writable, a private folder in the temporary folder.
  if (WriteNewFile(kIdFileName, id)) {
    id_file_ = kIdFileName;
    return id_file_;
  }
  int first_error = errno;
  QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/quillbank-XXXXXX"));
  if (!folder.isValid()) {
    errno = first_error;
    return std::string();
  }
  folder.setAutoRemove(false);
  id_folder_ = cards::LocalPath(folder.path());
  std::string path = id_folder_ + "/" + kIdFileName;
  if (!WriteNewFile(path, id)) {
    int error = errno;
    RemoveIdFile();
    errno = error;
    return std::string();
  }
  id_file_ = path;
  return id_file_;
}

void CardJobLauncher::RemoveIdFile() {
  if (!id_file_.empty()) ::unlink(id_file_.c_str());
  if (!id_folder_.empty()) ::rmdir(id_folder_.c_str());
  id_file_.clear();
  id_folder_.clear();
}

bool CardJobLauncher::RunInit(bool reuse) {
  SetSerialDriveEnvironment();
  qb::AppSettings settings;
  qb::CardInfo info;
  bool from_card = reuse && FetchCardInfo(info, true);
  if (cancelled_) return false;
  std::string id = from_card ? card_id_ : settings.ID();
  std::string id_file = WriteIdFile(id);
  if (id_file.empty()) {
    ShowBox(parent_, QMessageBox::Critical,
            UiText(qb::msg::kCannotCreateIdFile) + QStringLiteral("\n\n") +
                QString::fromLocal8Bit(std::strerror(errno)));
    return false;
  }
  qb::JobArgs args = from_card ? InitArgsFromCard(info, id_file) : InitArgsFromSettings(id_file);
  if (qb::AppSettings::IsSerialDrive(DriverPathSetting()) && !WakeSerialDrive()) {
    RemoveIdFile();
    return false;
  }
  ShowWait(qb::msg::kCaptionInit);
  bool ok = qb::RunJob(qb::InitCardMain, args);
  HideWait();
  RemoveIdFile();
  return ok;
}

bool CardJobLauncher::RunRead(const std::string& path, bool rescue) {
  SetSerialDriveEnvironment();
  record_output_ = path;
  read_hit_damage_ = false;
  qb::JobArgs args = ReadArgs(record_output_, rescue);
  bool ok = false;
  if (PrepareDrive()) {
    ShowWait(qb::msg::kCaptionRead);
    ok = qb::RunJob(qb::ReadCardMain, args);
    HideWait();
    if (!ok && !qb::UserBreakNoted()) read_hit_damage_ = ErrorsNameDamage();
  }
  record_output_.clear();
  return ok;
}

template <typename Check>
bool CardJobLauncher::RunCardCheck(Check check, bool& prepared) {
  qb::JobArgs args = ReadArgs(std::string());
  prepared = PrepareDrive();
  if (!prepared) return false;
  ShowWait(qb::msg::kCaptionInfo);
  bool result = check(qb::BeginCardCheck(args));
  qb::EndCardCheck(args);
  HideWait();
  return result;
}

bool CardJobLauncher::CheckCardEmpty() {
  bool prepared = false;
  bool empty = RunCardCheck([](char** argv) { return qb::ReadCardIsEmpty(argv); }, prepared);
  drive_failed_ = !prepared;
  return prepared && empty;
}

bool CardJobLauncher::FetchCardInfo(qb::CardInfo& info, bool keep_id) {
  bool prepared = false;
  bool ok = RunCardCheck([&info](char** argv) { return qb::ReadCardInfo(argv, info); }, prepared);
  if (ok && keep_id) card_id_ = info.comment;
  return ok;
}

bool CardJobLauncher::PrepareDrive() {
  if (!qb::AppSettings::IsSerialDrive(DriverPathSetting())) return true;
  return WakeSerialDrive();
}

bool CardJobLauncher::WakeSerialDrive() {
  SetSerialDriveEnvironment();
  qb::ClearCleanups();
  qb::ClearErrors();
  if (!qb::OpenSerialDrivePort()) {
    // The reasons are shown here and not again by the command that asked.
    if (qb::ErrorsPending()) qb::ShowErrors(-1);
    qb::ClearErrors();
    qb::RunCleanups();
    return false;
  }
  bool awake = qb::SendSerialIdentification();
  bool shown = false;
  int pass = 0;
  while (!awake && progress_ != nullptr) {
    if (!shown) {
      progress_->Reset();
      progress_->SetCaption(qb::msg::kAppName);
      progress_->ShowProgressBar(false);
      progress_->ShowCancelButton(1, true);
      progress_->SetText(qb::msg::kReinsertCard);
    }
    // The picture is set before the box first shows, so it never appears
    // with another one.
    progress_->SetIcon(
        cards::CardPicture(pass % 2 == 0 ? cards::kIconCardDrive : cards::kIconWarning));
    if (!shown) {
      progress_->Show(true);
      shown = true;
    }
    pass = (pass + 1) % 100;
    QCoreApplication::processEvents();
    if (progress_->CheckProgressCancel(true)) break;
    // The pause between tries ends early on Cancel.
    QElapsedTimer pause;
    pause.start();
    while (pause.elapsed() < kWakeRetryMs && !progress_->CancelRequested())
      cards::PumpFor(qb::kUserBreakPollMs);
    if (progress_->CheckProgressCancel(true)) break;
    awake = qb::SendSerialIdentification();
  }
  if (!awake) cancelled_ = true;
  qb::ClearErrors();
  qb::RunCleanups();
  if (shown) {
    progress_->Show(false);
    progress_->Reset();
  }
  return awake;
}
