#include "project/PathFunctions.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const char* path;
    const char* directoryWithSeparator;
    const char* directory;
    const char* fileName;
    const char* fileNameWithoutExtension;
    const char* extension;
};

const PathCase kPathCases[] = {
    {"D:\\a\\b.wav", "D:\\a\\", "D:\\a", "b.wav", "b", "wav"},
    {"D:\\b.wav", "D:\\", "D:\\", "b.wav", "b", "wav"},
    {"D:\\a\\b.c.wav", "D:\\a\\", "D:\\a", "b.c.wav", "b.c", "wav"},
    {"D:\\a.b\\c", "D:\\a.b\\", "D:\\a.b", "c", "c", ""},
    {"D:\\music.d\\song", "D:\\music.d\\", "D:\\music.d", "song", "song", ""},
    {"song.wav", "", "", "", "", ""},
    {"", "", "", "", "", ""},
    {"/home/u/a.mp3", "/home/u/", "/home/u", "a.mp3", "a", "mp3"},
    {"/a.wav", "/", "/", "a.wav", "a", "wav"},
    {"/home/u\\mixed/x.y\\z.WAV", "/home/u\\mixed/x.y\\", "/home/u\\mixed/x.y", "z.WAV", "z", "WAV"},
    {"/music/dir/", "/music/dir/", "/music/dir", "", "", ""},
    {"/music/.hidden", "/music/", "/music", ".hidden", "", "hidden"},
    {"/music/trailing.", "/music/", "/music", "trailing.", "trailing", ""},
    {"/music/l\xC3\xA4nge.wav", "/music/", "/music", "l\xC3\xA4nge.wav", "l\xC3\xA4nge", "wav"},
};

TEST(PathFunctions, SplitPathsAtTheLastSeparatorOfEitherKindAndTheLastDotAfterIt)
{
    for (const PathCase& c : kPathCases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(GetPathDirectory(c.path, true), c.directoryWithSeparator);
        EXPECT_EQ(GetPathDirectory(c.path, false), c.directory);
        EXPECT_EQ(GetPathFileName(c.path, true), c.fileName);
        EXPECT_EQ(GetPathFileName(c.path, false), c.fileNameWithoutExtension);
        EXPECT_EQ(GetPathExtension(c.path), c.extension);
    }
}

TEST(PathFunctions, ReplaceAndSetBuildPathsFromTheirPieces)
{
    EXPECT_EQ(ReplacePathExtension("D:\\in\\x.wav", "MP3"), "D:\\in\\x.MP3");
    EXPECT_EQ(ReplacePathExtension("/in/x.y.wav", "MP3"), "/in/x.y.MP3");
    EXPECT_EQ(ReplacePathExtension("/in/noext", "WAV"), "/in/noext.WAV");
    EXPECT_EQ(ReplacePathExtension("bare.wav", "MP3"), ".MP3");

    EXPECT_EQ(SetPathFileName("/usr/lib/orvano/orvano", "AUDFF*.so", true), "/usr/lib/orvano/AUDFF*.so");
    EXPECT_EQ(SetPathFileName("/out/old.mp3", "new", false), "/out/new");
    EXPECT_EQ(SetPathFileName("/out/old.mp3", "new.wav", false), "/out/new.mp3");
    EXPECT_EQ(SetPathFileName("/out/old.mp3", "a.b.wav", false), "/out/a.b.mp3");
    EXPECT_EQ(SetPathFileName("/out/old.mp3", "new.wav", true), "/out/new.wav");
    EXPECT_EQ(SetPathFileName("/out/noext", "new.wav", false), "/out/new.");
}

} // namespace
