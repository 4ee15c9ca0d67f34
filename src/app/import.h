// The window's and the driver's import of daily-price files: the engine's
// import (list/price_import.h) with what the running program shows afterwards.
#pragma once

#include <vector>

#include "list/price_import.h"

namespace tavrine {

class Workspace;

// Imports the files into the stock list and reports through the platform:
// the summary (headline and notes) as a message, then each refused file and each
// failed save as an error. Once something was taken the program is in the
// mode a restart would give it (full mode: the stock buttons' captions and
// the filled picker), so the imported stock can be picked or typed at once.
// Call it directly, not from inside a dispatched handler: while a handler
// waits for a page (ws.busy()) the import is refused with the status line's
// note and the summary's busy flag, reading nothing.
// With report false nothing is shown: the caller shows the summary's Text()
// in one box, as the window does.
ImportSummary ImportPriceFiles(Workspace& ws, const std::vector<ImportFile>& files,
                               const ImportHooks& hooks = {}, bool report = true);

}  // namespace tavrine
