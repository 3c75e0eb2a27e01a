#include "app/commands.h"

#include <QColor>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "app/text_view.h"

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

using View = CQuillbankManagerView;
constexpr QKeyCombination kNoKey{};
constexpr unsigned kDoc = kNeedsDocument;
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

// Menu texts, prompts and tooltips are catalogue ids; a command's prompt
// sits under the id the command had in the resource design.
const Spec kCommands[] = {
    // name, text, document text, prompt, key, rule, checkable, picture, view member
    {"fileNew", 0, 0, 0, Ctrl(Qt::Key_N), kAlways, false, nullptr, nullptr},
    {"fileOpen", 60001, 0, 0, kNoKey, kHeldOff, false, Folder, nullptr},
    {"fileClose", 60020, 0, 0, kNoKey, kDoc | kHeldOff, false, nullptr, nullptr},
    // Documents are read-only: Save writes nothing.
    {"fileSave", 0, 0, 0, Ctrl(Qt::Key_S), kDoc, false, nullptr, nullptr},
    {"fileExport", 60021, 0, 32817, kNoKey, kDoc | kJob, false, nullptr, nullptr},
    {"filePrint", 60022, 0, 0, Ctrl(Qt::Key_P), kDoc | kJob, false, Printer, nullptr},
    {"filePrintDirect", 0, 0, 0, kNoKey, kDoc | kJob, false, nullptr, nullptr},
    {"filePrintPreview", 0, 0, 0, Ctrl(Qt::Key_V), kDoc | kJob, false, nullptr, nullptr},
    {"filePrintSetup", 60002, 0, 0, kNoKey, kJob, false, nullptr, nullptr},
    {"fileExit", 60004, 0, 0, kNoKey, kHeldOff, false, nullptr, nullptr},
    {"cardInit", 60006, 0, 32773, Ctrl(Qt::Key_I), kJob, false, CardWithPlus, nullptr},
    {"cardRead", 60007, 0, 32774, Ctrl(Qt::Key_R), kJob, false, CardWithArrowOut, nullptr},
    {"cardInfo", 60008, 0, 32814, kNoKey, kJob, false, CardWithDotAndBar, nullptr},
    {"optionsDrive", 60010, 0, 32771, Ctrl(Qt::Key_D), kJob, false, Drive, nullptr},
    {"optionsDevice", 60011, 0, 32772, Ctrl(Qt::Key_O), kJob, false, RecorderBox, nullptr},
    // The view's dialog refuses while a long operation runs.
    {"optionsPrinterEmulation", 60012, 0, 32808, kNoKey, kDoc | kHeldOff, false, CrossedPrinter,
     &View::PrinterEmulation},
    {"optionsCalculator", 60013, 0, 32810, kNoKey, kAlways, false, Keypad, nullptr},
    // Find runs as a long operation of its own, inside the view.
    {"searchFind", 60024, 0, 32800, Ctrl(Qt::Key_F3), kDoc | kHeldOff, false, Magnifier,
     &View::Find},
    {"searchFindAgain", 60025, 0, 32801, Plain(Qt::Key_F3), kDoc | kHeldOff, false, nullptr,
     &View::FindAgain},
    {"viewToolbar", 60015, 0, 0, kNoKey, kAlways, true, nullptr, nullptr},
    {"viewStatusBar", 60016, 0, 0, kNoKey, kAlways, true, nullptr, nullptr},
    {"windowNew", 60027, 0, 0, kNoKey, kDoc, false, nullptr, nullptr},
    {"windowCascade", 60028, 0, 0, kNoKey, kDoc, false, nullptr, nullptr},
    {"windowTile", 60029, 0, 0, kNoKey, kDoc, false, nullptr, nullptr},
    {"windowArrange", 60030, 0, 0, kNoKey, kDoc, false, nullptr, nullptr},
    {"windowSplit", 60031, 0, 0, kNoKey, kDoc, false, nullptr, nullptr},
    {"windowNextPane", 0, 0, 0, Plain(Qt::Key_F6), kDoc, false, nullptr, nullptr},
    {"windowPreviousPane", 0, 0, 0, Shift(Qt::Key_F6), kDoc, false, nullptr, nullptr},
    {"helpTopics", 60018, 0, 0, kNoKey, kAlways, false, nullptr, nullptr},
    {"help", 0, 0, 0, Plain(Qt::Key_F1), kAlways, false, nullptr, nullptr},
    {"helpContext", 0, 0, 0, Shift(Qt::Key_F1), kAlways, false, PointerWithMark, nullptr},
    {"helpAbout", 60019, 60032, 0, kNoKey, kAlways, false, SpeechBubble, nullptr},
    {"navLineUp", 60034, 0, 0, Plain(Qt::Key_Up), kDoc, false, nullptr, &View::LineUp},
    {"navLineDown", 60035, 0, 0, Plain(Qt::Key_Down), kDoc, false, nullptr, &View::LineDown},
    {"navPageUp", 60036, 0, 0, Plain(Qt::Key_PageUp), kDoc, false, nullptr, &View::PageUp},
    {"navPageDown", 60037, 0, 0, Plain(Qt::Key_PageDown), kDoc, false, nullptr, &View::PageDown},
    {"navColumnLeft", 60038, 0, 0, Plain(Qt::Key_Left), kDoc, false, nullptr, &View::ColumnLeft},
    {"navColumnRight", 60039, 0, 0, Plain(Qt::Key_Right), kDoc, false, nullptr, &View::ColumnRight},
    {"navHome", 60040, 0, 0, Ctrl(Qt::Key_Home), kDoc, false, nullptr, &View::Home},
    {"navEnd", 60041, 0, 0, Ctrl(Qt::Key_End), kDoc, false, nullptr, &View::End},
    {"navLineHome", 60042, 0, 0, Plain(Qt::Key_Home), kDoc, false, nullptr, &View::LineHome},
    {"navLineEnd", 60043, 0, 0, Plain(Qt::Key_End), kDoc, false, nullptr, &View::LineEnd},
    {"navPageEnd", 60044, 0, 0, Ctrl(Qt::Key_PageDown), kDoc, false, nullptr, &View::PageEnd},
    {"navPageStart", 60045, 0, 0, Ctrl(Qt::Key_PageUp), kDoc, false, nullptr, &View::PageStart},
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

const std::vector<Popup>& Menu(int menu_id) {
  static const std::vector<const char*> kCard = {"cardInit", "cardRead", "cardInfo"};
  static const std::vector<const char*> kOptions = {"optionsDrive", "optionsDevice",
                                                    "optionsPrinterEmulation", "optionsCalculator"};
  static const std::vector<const char*> kView = {"viewToolbar", "viewStatusBar"};
  static const std::vector<const char*> kHelp = {"helpTopics", kSep, "helpAbout"};
  static const std::vector<Popup> k128 = {
      {60000, {"fileOpen", kSep, "filePrintSetup", kSep, kRecentFiles, kSep, "fileExit"}},
      {60005, kCard},
      {60009, kOptions},
      {60014, kView},
      {60017, kHelp},
  };
  static const std::vector<Popup> k129 = {
      {60000,
       {"fileOpen", "fileClose", kSep, "fileExport", kSep, "filePrint", "filePrintSetup", kSep,
        kRecentFiles, kSep, "fileExit"}},
      {60005, kCard},
      {60009, kOptions},
      {60023, {"searchFind", "searchFindAgain"}},
      {60014, kView},
      {60026,
       {"windowNew", "windowCascade", "windowTile", "windowArrange", "windowSplit", kWindowList}},
      {60017, kHelp},
      {60033,
       {"navLineUp", "navLineDown", "navPageUp", "navPageDown", "navColumnLeft", "navColumnRight",
        "navHome", "navEnd", "navLineHome", "navLineEnd", "navPageEnd", "navPageStart"}},
  };
  return menu_id == 129 ? k129 : k128;
}

const std::vector<const char*>& ToolBar() {
  static const std::vector<const char*> kToolBar = {"fileOpen",     kSep,
                                                    "cardInfo",     "cardInit",
                                                    "cardRead",     kSep,
                                                    "filePrint",    "optionsPrinterEmulation",
                                                    kSep,           "searchFind",
                                                    kSep,           "optionsDevice",
                                                    "optionsDrive", "optionsCalculator",
                                                    kSep,           "helpAbout",
                                                    "helpContext"};
  return kToolBar;
}

}  // namespace command
