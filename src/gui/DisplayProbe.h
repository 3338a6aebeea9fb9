// Whether Qt can open its window system here, found out before the application object exists:
// a display that cannot be reached (DISPLAY left in a crontab, an ended "ssh -X", sudo without
// the desktop's authority, WAYLAND_DISPLAY without the Wayland plugin) makes Qt abort the process
// as it starts, and the program must run on the console instead.
#pragma once

namespace gui {

// True when DISPLAY or WAYLAND_DISPLAY is set and a trial start of Qt's platform (in a child
// process, with the program's own arguments, Qt's -platform included) succeeds within a few
// seconds. Never aborts or prints.
bool DisplayCanBeOpened(int argc, char** argv);

}  // namespace gui
