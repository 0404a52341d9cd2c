#include "mainwin/fmain.h"

namespace ostrel {

// Not built yet: moving to the parent folder.
void TForm1::ButtonUpClick() {}

}  // namespace ostrel
