#include "mainwin/fmain.h"
#include "mainwin/radiogroup.h"
#include "scan/scansettings.h"

namespace ostrel {

// The chart is redrawn from here once the chart is built.
void TForm1::RadioGroupChartTypeClick() { ScanSettings.charttype = RadioGroupChartType->ItemIndex(); }

}  // namespace ostrel
