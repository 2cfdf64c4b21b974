#pragma once

// Installs the desktop's modal error box (error icon, one OK button, owned by the active window) as the
// destination of every ShowError.
void InstallErrorBox();
