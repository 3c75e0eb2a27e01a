// The application: start-up in its fixed order, the command line, the
// runtime locale, the shared progress dialog and job host, and the single
// running instance that later launches hand their files to.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class CMainFrame;
class CProgressDialog;
class GuiJobHost;
class PrintCommands;
class QLocalServer;
namespace qb {
class ScopedJobHost;
}

struct CommandLine {
  QStringList files;
  bool dde = false;      // a shell open; the file arrives like any other
  bool version = false;  // print the version and exit
  bool help = false;     // --help: print the usage and exit

  // /p: print the files on the default printer and exit.
  bool print = false;
  // --print-to-pdf OUT: print the file to OUT without any window; bad
  // without OUT.
  QString print_to_pdf;
  bool bad_print_to_pdf = false;
  // --paper (with --print-to-pdf): print the printer's pages.
  bool paper = false;
};

// Parses the arguments after the program name.
CommandLine ParseCommandLine(const QStringList& arguments);
// "Quillbank Manager V1.0.3.1".
std::string VersionLine();
// What --version prints: the version line, then the software signature.
std::string VersionText();
// True when the windowing system Qt would use has no display to connect to:
// no DISPLAY (nor WAYLAND_DISPLAY, unless the platform asked for is xcb).
// A platform that needs no display (offscreen, ...) has one. Never on Windows.
bool DisplayMissing();
// Time and money in English, numbers with the decimal comma, each only when
// the system offers the locale; never fails.
void SetProgramLocale();
// The name of the local socket of the running instance (per user).
QString InstanceServerName();
// Hands the files to a running instance; false when none answers.
bool HandToRunningInstance(const QStringList& files);

class CQuillbankManagerApp : public QObject {
  Q_OBJECT

 public:
  CQuillbankManagerApp();
  ~CQuillbankManagerApp() override;

  // Start-up; false ends the program. `show` maximises the main window.
  bool InitInstance(const CommandLine& command_line, bool show = true);

  CMainFrame* mainFrame() const { return frame_.get(); }
  CProgressDialog* progressDialog() const { return progress_; }
  PrintCommands* printCommands() const { return print_.get(); }
  // Opens a document; a failed load leaves no window.
  bool OpenDocumentFile(const QString& path);
  // Prints every open document on the default printer (/p); false when one
  // was not printed or none is open.
  bool PrintOpenDocuments();

 private:
  void Listen();
  void ReceiveFiles();

  std::unique_ptr<CMainFrame> frame_;
  CProgressDialog* progress_ = nullptr;  // a child of the main window
  std::unique_ptr<GuiJobHost> host_;
  std::unique_ptr<qb::ScopedJobHost> installed_host_;
  std::unique_ptr<PrintCommands> print_;
  QLocalServer* server_ = nullptr;
};
