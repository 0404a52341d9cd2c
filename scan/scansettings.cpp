#include "scan/scansettings.h"

#include <cstring>

namespace ostrel {

TScanSettings ScanSettings;

void TScanSettings::SetDefaults() {
  autominimize = 0;
  autoload = 0;
  shrinktotaskbar = 0;
  combineother = 1;
  charttype = 0;
  apparentsize = 0;
  keephistory = 1;
  includefloppy.store(0, std::memory_order_relaxed);
  includecd.store(0, std::memory_order_relaxed);
  includenet.store(0, std::memory_order_relaxed);
  std::strcpy(lastfilename, DefaultLastFileName);
}

TMeasure ShownMeasure() { return ScanSettings.apparentsize != 0 ? TMeasure::Apparent : TMeasure::DiskUsage; }

}  // namespace ostrel
