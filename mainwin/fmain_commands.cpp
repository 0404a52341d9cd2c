#include <QClipboard>
#include <QFile>
#include <QGuiApplication>

#include "dialogs/fabout.h"
#include "dialogs/formutil.h"
#include "dialogs/fprefs.h"
#include "docs/viewdoc.h"
#include "docs/weblinks.h"
#include "mainwin/fmain.h"
#include "scan/scansettings.h"

namespace ostrel {
namespace {

// The trailing blank and the quotation marks belong to the text.
constexpr const char* NoFolderMessage =
    "Please navigate the tree view (or pie chart) to a subdirectory on your hard drive first. "
    "It has to be a physical directory (i.e. like c:\\), and not virtual folder like \"My Computer\". ";

// The document name of the user's manual.
constexpr const char* ManualName = "ostrel";

// False, after telling the user, when the selection names no folder. The box runs through
// RunModal like the window's other boxes, so one modal hook answers all of them in tests.
bool CheckFolderSelected(const std::string& currentDir) {
  if (!currentDir.empty()) return true;
  ShowOkBox(nullptr, NoFolderMessage, "Error");
  return false;
}

}  // namespace

void TForm1::ButtonHelpClick() { ViewDocument(ManualName, StartDir.c_str(), 0); }

void TForm1::UsersManual1Click() { ViewDocument(ManualName, StartDir.c_str(), 0); }

void TForm1::ButtonExploreClick() {
  if (!CheckFolderSelected(CurrentDir)) return;
  ExploreFolder(CurrentDir.c_str());
}

void TForm1::ButtonCopyClick() {
  if (!CheckFolderSelected(CurrentDir)) return;
  // The clipboard holds text: a name that is not valid UTF-8 shows its undecodable bytes as U+FFFD.
  QGuiApplication::clipboard()->setText(QFile::decodeName(QByteArray::fromStdString(CurrentDir)));
}

void TForm1::Preferences1Click() {
  // Ok redraws even when nothing changed; the setting is stored when the window closes.
  if (TFormPreferences::Ask(this, ScanSettings) == ModalOk) TreeViewDirectoriesClick();
}

void TForm1::About1Click() { TFormAbout::ShowAbout(this); }

void TForm1::HtmlLabel2Click() { OpenUrl(MakerHomePage); }

void TForm1::VisitPelworthformoreShareware1Click() { OpenUrl(MakerHomePage); }

void TForm1::Checkwebforupdatedversion1Click() { OpenUrl(ProgramPage); }

}  // namespace ostrel
