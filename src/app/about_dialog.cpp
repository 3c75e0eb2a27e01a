#include "app/about_dialog.h"
#include "app/ui_text.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "app/app_pictures.h"
#include "base/messages.h"
#include "base/self_check.h"
#include "base/software_signature.h"

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
  if (!qb::SelfCheckPasses()) std::_Exit(EXIT_FAILURE);

  setObjectName(QStringLiteral("aboutDialog"));
  setWindowTitle(UiText(qb::msg::kAppName));

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("aboutIcon"));
  icon->setPixmap(AppIcon().pixmap(32, 32));
  icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  auto* text = new QLabel(QString::fromUtf8(qb::AboutText()), this);
  text->setObjectName(QStringLiteral("aboutText"));
  text->setAlignment(Qt::AlignCenter);
  text->setTextFormat(Qt::PlainText);

  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("aboutPicture"));
  picture->setPixmap(AboutPicture());
  picture->setAlignment(Qt::AlignRight | Qt::AlignTop);

  auto* banner = new QLabel(UiText(qb::msg::kBannerWithAddress), this);
  banner->setObjectName(QStringLiteral("bannerText"));
  banner->setAlignment(Qt::AlignCenter);
  banner->setTextFormat(Qt::PlainText);

  auto* line = new QFrame(this);
  line->setObjectName(QStringLiteral("etchedLine"));
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, Qt::Horizontal, this);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setText(UiText(qb::msg::kDialogOk));
  buttons->setCenterButtons(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* top = new QGridLayout;
  top->addWidget(icon, 0, 0, Qt::AlignLeft | Qt::AlignTop);
  top->addWidget(text, 0, 1);
  top->addWidget(picture, 0, 2, Qt::AlignRight | Qt::AlignTop);
  top->setColumnStretch(1, 1);
  top->setHorizontalSpacing(16);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addSpacing(8);
  layout->addWidget(banner);
  layout->addWidget(line);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}
