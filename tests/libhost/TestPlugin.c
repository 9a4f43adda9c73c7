/* A file format library for the host's tests. Compile definitions choose its
 * information record and faults:
 *   TP_EXTENSION      the extension it claims ("TST")
 *   TP_INPUT, TP_OUTPUT, TP_ABOUT   the flags of its record (0 or 1)
 *   TP_OMIT_POSTWRITE  leave AUDFF_PostWrite out although TP_OUTPUT is set
 *   TP_INFO_RESULT     what AUDFF_GetInformation returns (0: success)
 * All other entry points exist in every variant, so a host that calls what
 * the record does not announce is caught by TestPlugin_CallCount().
 *
 * The file name given to AUDFF_OpenRead selects what the file "holds":
 * "openfail" refuses the open (16), "noblock" reports a format without a
 * block, "badformat" fails AUDFF_GetFormat (13); anything else is 16-bit
 * stereo PCM at 44100 Hz with 176400 data bytes. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "audff.h"

#ifndef TP_EXTENSION
#define TP_EXTENSION "TST"
#endif
#ifndef TP_INPUT
#define TP_INPUT 1
#endif
#ifndef TP_OUTPUT
#define TP_OUTPUT 1
#endif
#ifndef TP_ABOUT
#define TP_ABOUT 1
#endif
#ifndef TP_INFO_RESULT
#define TP_INFO_RESULT 0
#endif

#define TP_MAX_CODE 16
#define TP_ABOUT_RESULT 7

typedef struct TestFile {
    int refuseFormat;
    int noBlock;
    uint32_t readPosition;
    uint16_t writtenTag;
} TestFile;

static int g_calls;

__attribute__((visibility("default"))) int TestPlugin_CallCount(void)
{
    return g_calls;
}

/* Appends this module's file name to the file named by ORVANO_TEST_UNLOAD_LOG
 * when the module is unloaded, so tests can see the order of release. */
__attribute__((destructor)) static void RecordUnload(void)
{
    const char *logPath = getenv("ORVANO_TEST_UNLOAD_LOG");
    Dl_info info;
    if (logPath == NULL || dladdr((const void *)&g_calls, &info) == 0 || info.dli_fname == NULL) {
        return;
    }
    const char *slash = strrchr(info.dli_fname, '/');
    FILE *log = fopen(logPath, "a");
    if (log != NULL) {
        fprintf(log, "%s\n", slash != NULL ? slash + 1 : info.dli_fname);
        fclose(log);
    }
}

AUDFF_API int32_t AUDFF_GetInformation(AUDFF_INFORMATION *information)
{
    if (information == NULL) {
        return 17;
    }
    strcpy(information->szExtension, TP_EXTENSION);
    strcpy(information->szName, "Test " TP_EXTENSION " File");
    strcpy(information->szDescription, "Test library " TP_EXTENSION);
    information->bInput = TP_INPUT;
    information->bOutput = TP_OUTPUT;
    information->bAbout = TP_ABOUT;
    information->wMaxErrorMessage = 1000;
    return TP_INFO_RESULT;
}

AUDFF_API int32_t AUDFF_GetErrorMessage(uint32_t code, char *buffer, uint32_t bufferSize, void *module,
                                        const char *language)
{
    static const char *const english[TP_MAX_CODE + 1] = {
        "No Error.", "Test failure one.", [13] = "Format information cannot be read from the file.",
        [16] = "An unknown error has occured while trying to open the file."};
    static const char *const german[TP_MAX_CODE + 1] = {"Kein Fehler.", "Testfehler eins."};
    if (buffer == NULL || bufferSize < 2 || module == NULL) {
        return 0;
    }
    const char *text = "An invalid error code has been specified.";
    if (code <= TP_MAX_CODE) {
        const char *const *table = language != NULL && strcmp(language, "German") == 0 ? german : english;
        text = table[code] != NULL ? table[code] : "The error message can't be determined.";
    }
    strncpy(buffer, text, bufferSize - 1);
    buffer[bufferSize - 1] = '\0';
    return 1;
}

AUDFF_API int32_t AUDFF_OpenRead(const char *fileName, AUDFF_HANDLE *handle)
{
    ++g_calls;
    if (fileName == NULL || handle == NULL) {
        return 17;
    }
    *handle = 0;
    if (strstr(fileName, "openfail") != NULL) {
        return 16;
    }
    TestFile *file = calloc(1, sizeof *file);
    if (file == NULL) {
        return 11;
    }
    file->refuseFormat = strstr(fileName, "badformat") != NULL;
    file->noBlock = strstr(fileName, "noblock") != NULL;
    *handle = (AUDFF_HANDLE)file;
    return 0;
}

AUDFF_API int32_t AUDFF_CloseRead(AUDFF_HANDLE handle)
{
    ++g_calls;
    free((TestFile *)handle);
    return 0;
}

AUDFF_API int32_t AUDFF_GetFormat(AUDFF_HANDLE handle, WAVEFORMATEX **format, uint32_t *dataSize)
{
    ++g_calls;
    TestFile *file = (TestFile *)handle;
    if (file == NULL || format == NULL || dataSize == NULL) {
        return 17;
    }
    *format = NULL;
    if (file->refuseFormat) {
        return 13;
    }
    *dataSize = 176400;
    if (file->noBlock) {
        return 0;
    }
    WAVEFORMATEX *block = calloc(1, sizeof *block);
    if (block == NULL) {
        return 11;
    }
    block->wFormatTag = WAVE_FORMAT_PCM;
    block->nChannels = 2;
    block->nSamplesPerSec = 44100;
    block->nAvgBytesPerSec = 176400;
    block->nBlockAlign = 4;
    block->wBitsPerSample = 16;
    *format = block;
    return 0;
}

AUDFF_API int32_t AUDFF_PreRead(AUDFF_HANDLE handle)
{
    ++g_calls;
    ((TestFile *)handle)->readPosition = 0;
    return 0;
}

AUDFF_API int32_t AUDFF_Read(AUDFF_HANDLE handle, void *buffer, uint32_t *size)
{
    ++g_calls;
    if (buffer == NULL || size == NULL) {
        return 17;
    }
    TestFile *file = (TestFile *)handle;
    for (uint32_t i = 0; i < *size; ++i) {
        ((unsigned char *)buffer)[i] = (unsigned char)(file->readPosition + i);
    }
    file->readPosition += *size;
    return 0;
}

AUDFF_API int32_t AUDFF_PostRead(AUDFF_HANDLE handle)
{
    (void)handle;
    ++g_calls;
    return 0;
}

AUDFF_API int32_t AUDFF_CheckFormatTag(uint32_t formatTag)
{
    ++g_calls;
    return formatTag == WAVE_FORMAT_PCM;
}

AUDFF_API int32_t AUDFF_CheckFormat(const WAVEFORMATEX *format)
{
    ++g_calls;
    return format != NULL && format->wFormatTag == WAVE_FORMAT_PCM && format->nChannels <= 2;
}

AUDFF_API int32_t AUDFF_OpenWrite(const char *fileName, AUDFF_HANDLE *handle)
{
    ++g_calls;
    if (fileName == NULL || handle == NULL) {
        return 17;
    }
    TestFile *file = calloc(1, sizeof *file);
    if (file == NULL) {
        return 11;
    }
    *handle = (AUDFF_HANDLE)file;
    return 0;
}

/* Only PCM can be recorded: anything else answers 2, so tests see that the
 * block the host holds is what arrives. */
AUDFF_API int32_t AUDFF_PutFormat(AUDFF_HANDLE handle, const WAVEFORMATEX *format)
{
    ++g_calls;
    if (format == NULL) {
        return 17;
    }
    ((TestFile *)handle)->writtenTag = format->wFormatTag;
    return format->wFormatTag == WAVE_FORMAT_PCM ? 0 : 2;
}

AUDFF_API int32_t AUDFF_PreWrite(AUDFF_HANDLE handle)
{
    (void)handle;
    ++g_calls;
    return 0;
}

AUDFF_API int32_t AUDFF_Write(AUDFF_HANDLE handle, const void *buffer, uint32_t count)
{
    (void)handle;
    (void)count;
    ++g_calls;
    return buffer == NULL ? 17 : 0;
}

#if !defined(TP_OMIT_POSTWRITE)
AUDFF_API int32_t AUDFF_PostWrite(AUDFF_HANDLE handle)
{
    (void)handle;
    ++g_calls;
    return 0;
}
#endif

AUDFF_API int32_t AUDFF_CloseWrite(AUDFF_HANDLE handle)
{
    ++g_calls;
    free((TestFile *)handle);
    return 0;
}

AUDFF_API int32_t AUDFF_About(void *parentWindow, void *module)
{
    (void)parentWindow;
    ++g_calls;
    return module != NULL ? TP_ABOUT_RESULT : 17;
}
