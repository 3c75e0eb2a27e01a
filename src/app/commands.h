// The application's commands, one entry each: its name, menu text, status
// prompt and tooltip, key, enabling rule, toolbar picture and, for the
// commands a document window's view carries out, the view's member that
// does it. The
// two menus and the toolbar are lists of these names. The main frame makes
// one named QAction per entry; the parts of the program that carry out a
// command register their handler for it by name (CMainFrame::SetHandler).
#pragma once

#include <QKeyCombination>
#include <span>
#include <string_view>
#include <vector>

#include "base/messages.h"

class DocumentView;
class QIcon;
class QPainter;

namespace command {

// When a command is enabled; the flags combine.
enum Rule : unsigned {
  kAlways = 0,
  kNeedsDocument = 1u << 0,  // only with an active document window
  // Disturbs a running long operation (closing, exiting, opening, starting
  // another one): disabled until it ends.
  kHeldOff = 1u << 2,
  // Carried out as a long operation, so that the frame holds off the rest.
  kLongOperation = 1u << 3,
  // Only while the active document window shows its lines, or its paper.
  kNeedsLineView = 1u << 4,
  kNeedsPaperView = 1u << 5,
};

struct Spec {
  const char* name;
  const qb::Message<>* text;           // menu text; null when in no menu
  const qb::Message<>* document_text;  // menu text in the document menu when it differs, or null
  const qb::Message<>* prompt;         // "prompt\ntooltip"; null for none
  QKeyCombination key;
  unsigned rule;
  bool checkable;
  // Draws the toolbar picture; null when not on the toolbar.
  void (*picture)(QPainter&);
  // The member of the active window's view that carries the command out, or
  // null.
  void (DocumentView::*view_member)();
};

// Every command of the main frame.
std::span<const Spec> All();
// The named command, or null.
const Spec* Find(std::string_view name);
// The command's 16 by 16 toolbar picture (empty without one).
QIcon Picture(const Spec& spec);

// Menu and toolbar layout: a command's name, or one of these.
inline constexpr const char* kSeparator = "-";
inline constexpr const char* kRecentFiles = "recentFiles";
// The list of the open document windows, at the end of the Window menu.
inline constexpr const char* kWindowList = "windowList";
// The greyed entry that stands for an empty recent-file list.
inline constexpr const qb::Message<>& kRecentFilesText = qb::msg::kMenuRecentFile;

struct Popup {
  qb::Message<> title;
  std::vector<const char*> entries;
};

// The two menus: without and with an active document window. The values are
// their resource numbers, which name their objects ("menu129_...").
enum class MenuSet : int { kNoDocument = 128, kDocument = 129 };

const std::vector<Popup>& Menu(MenuSet menu);
const std::vector<const char*>& ToolBar();

// The objectName of the n-th (from 1) entry of the recent-file list.
inline constexpr const char* kRecentFilePrefix = "recentFile";
// The objectName of the n-th (from 1) entry of the window list.
inline constexpr const char* kWindowEntryPrefix = "windowEntry";

}  // namespace command
