// The About box both file format libraries show.
#pragma once

namespace audff {

// Runs a modal dialog with the caption, the two lines and an "OK" button,
// owned by parentWindow (a QWidget* or null), through the About box library
// beside this one. Returns false, showing nothing, when the process has no
// Qt Widgets (then nothing is loaded), when that library or its entry point
// is missing, or when no widget application runs on the caller's thread.
bool ShowAboutDialog(void* parentWindow, const char* caption, const char* firstLine, const char* secondLine);

} // namespace audff
