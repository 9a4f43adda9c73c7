/* The file format library interface: the seventeen AUDFF_ entry points that a
 * plug-in exports and the program binds by name, the information record, the
 * per-file handle and the host's own results.
 *
 * - AUDFF_HANDLE is pointer-sized and opaque; 0 means no file.
 * - The format block of AUDFF_GetFormat is allocated by the library with
 *   calloc() and released by the host with free().
 * - The module handle passed to AUDFF_GetErrorMessage and AUDFF_About is the
 *   handle dlopen() returned for the library; the parent window of
 *   AUDFF_About is a QWidget* or null.
 * - Results are 0 for success, otherwise a code private to the library,
 *   never negative. */
#ifndef ORVANO_AUDFF_H
#define ORVANO_AUDFF_H

#include <stddef.h>
#include <stdint.h>

#include "wavefmt.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef uintptr_t AUDFF_HANDLE;

typedef struct AUDFF_INFORMATION {
    char szExtension[4];    /* "WAV": upper case, no dot */
    char szName[21];        /* "WAVE Audio File" */
    char szDescription[83]; /* "RIFF/WAVE Audio Format File" */
    int32_t bInput;         /* the six read functions exist */
    int32_t bOutput;        /* the eight write and check functions exist */
    int32_t bAbout;         /* AUDFF_About exists */
    uint16_t wMaxErrorMessage;
} AUDFF_INFORMATION;

#ifdef __cplusplus
static_assert(sizeof(AUDFF_INFORMATION) == 124, "AUDFF_INFORMATION crosses the module boundary");
static_assert(offsetof(AUDFF_INFORMATION, szName) == 4, "layout");
static_assert(offsetof(AUDFF_INFORMATION, szDescription) == 25, "layout");
static_assert(offsetof(AUDFF_INFORMATION, bInput) == 108, "layout");
static_assert(offsetof(AUDFF_INFORMATION, bOutput) == 112, "layout");
static_assert(offsetof(AUDFF_INFORMATION, bAbout) == 116, "layout");
static_assert(offsetof(AUDFF_INFORMATION, wMaxErrorMessage) == 120, "layout");
#else
_Static_assert(sizeof(AUDFF_INFORMATION) == 124, "AUDFF_INFORMATION crosses the module boundary");
#endif

/* Results the host adds in its wrappers; a library never returns them. */
#define LIBRESULT_NOT_INITIALIZED (-1)
#define LIBRESULT_INVALID_OPERATION (-2)
#define LIBRESULT_UNKNOWN_ERROR (-3)

/* Message resources: English text of code n is 1000 + n, German 2000 + n. */
#define AUDFF_MESSAGE_ENGLISH_BASE 1000
#define AUDFF_MESSAGE_GERMAN_BASE 2000

#if defined(AUDFF_BUILDING_LIBRARY)
#define AUDFF_API __attribute__((visibility("default")))
#else
#define AUDFF_API
#endif

/* Entry points as a library declares them. */
AUDFF_API int32_t AUDFF_GetInformation(AUDFF_INFORMATION *information);
AUDFF_API int32_t AUDFF_OpenRead(const char *fileName, AUDFF_HANDLE *handle);
AUDFF_API int32_t AUDFF_CloseRead(AUDFF_HANDLE handle);
AUDFF_API int32_t AUDFF_GetFormat(AUDFF_HANDLE handle, WAVEFORMATEX **format, uint32_t *dataSize);
AUDFF_API int32_t AUDFF_CheckFormatTag(uint32_t formatTag);
AUDFF_API int32_t AUDFF_CheckFormat(const WAVEFORMATEX *format);
AUDFF_API int32_t AUDFF_GetErrorMessage(uint32_t code, char *buffer, uint32_t bufferSize, void *module,
                                        const char *language);
AUDFF_API int32_t AUDFF_PreRead(AUDFF_HANDLE handle);
AUDFF_API int32_t AUDFF_Read(AUDFF_HANDLE handle, void *buffer, uint32_t *size);
AUDFF_API int32_t AUDFF_PostRead(AUDFF_HANDLE handle);
AUDFF_API int32_t AUDFF_OpenWrite(const char *fileName, AUDFF_HANDLE *handle);
AUDFF_API int32_t AUDFF_PutFormat(AUDFF_HANDLE handle, const WAVEFORMATEX *format);
AUDFF_API int32_t AUDFF_PreWrite(AUDFF_HANDLE handle);
AUDFF_API int32_t AUDFF_Write(AUDFF_HANDLE handle, const void *buffer, uint32_t count);
AUDFF_API int32_t AUDFF_PostWrite(AUDFF_HANDLE handle);
AUDFF_API int32_t AUDFF_CloseWrite(AUDFF_HANDLE handle);
AUDFF_API int32_t AUDFF_About(void *parentWindow, void *module);

/* Entry point types as the host binds them with dlsym(). */
typedef int32_t (*AUDFF_PFN_GetInformation)(AUDFF_INFORMATION *);
typedef int32_t (*AUDFF_PFN_OpenRead)(const char *, AUDFF_HANDLE *);
typedef int32_t (*AUDFF_PFN_CloseRead)(AUDFF_HANDLE);
typedef int32_t (*AUDFF_PFN_GetFormat)(AUDFF_HANDLE, WAVEFORMATEX **, uint32_t *);
typedef int32_t (*AUDFF_PFN_CheckFormatTag)(uint32_t);
typedef int32_t (*AUDFF_PFN_CheckFormat)(const WAVEFORMATEX *);
typedef int32_t (*AUDFF_PFN_GetErrorMessage)(uint32_t, char *, uint32_t, void *, const char *);
typedef int32_t (*AUDFF_PFN_PreRead)(AUDFF_HANDLE);
typedef int32_t (*AUDFF_PFN_Read)(AUDFF_HANDLE, void *, uint32_t *);
typedef int32_t (*AUDFF_PFN_PostRead)(AUDFF_HANDLE);
typedef int32_t (*AUDFF_PFN_OpenWrite)(const char *, AUDFF_HANDLE *);
typedef int32_t (*AUDFF_PFN_PutFormat)(AUDFF_HANDLE, const WAVEFORMATEX *);
typedef int32_t (*AUDFF_PFN_PreWrite)(AUDFF_HANDLE);
typedef int32_t (*AUDFF_PFN_Write)(AUDFF_HANDLE, const void *, uint32_t);
typedef int32_t (*AUDFF_PFN_PostWrite)(AUDFF_HANDLE);
typedef int32_t (*AUDFF_PFN_CloseWrite)(AUDFF_HANDLE);
typedef int32_t (*AUDFF_PFN_About)(void *, void *);

#ifdef __cplusplus
}
#endif

#endif
