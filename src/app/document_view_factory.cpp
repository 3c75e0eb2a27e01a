// The panes of a document window. For now each pane shows the document's
// title; the text view takes this place once its commands are routed.
#include "app/document_view_factory.h"

#include <QLabel>

#include "app/quillbank_doc.h"

QWidget* CreateDocumentView(CQuillbankManagerDoc* doc, QWidget* parent) {
  auto* label = new QLabel(doc->title(), parent);
  label->setObjectName(QStringLiteral("documentView"));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, Qt::white);
  label->setPalette(palette);
  QObject::connect(doc, &CQuillbankManagerDoc::titleChanged, label, &QLabel::setText);
  return label;
}
