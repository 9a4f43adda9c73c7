#include "project/PathFunctions.h"

namespace {

constexpr size_t kNone = std::string_view::npos;

size_t SeparatorPosition(std::string_view path)
{
    return path.find_last_of("\\/");
}

// The last dot, when it stands after the separator.
size_t DotPosition(std::string_view path, size_t separator)
{
    const size_t dot = path.rfind('.');
    if (separator == kNone || dot == kNone || dot < separator) {
        return kNone;
    }
    return dot;
}

} // namespace

std::string GetPathDirectory(std::string_view path, bool keepSeparator)
{
    const size_t separator = SeparatorPosition(path);
    if (separator == kNone) {
        return {};
    }
    const bool isRoot = separator == 0 || path[separator - 1] == ':';
    if (keepSeparator || isRoot) {
        return std::string(path.substr(0, separator + 1));
    }
    return std::string(path.substr(0, separator));
}

std::string GetPathFileName(std::string_view path, bool withExtension)
{
    const size_t separator = SeparatorPosition(path);
    if (separator == kNone) {
        return {};
    }
    const size_t dot = DotPosition(path, separator);
    if (withExtension || dot == kNone) {
        return std::string(path.substr(separator + 1));
    }
    return std::string(path.substr(separator + 1, dot - separator - 1));
}

std::string GetPathExtension(std::string_view path)
{
    const size_t dot = DotPosition(path, SeparatorPosition(path));
    if (dot == kNone) {
        return {};
    }
    return std::string(path.substr(dot + 1));
}

std::string ReplacePathExtension(std::string_view path, std::string_view extension)
{
    std::string result = GetPathDirectory(path, true);
    result += GetPathFileName(path, false);
    result += '.';
    result += extension;
    return result;
}

std::string SetPathFileName(std::string_view path, std::string_view name, bool asGiven)
{
    std::string result = GetPathDirectory(path, true);
    const size_t nameDot = name.rfind('.');
    if (asGiven || nameDot == kNone) {
        result += name;
        return result;
    }
    result += name.substr(0, nameDot + 1);
    result += GetPathExtension(path);
    return result;
}

std::string DestinationExtension(std::string_view libraryExtension)
{
    std::string extension(libraryExtension);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return extension;
}
