// The list of the last opened files in the settings store, newest first,
// and the short names the File menu shows for them.
#pragma once

#include <QString>
#include <QStringList>

class RecentFileList {
 public:
  static constexpr int kSize = 9;
  // The longest name a menu entry shows before its folders are abbreviated.
  static constexpr int kMaxDisplayLength = 30;

  static QStringList Entries();
  // Moves or puts `path` at the front, dropping the oldest beyond kSize.
  static void Add(const QString& path);
  static void Remove(const QString& path);

  // The name the menu shows for `path`: the file name alone for a file in
  // the current folder, else the path, with the folders between the first
  // one and the last ones that fit replaced by "..." when it is longer than
  // `max`; the file name alone when even that does not fit.
  static QString DisplayName(const QString& path, int max = kMaxDisplayLength);
};
