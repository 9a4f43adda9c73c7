#include "cli/OutputPaths.h"

#include <filesystem>
#include <system_error>

#include "project/PathFunctions.h"

std::string AbsolutePath(std::string_view path)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), error);
    if (error) {
        absolute = std::filesystem::path(path);
    }
    std::string normal = absolute.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') {
        normal.pop_back();
    }
    return normal;
}

SOutputTarget ChooseOutputTarget(const std::optional<std::string>& output, std::size_t inputCount)
{
    SOutputTarget target;
    if (!output) {
        return target;
    }
    target.path = AbsolutePath(*output);
    std::error_code error;
    const bool isFolder = !output->empty() && (output->back() == '/' || std::filesystem::is_directory(*output, error));
    target.kind = inputCount > 1 || isFolder ? EOutputKind::Folder : EOutputKind::File;
    return target;
}

std::string DestinationPath(const SOutputTarget& target, const std::string& sourcePath, const std::string& extension)
{
    switch (target.kind) {
    case EOutputKind::BesideSources:
        return ReplacePathExtension(sourcePath, extension);
    case EOutputKind::Folder: {
        const std::string folder = target.path == "/" ? std::string() : target.path;
        return ReplacePathExtension(folder + "/" + GetPathFileName(sourcePath, true), extension);
    }
    case EOutputKind::File:
        return target.path;
    }
    return {};
}
