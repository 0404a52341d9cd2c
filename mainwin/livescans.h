// The walks of the whole process that have not been freed, so that the program's end can tell
// whether a walk still runs. Every TForm1 adds the walks it starts (tree jobs of any kind may
// be removed: only those added count) and removes them when it frees them.
#pragma once

namespace ostrel {

class TTreeJob;

// Counts the walk `job` among the live scans until RemoveLiveScan. It must stay allocated till then.
void AddLiveScan(const TTreeJob* job);
// Stops counting `job`; nothing happens for one that is not counted.
void RemoveLiveScan(const TTreeJob* job);

// True while a live scan has not ended: still walking, or waiting for a window to take its
// completion notice. Detached scans count too.
bool ScanThreadsRunning();
// With ScanThreadsRunning(), ends the process at once with `code` (std::_Exit, after flushing
// the C streams): a running walk is neither stopped nor waited for, and no destructor runs, so
// call it only once the settings are saved. Returns when no scan thread runs.
void QuitIfScansRunning(int code);

}  // namespace ostrel
