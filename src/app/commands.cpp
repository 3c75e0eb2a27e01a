#include "app/commands.h"

#include <QColor>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "app/document_view.h"

namespace command {
namespace {

// Our own toolbar pictures: simple shapes on a 16 by 16 pixel grid.
const QColor kInk(40, 40, 40);
const QColor kCard(70, 110, 180);

void Folder(QPainter& p) {
  p.setBrush(QColor(230, 190, 70));
  p.drawRect(1, 4, 13, 9);
  p.drawRect(1, 2, 5, 2);
}

void CardBody(QPainter& p) {
  p.setBrush(kCard);
  p.drawRect(2, 1, 9, 13);
  p.setPen(Qt::white);
}

void CardWithDotAndBar(QPainter& p) {
  CardBody(p);
  p.drawPoint(6, 4);
  p.drawLine(6, 6, 6, 11);
}

void CardWithPlus(QPainter& p) {
  CardBody(p);
  p.drawLine(4, 7, 9, 7);
  p.drawLine(6, 5, 6, 10);
}

void CardWithArrowOut(QPainter& p) {
  CardBody(p);
  p.setPen(QPen(QColor(200, 30, 30), 2));
  p.drawLine(8, 8, 14, 8);
  p.drawLine(12, 5, 14, 8);
  p.drawLine(12, 11, 14, 8);
}

void Printer(QPainter& p) {
  p.setBrush(Qt::white);
  p.drawRect(4, 1, 7, 5);
  p.setBrush(QColor(150, 150, 150));
  p.drawRect(1, 6, 13, 6);
  p.setBrush(Qt::white);
  p.drawRect(4, 10, 7, 4);
}

void CrossedPrinter(QPainter& p) {
  Printer(p);
  p.setPen(QPen(QColor(200, 30, 30), 2));
  p.drawLine(1, 15, 15, 1);
}

// A sheet of paper with a plot and two lines of print.
void PaperSheet(QPainter& p) {
  p.setBrush(Qt::white);
  p.drawRect(3, 1, 10, 14);
  p.setPen(QColor(60, 90, 200));
  p.drawLine(5, 8, 7, 5);
  p.drawLine(7, 5, 9, 9);
  p.drawLine(9, 9, 11, 4);
  p.setPen(kInk);
  p.drawLine(5, 11, 11, 11);
  p.drawLine(5, 13, 9, 13);
}

void Magnifier(QPainter& p) {
  p.setBrush(QColor(200, 230, 250));
  p.drawEllipse(1, 1, 9, 9);
  p.setPen(QPen(kInk, 2));
  p.drawLine(9, 9, 14, 14);
}

void RecorderBox(QPainter& p) {
  p.setBrush(QColor(180, 180, 160));
  p.drawRect(1, 3, 13, 10);
  p.setBrush(QColor(90, 180, 90));
  p.drawRect(3, 5, 9, 3);
}

void Drive(QPainter& p) {
  p.setBrush(QColor(160, 160, 160));
  p.drawRect(1, 5, 13, 7);
  p.setPen(QPen(kInk, 2));
  p.drawLine(4, 8, 11, 8);
}

void Keypad(QPainter& p) {
  p.setBrush(QColor(220, 220, 220));
  p.drawRect(2, 1, 11, 13);
  p.setBrush(QColor(90, 180, 90));
  p.drawRect(4, 3, 7, 2);
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) p.drawRect(4 + 3 * col, 7 + 2 * row, 1, 1);
}

void SpeechBubble(QPainter& p) {
  p.setBrush(QColor(250, 240, 160));
  p.drawEllipse(1, 1, 13, 10);
  p.drawLine(4, 11, 3, 15);
}

void PointerWithMark(QPainter& p) {
  QPainterPath arrow;
  arrow.moveTo(1, 1);
  arrow.lineTo(1, 12);
  arrow.lineTo(4, 9);
  arrow.lineTo(7, 14);
  arrow.lineTo(9, 13);
  arrow.lineTo(6, 8);
  arrow.lineTo(10, 8);
  arrow.closeSubpath();
  p.setBrush(Qt::white);
  p.drawPath(arrow);
  p.setBrush(QColor(60, 90, 200));
  p.drawEllipse(11, 2, 4, 4);
}

namespace msg = qb::msg;
using View = DocumentView;
constexpr QKeyCombination kNoKey{};
constexpr unsigned kDoc = kNeedsDocument;
constexpr unsigned kLines = kNeedsDocument | kNeedsLineView;
constexpr unsigned kPaper = kNeedsDocument | kNeedsPaperView;
constexpr unsigned kJob = kHeldOff | kLongOperation;

QKeyCombination Ctrl(Qt::Key key) {
  return Qt::CTRL | key;
}
QKeyCombination Shift(Qt::Key key) {
  return Qt::SHIFT | key;
}
QKeyCombination Plain(Qt::Key key) {
  return QKeyCombination(key);
}

// Menu texts, prompts and tooltips are catalogue texts; a command's prompt
// sits under the id the command had in the resource design.
const Spec kCommands[] = {
    // name, text, document text, prompt, key, rule, checkable, picture, view member
    {"fileNew", nullptr, nullptr, &msg::kPromptFileNew, Ctrl(Qt::Key_N), kAlways, false, nullptr,
     nullptr},
    {"fileOpen", &msg::kMenuFileOpen, nullptr, &msg::kPromptFileOpen, kNoKey, kHeldOff, false,
     Folder, nullptr},
    {"fileClose", &msg::kMenuFileClose, nullptr, &msg::kPromptFileClose, kNoKey, kDoc | kHeldOff,
     false, nullptr, nullptr},
    // Documents are read-only: Save writes nothing.
    {"fileSave", nullptr, nullptr, &msg::kPromptFileSave, Ctrl(Qt::Key_S), kDoc, false, nullptr,
     nullptr},
    {"fileExport", &msg::kMenuFileExport, nullptr, &msg::kPromptFileExport, kNoKey, kDoc | kJob,
     false, nullptr, nullptr},
    {"fileReadReport", &msg::kMenuFileReadReport, nullptr, &msg::kPromptFileReadReport, kNoKey,
     kDoc | kHeldOff, false, nullptr, nullptr},
    {"filePrint", &msg::kMenuFilePrint, nullptr, &msg::kPromptFilePrint, Ctrl(Qt::Key_P),
     kDoc | kJob, false, Printer, nullptr},
    {"filePrintDirect", nullptr, nullptr, &msg::kPromptFilePrintDirect, kNoKey, kDoc | kJob, false,
     nullptr, nullptr},
    {"filePrintPreview", nullptr, nullptr, &msg::kPromptFilePrintPreview, Ctrl(Qt::Key_V),
     kDoc | kJob, false, nullptr, nullptr},
    {"filePrintSetup", &msg::kMenuFilePrintSetup, nullptr, &msg::kPromptFilePrintSetup, kNoKey,
     kJob, false, nullptr, nullptr},
    {"fileExit", &msg::kMenuFileExit, nullptr, &msg::kPromptAppExit, kNoKey, kHeldOff, false,
     nullptr, nullptr},
    {"cardInit", &msg::kMenuCardInit, nullptr, &msg::kPromptCardInit, Ctrl(Qt::Key_I), kJob, false,
     CardWithPlus, nullptr},
    {"cardRead", &msg::kMenuCardRead, nullptr, &msg::kPromptCardRead, Ctrl(Qt::Key_R), kJob, false,
     CardWithArrowOut, nullptr},
    {"cardInfo", &msg::kMenuCardInfo, nullptr, &msg::kPromptCardInfo, kNoKey, kJob, false,
     CardWithDotAndBar, nullptr},
    {"optionsDrive", &msg::kMenuOptionsDrive, nullptr, &msg::kPromptOptionsDrive, Ctrl(Qt::Key_D),
     kJob, false, Drive, nullptr},
    {"optionsDevice", &msg::kMenuOptionsDevice, nullptr, &msg::kPromptOptionsDevice,
     Ctrl(Qt::Key_O), kJob, false, RecorderBox, nullptr},
    // The view's dialog refuses while a long operation runs.
    {"optionsPrinterEmulation", &msg::kMenuPrinterEmulation, nullptr, &msg::kPromptPrinterEmulation,
     kNoKey, kDoc | kHeldOff, false, CrossedPrinter, &View::PrinterEmulation},
    // Lays every paper view out again on OK.
    {"optionsPaper", &msg::kMenuOptionsPaper, nullptr, &msg::kPromptOptionsPaper, kNoKey, kHeldOff,
     false, nullptr, nullptr},
    {"optionsCalculator", &msg::kMenuCalculator, nullptr, &msg::kPromptCalculator, kNoKey, kAlways,
     false, Keypad, nullptr},
    // Find runs as a long operation of its own, inside the view.
    {"searchFind", &msg::kMenuSearchFind, nullptr, &msg::kPromptSearchFind, Ctrl(Qt::Key_F3),
     kDoc | kHeldOff, false, Magnifier, &View::Find},
    {"searchFindAgain", &msg::kMenuSearchFindAgain, nullptr, &msg::kPromptSearchFindAgain,
     Plain(Qt::Key_F3), kDoc | kHeldOff, false, nullptr, &View::FindAgain},
    {"viewToolbar", &msg::kMenuViewToolbar, nullptr, &msg::kPromptViewToolbar, kNoKey, kAlways,
     true, nullptr, nullptr},
    {"viewStatusBar", &msg::kMenuViewStatusBar, nullptr, &msg::kPromptViewStatusBar, kNoKey,
     kAlways, true, nullptr, nullptr},
    {"viewNextManipulated", &msg::kMenuViewNextManipulated, nullptr, &msg::kPromptNextManipulated,
     Ctrl(Qt::Key_M), kDoc, false, nullptr, &View::NextManipulated},
    {"viewPreviousManipulated", &msg::kMenuViewPreviousManipulated, nullptr,
     &msg::kPromptPreviousManipulated, Qt::CTRL | Qt::SHIFT | Qt::Key_M, kDoc, false, nullptr,
     &View::PreviousManipulated},
    // The active window's paper view, or its lines again; laying a
    // recording out into pages is a long operation of its own.
    {"viewPaper", &msg::kMenuViewPaper, nullptr, &msg::kPromptViewPaper, kNoKey, kDoc | kHeldOff,
     true, PaperSheet, nullptr},
    {"viewZoomIn", &msg::kMenuViewZoomIn, nullptr, &msg::kPromptZoomIn, Ctrl(Qt::Key_Plus), kPaper,
     false, nullptr, nullptr},
    {"viewZoomOut", &msg::kMenuViewZoomOut, nullptr, &msg::kPromptZoomOut, Ctrl(Qt::Key_Minus),
     kPaper, false, nullptr, nullptr},
    {"viewFitWidth", &msg::kMenuViewFitWidth, nullptr, &msg::kPromptFitWidth, Ctrl(Qt::Key_0),
     kPaper, false, nullptr, nullptr},
    {"windowNew", &msg::kMenuWindowNew, nullptr, &msg::kPromptWindowNew, kNoKey, kDoc, false,
     nullptr, nullptr},
    {"windowCascade", &msg::kMenuWindowCascade, nullptr, &msg::kPromptWindowCascade, kNoKey, kDoc,
     false, nullptr, nullptr},
    {"windowTile", &msg::kMenuWindowTile, nullptr, &msg::kPromptWindowTile, kNoKey, kDoc, false,
     nullptr, nullptr},
    {"windowArrange", &msg::kMenuWindowArrange, nullptr, &msg::kPromptWindowArrange, kNoKey, kDoc,
     false, nullptr, nullptr},
    // The paper view has one pane.
    {"windowSplit", &msg::kMenuWindowSplit, nullptr, &msg::kPromptWindowSplit, kNoKey, kLines,
     false, nullptr, nullptr},
    {"windowNextPane", nullptr, nullptr, &msg::kPromptNextPane, Plain(Qt::Key_F6), kLines, false,
     nullptr, nullptr},
    {"windowPreviousPane", nullptr, nullptr, &msg::kPromptPreviousPane, Shift(Qt::Key_F6), kLines,
     false, nullptr, nullptr},
    {"helpTopics", &msg::kMenuHelpTopics, nullptr, &msg::kPromptHelpTopics, kNoKey, kAlways, false,
     nullptr, nullptr},
    {"help", nullptr, nullptr, &msg::kPromptHelp, Plain(Qt::Key_F1), kAlways, false, nullptr,
     nullptr},
    {"helpContext", nullptr, nullptr, &msg::kPromptHelpContext, Shift(Qt::Key_F1), kAlways, false,
     PointerWithMark, nullptr},
    {"helpAbout", &msg::kMenuHelpAbout, &msg::kMenuHelpAboutDocument, &msg::kPromptAppAbout, kNoKey,
     kAlways, false, SpeechBubble, nullptr},
    {"navLineUp", &msg::kMenuNavLineUp, nullptr, nullptr, Plain(Qt::Key_Up), kDoc, false, nullptr,
     &View::LineUp},
    {"navLineDown", &msg::kMenuNavLineDown, nullptr, nullptr, Plain(Qt::Key_Down), kDoc, false,
     nullptr, &View::LineDown},
    {"navPageUp", &msg::kMenuNavPageUp, nullptr, nullptr, Plain(Qt::Key_PageUp), kDoc, false,
     nullptr, &View::PageUp},
    {"navPageDown", &msg::kMenuNavPageDown, nullptr, nullptr, Plain(Qt::Key_PageDown), kDoc, false,
     nullptr, &View::PageDown},
    {"navColumnLeft", &msg::kMenuNavColumnLeft, nullptr, nullptr, Plain(Qt::Key_Left), kDoc, false,
     nullptr, &View::ColumnLeft},
    {"navColumnRight", &msg::kMenuNavColumnRight, nullptr, nullptr, Plain(Qt::Key_Right), kDoc,
     false, nullptr, &View::ColumnRight},
    {"navHome", &msg::kMenuNavHome, nullptr, nullptr, Ctrl(Qt::Key_Home), kDoc, false, nullptr,
     &View::Home},
    {"navEnd", &msg::kMenuNavEnd, nullptr, nullptr, Ctrl(Qt::Key_End), kDoc, false, nullptr,
     &View::End},
    {"navLineHome", &msg::kMenuNavLineHome, nullptr, nullptr, Plain(Qt::Key_Home), kDoc, false,
     nullptr, &View::LineHome},
    {"navLineEnd", &msg::kMenuNavLineEnd, nullptr, nullptr, Plain(Qt::Key_End), kDoc, false,
     nullptr, &View::LineEnd},
    {"navPageEnd", &msg::kMenuNavPageEnd, nullptr, nullptr, Ctrl(Qt::Key_PageDown), kDoc, false,
     nullptr, &View::PageEnd},
    {"navPageStart", &msg::kMenuNavPageStart, nullptr, nullptr, Ctrl(Qt::Key_PageUp), kDoc, false,
     nullptr, &View::PageStart},
};

const char* const kSep = kSeparator;

}  // namespace

std::span<const Spec> All() {
  return kCommands;
}

const Spec* Find(std::string_view name) {
  for (const Spec& spec : kCommands)
    if (name == spec.name) return &spec;
  return nullptr;
}

QIcon Picture(const Spec& spec) {
  if (spec.picture == nullptr) return QIcon();
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(kInk);
  spec.picture(p);
  p.end();
  return QIcon(pixmap);
}

const std::vector<Popup>& Menu(MenuSet menu) {
  static const std::vector<const char*> kCard = {"cardInit", "cardRead", "cardInfo"};
  static const std::vector<const char*> kOptions = {"optionsDrive", "optionsDevice",
                                                    "optionsPrinterEmulation", "optionsPaper",
                                                    "optionsCalculator"};
  static const std::vector<const char*> kView = {"viewToolbar", "viewStatusBar"};
  static const std::vector<const char*> kDocumentView = {"viewToolbar",
                                                         "viewStatusBar",
                                                         kSep,
                                                         "viewNextManipulated",
                                                         "viewPreviousManipulated",
                                                         kSep,
                                                         "viewPaper",
                                                         "viewZoomIn",
                                                         "viewZoomOut",
                                                         "viewFitWidth"};
  static const std::vector<const char*> kHelp = {"helpTopics", kSep, "helpAbout"};
  static const std::vector<Popup> kNoDocumentMenu = {
      {msg::kMenuFile, {"fileOpen", kSep, "filePrintSetup", kSep, kRecentFiles, kSep, "fileExit"}},
      {msg::kMenuCard, kCard},
      {msg::kMenuOptions, kOptions},
      {msg::kMenuView, kView},
      {msg::kMenuHelp, kHelp},
  };
  static const std::vector<Popup> kDocumentMenu = {
      {msg::kMenuFile,
       {"fileOpen", "fileClose", kSep, "fileExport", "fileReadReport", kSep, "filePrint",
        "filePrintSetup", kSep, kRecentFiles, kSep, "fileExit"}},
      {msg::kMenuCard, kCard},
      {msg::kMenuOptions, kOptions},
      {msg::kMenuSearch, {"searchFind", "searchFindAgain"}},
      {msg::kMenuView, kDocumentView},
      {msg::kMenuWindow,
       {"windowNew", "windowCascade", "windowTile", "windowArrange", "windowSplit", kWindowList}},
      {msg::kMenuHelp, kHelp},
      {msg::kMenuNavigation,
       {"navLineUp", "navLineDown", "navPageUp", "navPageDown", "navColumnLeft", "navColumnRight",
        "navHome", "navEnd", "navLineHome", "navLineEnd", "navPageEnd", "navPageStart"}},
  };
  return menu == MenuSet::kDocument ? kDocumentMenu : kNoDocumentMenu;
}

const std::vector<const char*>& ToolBar() {
  static const std::vector<const char*> kToolBar = {
      "fileOpen",      kSep,           "cardInfo",          "cardInit",
      "cardRead",      kSep,           "filePrint",         "optionsPrinterEmulation",
      "viewPaper",     kSep,           "searchFind",        kSep,
      "optionsDevice", "optionsDrive", "optionsCalculator", kSep,
      "helpAbout",     "helpContext"};
  return kToolBar;
}

}  // namespace command
