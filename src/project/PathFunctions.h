// Path pieces on byte strings. Both "/" and "\" separate folders (project
// files and clipboard blocks may carry either). The separator is the last of
// either kind; the dot is the last "." and counts only after the separator.
// A path without any separator has neither folder, name nor extension.
// UTF-8 never puts these three bytes inside a multibyte character, so a plain
// byte search from the end is safe.
#pragma once

#include <string>
#include <string_view>

// Empty without a separator. keepSeparator: up to and including the
// separator. Otherwise the part before it, except that a root keeps its
// separator ("/x" gives "/", "D:\x" gives "D:\").
std::string GetPathDirectory(std::string_view path, bool keepSeparator);

// Empty without a separator. The part after the separator; without
// withExtension and with a dot after the separator, only up to that dot.
std::string GetPathFileName(std::string_view path, bool withExtension);

// The part after the dot when the dot stands after a separator; else empty.
std::string GetPathExtension(std::string_view path);

// Folder (with separator) + name without extension + "." + extension.
std::string ReplacePathExtension(std::string_view path, std::string_view extension);

// The extension a derived destination name carries: the writing library's
// extension ("MP3") in lower case ("mp3"). File names are case-sensitive
// here and lower-case extensions are the convention; the libraries are found
// by extension without regard to case, so such files open again.
std::string DestinationExtension(std::string_view libraryExtension);

// Folder (with separator) + name. Unless asGiven, a name with a "." keeps
// everything up to its last "." and takes the extension of path.
std::string SetPathFileName(std::string_view path, std::string_view name, bool asGiven);
