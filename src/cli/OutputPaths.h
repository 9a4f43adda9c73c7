// Where the command line puts destination files. Names are derived as the
// Destination File command derives them: the source's name with the writing
// library's extension, beside the source or in the chosen folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// An absolute, lexically normal path (items need a folder part).
std::string AbsolutePath(std::string_view path);

enum class EOutputKind {
    BesideSources,
    Folder,
    File,
};

struct SOutputTarget {
    EOutputKind kind = EOutputKind::BesideSources;
    std::string path; // absolute; a folder without trailing separator
};

// Without -o: beside each source. With several inputs: a folder. With one:
// a folder when it is one or ends in "/", otherwise the destination file.
SOutputTarget ChooseOutputTarget(const std::optional<std::string>& output, std::size_t inputCount);

std::string DestinationPath(const SOutputTarget& target, const std::string& sourcePath, const std::string& extension);
