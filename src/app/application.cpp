#include "app/application.h"
#include "app/ui_text.h"

#include <unistd.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMimeDatabase>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <clocale>

#include "app/app_pictures.h"
#include "app/card_commands.h"
#include "app/cards/app_settings.h"
#include "app/child_frame.h"
#include "app/gui_job_host.h"
#include "app/main_frame.h"
#include "app/print_commands.h"
#include "app/progress_dialog.h"
#include "app/splash_window.h"
#include "base/job_host.h"
#include "base/messages.h"
#include "base/self_check.h"
#include "base/software_signature.h"

namespace {

constexpr int kConnectTimeoutMs = 1000;

void SetCategory(int category, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (std::setlocale(category, name) != nullptr) return;
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
  CommandLine result;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--version"))
      result.version = true;
    else if (argument == QLatin1String("--help"))
      result.help = true;
    else if (argument == QLatin1String("--print-to-pdf")) {
      if (i + 1 < arguments.size() && !arguments[i + 1].isEmpty())
        result.print_to_pdf = arguments[++i];
      else
        result.bad_print_to_pdf = true;
    } else if (argument.compare(QLatin1String("/p"), Qt::CaseInsensitive) == 0 ||
               argument.compare(QLatin1String("-p"), Qt::CaseInsensitive) == 0)
      result.print = true;
    else if (argument.compare(QLatin1String("/dde"), Qt::CaseInsensitive) == 0 ||
             argument.compare(QLatin1String("-dde"), Qt::CaseInsensitive) == 0)
      result.dde = true;
    else if (!argument.isEmpty())
      result.files.append(argument);
  }
  return result;
}

std::string VersionLine() {
  return std::string(qb::LoadMessage(qb::msg::kAppName)) + " V" +
         qb::LoadMessage(qb::msg::kVersion);
}

std::string VersionText() {
  return VersionLine() + "\n" + qb::SignatureText() + "\n";
}

bool DisplayMissing() {
#ifdef _WIN32
  return false;
#else
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  const bool x_display = !qgetenv("DISPLAY").isEmpty();
  if (platform.isEmpty()) return !x_display && qgetenv("WAYLAND_DISPLAY").isEmpty();
  if (platform.startsWith("xcb")) return !x_display;
  return false;
#endif
}

void SetProgramLocale() {
  SetCategory(LC_TIME, {"en_GB.UTF-8", "en_US.UTF-8"});
  SetCategory(LC_MONETARY, {"en_GB.UTF-8", "en_US.UTF-8"});
  SetCategory(LC_NUMERIC, {"de_DE.UTF-8"});
}

// One running instance per user and login session: the session's runtime
// folder is part of the name, so separate sessions (and test runs with
// folders of their own) do not hand files to each other.
QString InstanceServerName() {
  QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  return QStringLiteral("quillbank-manager-%1-%2")
      .arg(static_cast<qulonglong>(getuid()))
      .arg(QString::fromLatin1(
          QCryptographicHash::hash(runtime, QCryptographicHash::Sha1).toHex().left(12)));
}

bool HandToRunningInstance(const QStringList& files) {
  QLocalSocket socket;
  socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
  socket.connectToServer(InstanceServerName());
  if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
  socket.write(files.join('\n').toUtf8());
  socket.write("\n");
  socket.flush();
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState)
    socket.waitForDisconnected(kConnectTimeoutMs);
  return true;
}

namespace {

// Writes the file only when its content differs, so that an ordinary
// start-up touches nothing on disk.
bool WriteText(const QString& path, const QString& text) {
  QByteArray bytes = text.toUtf8();
  QFile file(path);
  if (file.open(QIODevice::ReadOnly) && file.readAll() == bytes) return true;
  file.close();
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(bytes) == bytes.size();
}

// A field of the document template string.
QString TemplateField(int index) {
  return UiText(qb::msg::kDocTemplate).split('\n').value(index);
}

}  // namespace

bool RegisterFileType(const QString& program, const QString& data_home, const QString& claimed_by) {
  const QString type = QString::fromLatin1(kRecordMimeType);
  const QString extension = TemplateField(4);  // ".qbd"
  bool ours = claimed_by.isEmpty() || claimed_by == type ||
              claimed_by == QLatin1String("application/octet-stream");
  if (ours) {
    QString folder = data_home + QStringLiteral("/mime/packages");
    if (!QDir().mkpath(folder)) return false;
    QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
            "  <mime-type type=\"%1\">\n"
            "    <comment>%2</comment>\n"
            "    <glob pattern=\"*%3\"/>\n"
            "  </mime-type>\n"
            "</mime-info>\n")
            .arg(type, TemplateField(6).toHtmlEscaped(), extension);
    if (!WriteText(folder + QStringLiteral("/quillbank-manager.xml"), xml)) return false;
  }
  QString applications = data_home + QStringLiteral("/applications");
  if (!QDir().mkpath(applications)) return false;
  QString entry = QStringLiteral(
                      "[Desktop Entry]\n"
                      "Type=Application\n"
                      "Name=%1\n"
                      "Exec=\"%2\" %f\n"
                      "MimeType=%3;\n"
                      "Terminal=false\n")
                      .arg(UiText(qb::msg::kAppName), program, type);
  return WriteText(applications + QStringLiteral("/quillbank-manager.desktop"), entry);
}

bool FileTypeInstalled(const QString& program_dir, const QStringList& data_dirs) {
  const QString share = QFileInfo(program_dir + QStringLiteral("/../share")).canonicalFilePath();
  if (share.isEmpty()) return false;
  for (const QString& dir : data_dirs) {
    if (QFileInfo(dir).canonicalFilePath() != share) continue;
    return QFileInfo::exists(share + QStringLiteral("/mime/packages/quillbank-manager.xml")) &&
           QFileInfo::exists(share + QStringLiteral("/applications/quillbank-manager.desktop"));
  }
  return false;
}

CQuillbankManagerApp::CQuillbankManagerApp() = default;

CQuillbankManagerApp::~CQuillbankManagerApp() {
  print_.reset();
  installed_host_.reset();
  host_.reset();
  frame_.reset();
}

bool CQuillbankManagerApp::InitInstance(const CommandLine& command_line, bool show) {
  QApplication::setWindowIcon(AppIcon());
  QCoreApplication::setOrganizationName(QString::fromUtf8(qb::kCompanyKey));
  QCoreApplication::setApplicationName(UiText(qb::msg::kAppTitle));

  CSplashWindow::SetEnabled(show);
  frame_ = std::make_unique<CMainFrame>();
  CSplashWindow::ShowSplash(frame_.get());

  // The record file type for the desktop, unless the installation provides
  // it; a failure skips the rest of it.
  QString data_home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (!FileTypeInstalled(QCoreApplication::applicationDirPath(),
                         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))) {
    QString claimed_by =
        QMimeDatabase()
            .mimeTypeForFile(QStringLiteral("x") + TemplateField(4), QMimeDatabase::MatchExtension)
            .name();
    if (RegisterFileType(QCoreApplication::applicationFilePath(), data_home, claimed_by) &&
        claimed_by == QLatin1String("application/octet-stream"))
      QProcess::startDetached(QStringLiteral("update-mime-database"),
                              {data_home + QStringLiteral("/mime")});
  }
  progress_ = new CProgressDialog(frame_.get());
  host_ = std::make_unique<GuiJobHost>(progress_, frame_.get());
  installed_host_ = std::make_unique<qb::ScopedJobHost>(host_.get());
  print_ = std::make_unique<PrintCommands>(frame_.get());
  print_->Attach(frame_.get());
  // The card commands, the option dialogs, the calculator and the export.
  new CardCommands(frame_.get(), progress_);
  Listen();

  // A start without a file opens no document; a named file that fails to
  // load ends the start-up.
  for (const QString& file : command_line.files)
    if (!OpenDocumentFile(file)) return false;

  SetProgramLocale();
  if (!qb::SelfCheckPasses()) return false;
  if (show) {
    // The full screen also where no window manager maximises.
    frame_->setGeometry(frame_->screen()->availableGeometry());
    frame_->showMaximized();
    // The splash stays above the window it was shown over.
    if (CSplashWindow* splash = CSplashWindow::Current()) splash->raise();
  }
  return true;
}

bool CQuillbankManagerApp::OpenDocumentFile(const QString& path) {
  return frame_->OpenDocumentFile(path) != nullptr;
}

bool CQuillbankManagerApp::PrintOpenDocuments() {
  QList<CChildFrame*> children = frame_->childFrames();
  bool printed = !children.isEmpty();
  for (CChildFrame* child : children)
    if (!print_->PrintDirect(child->document())) printed = false;
  return printed;
}

void CQuillbankManagerApp::Listen() {
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::AbstractNamespaceOption);
  // Another instance that listens already keeps the name; this one still runs.
  if (!server_->listen(InstanceServerName())) return;
  connect(server_, &QLocalServer::newConnection, this, &CQuillbankManagerApp::ReceiveFiles);
}

void CQuillbankManagerApp::ReceiveFiles() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QLocalSocket::readyRead, this,
            [socket, buffer] { buffer->append(socket->readAll()); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
      buffer->append(socket->readAll());
      for (const QString& file : QString::fromUtf8(*buffer).split('\n', Qt::SkipEmptyParts))
        frame_->OpenDocumentFileWhenIdle(file);
      frame_->raise();
      frame_->activateWindow();
    });
  }
}
