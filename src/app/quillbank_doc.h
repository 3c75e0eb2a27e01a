// A record file as a document of the application: the document core, its
// path and title, the views that show it, and the recent-file list the
// application keeps in the settings store.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "document/record_document.h"

class CQuillbankManagerDoc : public QObject {
  Q_OBJECT

 public:
  explicit CQuillbankManagerDoc(QObject* parent = nullptr);

  // Loads the record file. On failure the core has shown its error box
  // (nothing for an empty file) and the document must be closed at once.
  bool OpenDocument(const QString& path);
  // An untitled document with no lines; `number` counts the new documents.
  void NewDocument(int number);

  qb::RecordDocument& core() { return core_; }
  const qb::RecordDocument& core() const { return core_; }
  bool loaded() const { return core_.loaded(); }
  // The canonical path of the file; empty for an untitled document.
  const QString& pathName() const { return path_; }
  QString title() const;

  void AddView(QWidget* view);
  void RemoveView(QWidget* view);
  QList<QWidget*> views() const;

 signals:
  void titleChanged(const QString& title);
  // The recording's facts, gathered after the load, are complete.
  void factsReady();

 private:
  qb::RecordDocument core_;
  QString path_;
  QString untitled_;
  QList<QPointer<QWidget>> views_;
  QTimer* facts_timer_ = nullptr;

  // Looks whether the facts are complete, until they are.
  void WatchFacts();
};
