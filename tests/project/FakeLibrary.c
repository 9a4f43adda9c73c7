/* A file format library for item tests whose behaviour is chosen by words in
 * the file name, so that every failure of describing a source can be made on
 * purpose:
 *   "open-fails"     OpenRead answers 3
 *   "format-fails"   GetFormat answers 4
 *   "close-fails"    CloseRead answers 5
 *   "no-block"       GetFormat succeeds without a block
 *   "unknown-format" a format tag no codec knows
 *   "len<digits>"    the audio data length (default 176400)
 * Otherwise the format is PCM 44100 Hz, 16 bit, stereo. The file itself is
 * never read, so a name that does not exist can still be opened. The
 * extension is FAKE_EXTENSION; everything is accepted for writing. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "audff.h"

#ifndef FAKE_EXTENSION
#define FAKE_EXTENSION "FAK"
#endif

typedef struct FakeFile {
    char name[512];
} FakeFile;

/* Only the last part of the path counts: folders may hold any word. */
static const char* BaseName(const char* path)
{
    const char* slash = strrchr(path, '/');
    return slash != NULL ? slash + 1 : path;
}

static int NameHas(const FakeFile* file, const char* word)
{
    return strstr(BaseName(file->name), word) != NULL;
}

AUDFF_API int32_t AUDFF_GetInformation(AUDFF_INFORMATION* information)
{
    memset(information, 0, sizeof *information);
    strcpy(information->szExtension, FAKE_EXTENSION);
    strcpy(information->szName, "Fake Audio File");
    strcpy(information->szDescription, "Fake file format for tests");
    information->bInput = 1;
    information->bOutput = 1;
    information->bAbout = 0;
    information->wMaxErrorMessage = 64;
    return 0;
}

AUDFF_API int32_t AUDFF_GetErrorMessage(uint32_t code, char* buffer, uint32_t bufferSize, void* module,
                                        const char* language)
{
    (void)module;
    (void)language;
    if (bufferSize == 0) {
        return 0;
    }
    snprintf(buffer, bufferSize, "fake library error %u", (unsigned)code);
    return 1;
}

AUDFF_API int32_t AUDFF_OpenRead(const char* fileName, AUDFF_HANDLE* handle)
{
    if (strstr(BaseName(fileName), "open-fails") != NULL) {
        return 3;
    }
    FakeFile* file = calloc(1, sizeof *file);
    if (file == NULL) {
        return 9;
    }
    snprintf(file->name, sizeof file->name, "%s", fileName);
    *handle = (AUDFF_HANDLE)file;
    return 0;
}

AUDFF_API int32_t AUDFF_CloseRead(AUDFF_HANDLE handle)
{
    FakeFile* file = (FakeFile*)handle;
    const int fails = NameHas(file, "close-fails");
    free(file);
    return fails ? 5 : 0;
}

AUDFF_API int32_t AUDFF_GetFormat(AUDFF_HANDLE handle, WAVEFORMATEX** format, uint32_t* dataSize)
{
    const FakeFile* file = (const FakeFile*)handle;
    if (NameHas(file, "format-fails")) {
        return 4;
    }
    if (NameHas(file, "no-block")) {
        *format = NULL;
        *dataSize = 0;
        return 0;
    }
    WAVEFORMATEX* block = calloc(1, sizeof *block);
    if (block == NULL) {
        return 9;
    }
    block->wFormatTag = NameHas(file, "unknown-format") ? 0x7777 : WAVE_FORMAT_PCM;
    block->nChannels = 2;
    block->nSamplesPerSec = 44100;
    block->nAvgBytesPerSec = 176400;
    block->nBlockAlign = 4;
    block->wBitsPerSample = 16;
    const char* length = strstr(BaseName(file->name), "len");
    *dataSize = length != NULL ? (uint32_t)strtoul(length + 3, NULL, 10) : 176400u;
    *format = block;
    return 0;
}

AUDFF_API int32_t AUDFF_PreRead(AUDFF_HANDLE handle)
{
    (void)handle;
    return 0;
}

AUDFF_API int32_t AUDFF_Read(AUDFF_HANDLE handle, void* buffer, uint32_t* size)
{
    (void)handle;
    (void)buffer;
    *size = 0;
    return 0;
}

AUDFF_API int32_t AUDFF_PostRead(AUDFF_HANDLE handle)
{
    (void)handle;
    return 0;
}

AUDFF_API int32_t AUDFF_CheckFormatTag(uint32_t formatTag)
{
    (void)formatTag;
    return 1;
}

AUDFF_API int32_t AUDFF_CheckFormat(const WAVEFORMATEX* format)
{
    return format != NULL;
}

AUDFF_API int32_t AUDFF_OpenWrite(const char* fileName, AUDFF_HANDLE* handle)
{
    (void)fileName;
    (void)handle;
    return 9;
}

AUDFF_API int32_t AUDFF_PutFormat(AUDFF_HANDLE handle, const WAVEFORMATEX* format)
{
    (void)handle;
    (void)format;
    return 9;
}

AUDFF_API int32_t AUDFF_PreWrite(AUDFF_HANDLE handle)
{
    (void)handle;
    return 9;
}

AUDFF_API int32_t AUDFF_Write(AUDFF_HANDLE handle, const void* buffer, uint32_t count)
{
    (void)handle;
    (void)buffer;
    (void)count;
    return 9;
}

AUDFF_API int32_t AUDFF_PostWrite(AUDFF_HANDLE handle)
{
    (void)handle;
    return 9;
}

AUDFF_API int32_t AUDFF_CloseWrite(AUDFF_HANDLE handle)
{
    (void)handle;
    return 9;
}
