#include "mainwin/fmain.h"
#include "mainwin/radiogroup.h"
#include "scan/scansettings.h"

namespace ostrel {

// Records the choice; drawing the chart in the new kind is not built yet.
void TForm1::RadioGroupChartTypeClick() { ScanSettings.charttype = RadioGroupChartType->ItemIndex(); }

}  // namespace ostrel
