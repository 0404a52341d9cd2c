#include "mainwin/fmain.h"

namespace ostrel {

// The commands behind the buttons, the link label and the menus. Not built yet: each handler
// is connected and does nothing so far.
void TForm1::ButtonHelpClick() {}
void TForm1::ButtonExploreClick() {}
void TForm1::ButtonCopyClick() {}
void TForm1::HtmlLabel2Click() {}
void TForm1::Preferences1Click() {}
void TForm1::UsersManual1Click() {}
void TForm1::Checkwebforupdatedversion1Click() {}
void TForm1::VisitPelworthformoreShareware1Click() {}
void TForm1::About1Click() {}

}  // namespace ostrel
