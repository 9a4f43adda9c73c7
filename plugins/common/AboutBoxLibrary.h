// The About box library: the only part of the file format libraries that
// needs Qt Widgets. It lies beside them and they load it on demand, so a
// process without a widget application never maps Qt for them.
#pragma once

#include <cstdint>

namespace audff {

// Outside the "AUDFF*.so" pattern, so the program never takes it for a file
// format library.
inline constexpr char kAboutBoxLibraryFile[] = "liborvano-about.so";
inline constexpr char kAboutBoxEntryPoint[] = "OrvanoAbout_Run";

} // namespace audff

extern "C" {

// Runs a modal box with the caption, the two lines and an "OK" button, owned
// by parentWindow (a QWidget* or null). 1 when the box ran; 0, showing
// nothing, when no widget application exists or the caller is not its thread.
int32_t OrvanoAbout_Run(void* parentWindow, const char* caption, const char* firstLine, const char* secondLine);

} // extern "C"

namespace audff {
using RunAboutBox = decltype(&OrvanoAbout_Run);
} // namespace audff
