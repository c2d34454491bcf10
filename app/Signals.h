// Ending the program by SIGTERM or SIGINT the same way as by the close box.
#pragma once

class QWidget;

namespace blubbi {

// From now on SIGTERM and SIGINT close `window` on the window thread, so the game shuts down
// through its usual path. Call once, after the window exists.
void CloseOnSignals(QWidget* window);

}  // namespace blubbi
