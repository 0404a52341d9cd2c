#include <QFile>

#include "dialogs/fabout.h"
#include "dialogs/formutil.h"
#include "dialogs/fprefs.h"
#include "docs/desktop.h"
#include "docs/viewdoc.h"
#include "docs/weblinks.h"
#include "mainwin/fmain.h"
#include "mainwin/folderitem.h"
#include "platform/files.h"
#include "scan/paths.h"
#include "scan/scansettings.h"

namespace ostrel {
namespace {

// The trailing blank and the quotation marks belong to the text.
constexpr const char* NoFolderMessage =
    "Please navigate the tree view (or pie chart) to a subdirectory on your hard drive first. "
    "It has to be a physical directory (i.e. like /home), and not virtual folder like \"My Computer\". ";

// The document name of the user's manual.
constexpr const char* ManualName = "ostrel";

// False, after telling the user in a box owned by no window, when the selection names no folder.
bool CheckFolderSelected(TDesktop& desktop, const std::string& currentDir) {
  if (!currentDir.empty()) return true;
  desktop.ShowMessage(nullptr, QString::fromLatin1(NoFolderMessage), QStringLiteral("Error"));
  return false;
}

}  // namespace

void TForm1::ButtonHelpClick() { ViewDocument(Desktop, ManualName, StartDir.c_str(), 0, ProgramFilePath()); }

void TForm1::UsersManual1Click() { ViewDocument(Desktop, ManualName, StartDir.c_str(), 0, ProgramFilePath()); }

void TForm1::ButtonExploreClick() {
  if (!CheckFolderSelected(Desktop, CurrentDir)) return;
  ExploreDir(CurrentDir, Scans.ScanOf(PointsItem));
}

void TForm1::ExploreDir(const std::string& dir, const TShownScan* scan) {
  const std::string path = AbsolutePath(dir, scan);
  const bool fromFile = scan && !scan->File.empty();
  // A scan file's relative root was relative to wherever it was made: a folder of that name
  // under our working folder is another folder.
  const bool elsewhere = fromFile && !IsPathSeparator(path.front());
  // A scan opened from a file may come from another computer; the desktop would show an
  // error of its own, or nothing at all.
  if (elsewhere || !FolderExists(path.c_str())) {
    const QString opening = QStringLiteral("The folder %1 is not on this computer, so it cannot be shown.")
                                .arg(QFile::decodeName(QByteArray::fromStdString(path)));
    Desktop.ShowMessage(this, NotOnThisComputer(opening, scan, elsewhere), QStringLiteral("Error"));
    return;
  }
  ExploreFolder(Desktop, path.c_str());
}

void TForm1::ButtonCopyClick() {
  if (!CheckFolderSelected(Desktop, CurrentDir)) return;
  // The path's own bytes: decoded text would turn a name that is not UTF-8 into another path.
  Desktop.SetClipboardPath(QByteArray::fromStdString(AbsolutePath(CurrentDir, Scans.ScanOf(PointsItem))));
}

std::string TForm1::AbsolutePath(const std::string& path, const TShownScan* scan) const {
  // A scan root given relatively was relative to the folder the program started in; a path
  // pasted elsewhere must not depend on that. A scan file's relative root was relative to
  // wherever it was made: it stays as the file names it.
  if (path.empty() || IsPathSeparator(path.front()) || StartDir.empty()) return path;
  if (scan && !scan->File.empty()) return path;
  return ResolveRelative(StartDir, path);
}

void TForm1::Preferences1Click() {
  // Ok redraws even when nothing changed; the setting is stored when the window closes.
  if (TFormPreferences::Ask(Desktop, this, ScanSettings) != ModalOk) return;
  ResortBySize(TreeViewDirectories, nullptr);
  TreeViewDirectoriesClick();
}

void TForm1::About1Click() { TFormAbout::ShowAbout(Desktop, this); }

void TForm1::HtmlLabel2Click() { OpenUrl(Desktop, MakerHomePage); }

void TForm1::VisitPelworthformoreShareware1Click() { OpenUrl(Desktop, MakerHomePage); }

void TForm1::Checkwebforupdatedversion1Click() { OpenUrl(Desktop, ProgramPage); }

}  // namespace ostrel
