/* A file format library for the run's tests ("FLT"): raw audio behind a
 * small header, with faults chosen by words in the file name, so that every
 * library call of a run can fail on purpose.
 *
 *   file:  "FLT1", format size (uint32 LE), format block, audio data to the end
 *
 *   "@<call>=<code>"  that call answers code (the file is still released
 *                     by the close calls): openread getformat preread read
 *                     postread closeread openwrite putformat prewrite write
 *                     postwrite closewrite
 *   "@claim=<n>"      the stated data length is n bytes longer than the data,
 *                     so the reader runs dry before it
 *
 * FaultLibrary_OpenHandles() tells how many files are open, so that tests can
 * see that a run closed everything it opened. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "audff.h"

typedef struct FaultFile {
    FILE* stream;
    char name[1024];
    uint32_t dataLength;
} FaultFile;

static int g_openHandles = 0;

AUDFF_API int32_t FaultLibrary_OpenHandles(void)
{
    return __atomic_load_n(&g_openHandles, __ATOMIC_SEQ_CST);
}

/* The code "@call=" asks for in name, or 0. */
static int32_t FaultCode(const char* name, const char* call)
{
    char pattern[64];
    snprintf(pattern, sizeof pattern, "@%s=", call);
    const char* found = strstr(name, pattern);
    return found != NULL ? (int32_t)strtol(found + strlen(pattern), NULL, 10) : 0;
}

static FaultFile* OpenFile(const char* fileName, const char* mode)
{
    FaultFile* file = calloc(1, sizeof *file);
    if (file == NULL) {
        return NULL;
    }
    file->stream = fopen(fileName, mode);
    if (file->stream == NULL) {
        free(file);
        return NULL;
    }
    snprintf(file->name, sizeof file->name, "%s", fileName);
    __atomic_add_fetch(&g_openHandles, 1, __ATOMIC_SEQ_CST);
    return file;
}

static void CloseFile(FaultFile* file)
{
    fclose(file->stream);
    free(file);
    __atomic_sub_fetch(&g_openHandles, 1, __ATOMIC_SEQ_CST);
}

static int ReadLe32(FILE* stream, uint32_t* value)
{
    unsigned char bytes[4];
    if (fread(bytes, 1, 4, stream) != 4) {
        return 0;
    }
    *value = (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 | (uint32_t)bytes[3] << 24;
    return 1;
}

AUDFF_API int32_t AUDFF_GetInformation(AUDFF_INFORMATION* information)
{
    memset(information, 0, sizeof *information);
    strcpy(information->szExtension, "FLT");
    strcpy(information->szName, "Fault Audio File");
    strcpy(information->szDescription, "Raw audio with chosen faults");
    information->bInput = 1;
    information->bOutput = 1;
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
    snprintf(buffer, bufferSize, "fault library error %u", (unsigned)code);
    return 1;
}

AUDFF_API int32_t AUDFF_OpenRead(const char* fileName, AUDFF_HANDLE* handle)
{
    const int32_t fault = FaultCode(fileName, "openread");
    if (fault != 0) {
        return fault;
    }
    FaultFile* file = OpenFile(fileName, "rb");
    if (file == NULL) {
        return 2;
    }
    *handle = (AUDFF_HANDLE)file;
    return 0;
}

AUDFF_API int32_t AUDFF_CloseRead(AUDFF_HANDLE handle)
{
    FaultFile* file = (FaultFile*)handle;
    const int32_t fault = FaultCode(file->name, "closeread");
    CloseFile(file);
    return fault;
}

/* Leaves the stream at the start of the audio data. */
static int32_t ReadHeader(FaultFile* file, WAVEFORMATEX** format)
{
    char magic[4];
    uint32_t formatSize = 0;
    if (fseek(file->stream, 0, SEEK_SET) != 0 || fread(magic, 1, 4, file->stream) != 4 ||
        memcmp(magic, "FLT1", 4) != 0 || !ReadLe32(file->stream, &formatSize) || formatSize < 16 ||
        formatSize > 4096) {
        return 3;
    }
    WAVEFORMATEX* block = calloc(1, formatSize < sizeof *block ? sizeof *block : formatSize);
    if (block == NULL || fread(block, 1, formatSize, file->stream) != formatSize) {
        free(block);
        return 3;
    }
    long start = ftell(file->stream);
    if (fseek(file->stream, 0, SEEK_END) != 0) {
        free(block);
        return 3;
    }
    long end = ftell(file->stream);
    fseek(file->stream, start, SEEK_SET);
    file->dataLength = (uint32_t)(end - start);
    if (format != NULL) {
        *format = block;
    } else {
        free(block);
    }
    return 0;
}

AUDFF_API int32_t AUDFF_GetFormat(AUDFF_HANDLE handle, WAVEFORMATEX** format, uint32_t* dataSize)
{
    FaultFile* file = (FaultFile*)handle;
    const int32_t fault = FaultCode(file->name, "getformat");
    if (fault != 0) {
        return fault;
    }
    const int32_t result = ReadHeader(file, format);
    if (result != 0) {
        return result;
    }
    *dataSize = file->dataLength + (uint32_t)FaultCode(file->name, "claim");
    return 0;
}

AUDFF_API int32_t AUDFF_PreRead(AUDFF_HANDLE handle)
{
    FaultFile* file = (FaultFile*)handle;
    const int32_t fault = FaultCode(file->name, "preread");
    return fault != 0 ? fault : ReadHeader(file, NULL);
}

AUDFF_API int32_t AUDFF_Read(AUDFF_HANDLE handle, void* buffer, uint32_t* size)
{
    FaultFile* file = (FaultFile*)handle;
    const int32_t fault = FaultCode(file->name, "read");
    if (fault != 0) {
        return fault;
    }
    *size = (uint32_t)fread(buffer, 1, *size, file->stream);
    return 0;
}

AUDFF_API int32_t AUDFF_PostRead(AUDFF_HANDLE handle)
{
    return FaultCode(((FaultFile*)handle)->name, "postread");
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
    const int32_t fault = FaultCode(fileName, "openwrite");
    if (fault != 0) {
        return fault;
    }
    FaultFile* file = OpenFile(fileName, "wb");
    if (file == NULL) {
        return 2;
    }
    *handle = (AUDFF_HANDLE)file;
    return 0;
}

AUDFF_API int32_t AUDFF_PutFormat(AUDFF_HANDLE handle, const WAVEFORMATEX* format)
{
    FaultFile* file = (FaultFile*)handle;
    const int32_t fault = FaultCode(file->name, "putformat");
    if (fault != 0) {
        return fault;
    }
    const uint32_t size = format->wFormatTag == WAVE_FORMAT_PCM ? 16u : 18u + format->cbSize;
    const unsigned char sizeBytes[4] = {(unsigned char)size, (unsigned char)(size >> 8), (unsigned char)(size >> 16),
                                        (unsigned char)(size >> 24)};
    if (fwrite("FLT1", 1, 4, file->stream) != 4 || fwrite(sizeBytes, 1, 4, file->stream) != 4 ||
        fwrite(format, 1, size, file->stream) != size) {
        return 4;
    }
    return 0;
}

AUDFF_API int32_t AUDFF_PreWrite(AUDFF_HANDLE handle)
{
    return FaultCode(((FaultFile*)handle)->name, "prewrite");
}

AUDFF_API int32_t AUDFF_Write(AUDFF_HANDLE handle, const void* buffer, uint32_t count)
{
    FaultFile* file = (FaultFile*)handle;
    const int32_t fault = FaultCode(file->name, "write");
    if (fault != 0) {
        return fault;
    }
    return fwrite(buffer, 1, count, file->stream) == count ? 0 : 4;
}

AUDFF_API int32_t AUDFF_PostWrite(AUDFF_HANDLE handle)
{
    FaultFile* file = (FaultFile*)handle;
    const int32_t fault = FaultCode(file->name, "postwrite");
    if (fault != 0) {
        return fault;
    }
    return fflush(file->stream) == 0 ? 0 : 4;
}

AUDFF_API int32_t AUDFF_CloseWrite(AUDFF_HANDLE handle)
{
    FaultFile* file = (FaultFile*)handle;
    const int32_t fault = FaultCode(file->name, "closewrite");
    CloseFile(file);
    return fault;
}
