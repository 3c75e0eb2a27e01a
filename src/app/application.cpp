#include "app/application.h"
#include "app/ui_text.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QScreen>
#include <clocale>

#include "app/app_pictures.h"
#include "app/card_commands.h"
#include "app/cards/app_settings.h"
#include "app/child_frame.h"
#include "app/file_type_registration.h"
#include "app/gui_job_host.h"
#include "app/main_frame.h"
#include "app/print_commands.h"
#include "app/progress_dialog.h"
#include "app/splash_window.h"
#include "base/job_host.h"
#include "base/messages.h"
#include "base/self_check.h"
#include "base/software_signature.h"
#include "platform/login_session.h"

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
    } else if (argument == QLatin1String("--paper")) {
      result.paper = true;
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
  // The POSIX names, then the Windows run-time library's.
  SetCategory(LC_TIME, {"en_GB.UTF-8", "en_US.UTF-8", "English_United Kingdom.1252"});
  SetCategory(LC_MONETARY, {"en_GB.UTF-8", "en_US.UTF-8", "English_United Kingdom.1252"});
  SetCategory(LC_NUMERIC, {"de_DE.UTF-8", "German_Germany.1252"});
}

// One running instance per user and login session: the session's runtime
// folder is part of the name, so separate sessions (and test runs with
// folders of their own) do not hand files to each other.
QString InstanceServerName() {
  QByteArray session = QByteArray::fromStdString(qb::LoginSession());
  return QStringLiteral("quillbank-manager-%1-%2")
      .arg(QString::fromStdString(qb::LoginUser()),
           QString::fromLatin1(
               QCryptographicHash::hash(session, QCryptographicHash::Sha1).toHex().left(12)));
}

bool HandToRunningInstance(const QStringList& files) {
  QLocalSocket socket;
  socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
  socket.connectToServer(InstanceServerName());
  if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
  socket.write(files.join('\n').toUtf8());
  socket.write("\n");
  // A named pipe (Windows) drops what is not yet written when it closes.
  while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(kConnectTimeoutMs)) {
  }
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState)
    socket.waitForDisconnected(kConnectTimeoutMs);
  return true;
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
  RegisterFileTypeForUser();
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
