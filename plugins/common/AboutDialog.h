// The About box both file format libraries show.
#pragma once

namespace audff {

// Runs a modal dialog titled "About" with the two lines and an "OK" button,
// owned by parentWindow (a QWidget* or null). Returns false, showing nothing,
// when no widget application runs or the caller is not its GUI thread.
bool ShowAboutDialog(void* parentWindow, const char* firstLine, const char* secondLine);

} // namespace audff
