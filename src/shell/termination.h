#pragma once

class QWidget;

// A desktop that logs out, a terminal that closes and Ctrl+C end the program the way closing its window does:
// through the window's shutdown, which saves the settings and takes the help pages away. The signal only wakes
// the event loop; the window is closed from there.
void CloseOnTerminationSignals(QWidget* window);
