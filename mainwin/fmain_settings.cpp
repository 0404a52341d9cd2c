#include "dialogs/formutil.h"
#include "mainwin/fmain.h"
#include "mainwin/radiogroup.h"
#include "scan/scansettings.h"

namespace ostrel {
namespace {

// The store's name: the key Software\Harwen\OSTREL.
const char* const SettingsName = "OSTREL";

void ReadAtomic(SettingsKey& key, const char* name, std::atomic<int32_t>& member) {
  member.store(ReadSettingInt(key, name, member.load()));
}

}  // namespace

void LoadScanSettings(TForm1* form) {
  TScanSettings& s = ScanSettings;
  SettingsKey key;
  OpenSettingsKey(key, SettingsName);
  ReadSettingString(key, "lastfilename", s.lastfilename, s.lastfilename, sizeof s.lastfilename);
  s.shrinktotaskbar = ReadSettingInt(key, "shrinktotaskbar", s.shrinktotaskbar);
  s.autoload = ReadSettingInt(key, "autoload", s.autoload);
  ReadAtomic(key, "includefloppy", s.includefloppy);
  ReadAtomic(key, "includecd", s.includecd);
  ReadAtomic(key, "includenet", s.includenet);
  s.combineother = ReadSettingInt(key, "combineother", s.combineother);
  s.charttype = ReadSettingInt(key, "charttype", s.charttype);
  s.apparentsize = ReadSettingInt(key, "apparentsize", s.apparentsize);
  s.keephistory = ReadSettingInt(key, "keephistory", s.keephistory);
  CloseSettingsKey(key);

  // No other chart type exists; showing "Pie" while keeping 7 would leave the chart empty.
  if (s.charttype < 0 || s.charttype > 3) s.charttype = 0;
  if (form) form->RadioGroupChartType->SetItemIndex(s.charttype);
}

void SaveScanSettings() {
  const TScanSettings& s = ScanSettings;
  SettingsKey key;
  OpenSettingsKey(key, SettingsName);
  WriteSettingString(key, "lastfilename", s.lastfilename);
  WriteSettingInt(key, "shrinktotaskbar", s.shrinktotaskbar);
  WriteSettingInt(key, "autoload", s.autoload);
  WriteSettingInt(key, "includefloppy", s.includefloppy.load());
  WriteSettingInt(key, "includecd", s.includecd.load());
  WriteSettingInt(key, "includenet", s.includenet.load());
  WriteSettingInt(key, "combineother", s.combineother);
  WriteSettingInt(key, "charttype", s.charttype);
  WriteSettingInt(key, "apparentsize", s.apparentsize);
  WriteSettingInt(key, "keephistory", s.keephistory);
  CloseSettingsKey(key);
}

}  // namespace ostrel
