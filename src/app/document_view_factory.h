// The view that shows a document inside a pane of a child window.
#pragma once

class CQuillbankManagerDoc;
class QWidget;

QWidget* CreateDocumentView(CQuillbankManagerDoc* doc, QWidget* parent);
