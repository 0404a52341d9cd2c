// TFilesList: the main window's list of files: a folder's own files, or the largest files
// anywhere below it, with their sizes and times. The rows are the tree's file nodes, read
// through a model of pointers, so a folder of 100,000 files shows as fast as one of ten: only
// the rows in sight are ever written out.
#pragma once
#include <QString>
#include <QWidget>
#include <vector>

#include "scan/dirnode.h"

class QCheckBox;
class QLabel;
class QTreeView;

namespace ostrel {

class TFilesModel;

class TFilesList : public QWidget {
  Q_OBJECT

 public:
  // With "All below" on, the list holds this many of the largest files below the folder.
  static constexpr size_t LargestCount = 1000;

  // The columns, left to right; Folder only while "All below" is on.
  static constexpr int ColumnName = 0;
  static constexpr int ColumnSize = 1;
  static constexpr int ColumnModified = 2;
  static constexpr int ColumnFolder = 3;

  explicit TFilesList(QWidget* parent = nullptr);
  ~TFilesList() override;

  // Lists the files of `folder` (null: none) in `measure`: its own files, or with "All below"
  // on the largest LargestCount files at any depth below it (files of size 0 left out, see
  // LargestFilesBelow). The sort order and the filter stay; the selection goes.
  void ShowFolder(const DirNode* folder, TMeasure measure);
  // Lists nothing and lets go of every node.
  void Clear();
  // Lists the current folder afresh, after nodes left the tree or sizes changed; files still
  // listed stay selected. The folder itself must still be in the tree: when it left, show
  // another folder or Clear.
  void Refresh();
  // The folder listed; null when none.
  const DirNode* Folder() const { return ListedFolder; }
  TMeasure Measure() const { return ListedMeasure; }

  // The selected files, in the order listed.
  std::vector<const DirNode*> SelectedFiles() const;
  // Selects the row of `file` alone, makes it current and scrolls it into view; false when
  // it is not listed (another folder, or the filter hides it), the selection then unchanged.
  bool SelectFile(const DirNode* file);
  // Lists only the files whose name contains `text` as the tree compares names (CompareNoCase:
  // a to z fold, other bytes as they are); empty text lists them all.
  void SetFilter(const QString& text);
  QString Filter() const { return FilterText; }

  // The check box's state; setting it lists the folder again.
  bool AllBelow() const;
  void SetAllBelow(bool on);

  // The controls, for the window's layout and for tests.
  QLabel* LabelFiles;
  QCheckBox* CheckAllBelow;
  QTreeView* ListFiles;

 signals:
  // A row was double-clicked or had Enter pressed on it.
  void FileActivated(const DirNode* file);
  void SelectionChanged();
  // The Delete key was pressed in the list while files were selected.
  void TrashRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Fill(bool keepSelection);
  void FitColumns();
  void FitNames();

  TFilesModel* Model;
  const DirNode* ListedFolder = nullptr;
  TMeasure ListedMeasure = TMeasure::DiskUsage;
  QString FilterText;
  int Pad = 0;            // what a cell adds to its text's width
  bool Filling = false;  // while Fill changes the rows: it tells of the selection itself
};

}  // namespace ostrel
