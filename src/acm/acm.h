// The codec layer: the Audio Compression Manager calls the program makes,
// with the platform's names, structures, flags and result codes.
//
// Every call addresses all registered codecs when its driver handle is null.
// A non-null HACMDRIVER / HACMOBJ must be a HACMDRIVERID handed to an
// enumeration callback; the call is then limited to that driver. The layer
// has no acmDriverOpen: driver ids double as driver handles.
//
// cbStruct of every structure is its sizeof on this platform (not the 32-bit
// sizes); a wrong cbStruct is refused with MMSYSERR_INVALPARAM.
//
// All calls are thread-safe; one stream must not be used by two threads at
// once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "wavefmt.h"

typedef uint32_t MMRESULT;

// Results. 0 is success; the numbers are the platform's.
#define MMSYSERR_NOERROR 0u
#define MMSYSERR_ERROR 1u
#define MMSYSERR_INVALHANDLE 5u
#define MMSYSERR_NODRIVER 6u
#define MMSYSERR_NOMEM 7u
#define MMSYSERR_NOTSUPPORTED 8u
#define MMSYSERR_INVALFLAG 10u
#define MMSYSERR_INVALPARAM 11u
#define ACMERR_BASE 512u
#define ACMERR_NOTPOSSIBLE (ACMERR_BASE + 0u) // no codec does this (format, conversion, length)
#define ACMERR_BUSY (ACMERR_BASE + 1u)        // a header is still prepared on the stream
#define ACMERR_UNPREPARED (ACMERR_BASE + 2u)  // header not prepared (for this stream)
#define ACMERR_CANCELED (ACMERR_BASE + 3u)

// Opaque handles. A null HACMDRIVER / HACMOBJ means "all codecs".
struct OrvanoAcmDriverId;
struct OrvanoAcmStream;
typedef const OrvanoAcmDriverId* HACMDRIVERID;
typedef const OrvanoAcmDriverId* HACMDRIVER;
typedef const void* HACMOBJ;
typedef OrvanoAcmStream* HACMSTREAM;

#define ACMFORMATTAGDETAILS_FORMATTAG_CHARS 48
#define ACMFORMATDETAILS_FORMAT_CHARS 128

// fdwSupport bits.
#define ACMDRIVERDETAILS_SUPPORTF_CODEC 0x00000001u     // converts a tag to another tag
#define ACMDRIVERDETAILS_SUPPORTF_CONVERTER 0x00000002u // converts within one tag (PCM)

struct ACMFORMATTAGDETAILS {
    uint32_t cbStruct;         // sizeof(ACMFORMATTAGDETAILS)
    uint32_t dwFormatTagIndex; // position in the tag enumeration
    uint32_t dwFormatTag;
    uint32_t cbFormatSize;     // largest format block of this tag, bytes
    uint32_t fdwSupport;
    uint32_t cStandardFormats; // formats acmFormatEnum lists for the tag
    char szFormatTag[ACMFORMATTAGDETAILS_FORMATTAG_CHARS];
};

struct ACMFORMATDETAILS {
    uint32_t cbStruct;      // sizeof(ACMFORMATDETAILS)
    uint32_t dwFormatIndex; // position within the tag's enumeration
    uint32_t dwFormatTag;
    uint32_t fdwSupport;
    WAVEFORMATEX* pwfx;     // the format block (in for details, out for enumeration)
    uint32_t cbwfx;         // bytes at pwfx: 16 suffice for PCM, else 18 + cbSize
    char szFormat[ACMFORMATDETAILS_FORMAT_CHARS];
};

struct ACMSTREAMHEADER {
    uint32_t cbStruct; // sizeof(ACMSTREAMHEADER)
    uint32_t fdwStatus;
    uintptr_t dwUser;
    uint8_t* pbSrc;
    uint32_t cbSrcLength;
    uint32_t cbSrcLengthUsed;
    uintptr_t dwSrcUser;
    uint8_t* pbDst;
    uint32_t cbDstLength;
    uint32_t cbDstLengthUsed;
    uintptr_t dwDstUser;
    uintptr_t dwReservedDriver[4]; // the layer's bookkeeping; leave alone
};

// Enumeration callbacks: return nonzero to go on, zero to stop.
typedef int32_t (*ACMFORMATTAGENUMCB)(HACMDRIVERID hadid, ACMFORMATTAGDETAILS* paftd, uintptr_t dwInstance,
                                      uint32_t fdwSupport);
typedef int32_t (*ACMFORMATENUMCB)(HACMDRIVERID hadid, ACMFORMATDETAILS* pafd, uintptr_t dwInstance,
                                   uint32_t fdwSupport);

// acmMetrics: the result is a uint32_t written to pMetric.
#define ACM_METRIC_COUNT_DRIVERS 1u
#define ACM_METRIC_MAX_SIZE_FORMAT 50u

// acmFormatEnum: without flags every format of every tag is listed. Each
// filter flag takes the field from pafd->pwfx (WFORMATTAG also accepts
// pafd->dwFormatTag when it is nonzero).
#define ACM_FORMATENUMF_WFORMATTAG 0x00010000u
#define ACM_FORMATENUMF_NCHANNELS 0x00020000u
#define ACM_FORMATENUMF_NSAMPLESPERSEC 0x00040000u
#define ACM_FORMATENUMF_WBITSPERSAMPLE 0x00080000u

// acmFormatTagDetails: by index (dwFormatTagIndex) or by tag (dwFormatTag).
#define ACM_FORMATTAGDETAILSF_INDEX 0x00000000u
#define ACM_FORMATTAGDETAILSF_FORMATTAG 0x00000001u

// acmFormatDetails: by index (dwFormatTag, dwFormatIndex) or by block (pwfx).
#define ACM_FORMATDETAILSF_INDEX 0x00000000u
#define ACM_FORMATDETAILSF_FORMAT 0x00000001u

// acmFormatSuggest: each flag fixes that field of the destination block to the
// value preset there. Without WFORMATTAG the suggestion is PCM.
#define ACM_FORMATSUGGESTF_WFORMATTAG 0x00010000u
#define ACM_FORMATSUGGESTF_NCHANNELS 0x00020000u
#define ACM_FORMATSUGGESTF_NSAMPLESPERSEC 0x00040000u
#define ACM_FORMATSUGGESTF_WBITSPERSAMPLE 0x00080000u

// acmStreamOpen. QUERY: only answer whether the stream is possible (phas may
// be null). NONREALTIME: High Quality (slower, better resampling, dither).
#define ACM_STREAMOPENF_QUERY 0x00000001u
#define ACM_STREAMOPENF_NONREALTIME 0x00000004u

// acmStreamConvert.
// BLOCKALIGN: consume whole source blocks only; an unfinished block stays
//             unconsumed. Without it a trailing partial block is consumed too.
// START:      forget the state of earlier data (a new, unrelated signal).
// END:        after the source, deliver what the codec still holds (resampler
//             and encoder tails). Repeat END converts with an empty source
//             until a call produces less than the room.
#define ACM_STREAMCONVERTF_BLOCKALIGN 0x00000004u
#define ACM_STREAMCONVERTF_START 0x00000010u
#define ACM_STREAMCONVERTF_END 0x00000020u

#define ACMSTREAMHEADER_STATUSF_DONE 0x00010000u
#define ACMSTREAMHEADER_STATUSF_PREPARED 0x00020000u

// The one message table of the layer's results ("no codec can do this").
const char* acmResultText(MMRESULT result);

MMRESULT acmMetrics(HACMOBJ hao, uint32_t uMetric, void* pMetric);

// Lists the format tags that have standard formats, in registry order.
// paftd: cbStruct set, the rest is filled per tag.
MMRESULT acmFormatTagEnum(HACMDRIVER had, ACMFORMATTAGDETAILS* paftd, ACMFORMATTAGENUMCB fnCallback,
                          uintptr_t dwInstance, uint32_t fdwEnum);
// Lists concrete formats into pafd->pwfx (cbwfx bytes of room, at least the
// tag's cbFormatSize), with their names, in each driver's order.
MMRESULT acmFormatEnum(HACMDRIVER had, ACMFORMATDETAILS* pafd, ACMFORMATENUMCB fnCallback, uintptr_t dwInstance,
                       uint32_t fdwEnum);
MMRESULT acmFormatTagDetails(HACMDRIVER had, ACMFORMATTAGDETAILS* paftd, uint32_t fdwDetails);
// With ACM_FORMATDETAILSF_FORMAT: succeeds exactly when a codec handles the
// block (consistent fields, supported parameters), and names it.
MMRESULT acmFormatDetails(HACMDRIVER had, ACMFORMATDETAILS* pafd, uint32_t fdwDetails);
// A destination format that one stream reaches from pwfxSrc: the PCM a
// format decodes to, or (WFORMATTAG set to a codec's tag, source PCM) the
// codec's format for that PCM.
MMRESULT acmFormatSuggest(HACMDRIVER had, const WAVEFORMATEX* pwfxSrc, WAVEFORMATEX* pwfxDst, uint32_t cbwfxDst,
                          uint32_t fdwSuggest);

// PCM->PCM with any parameters the PCM codec supports; X->PCM and PCM->X
// only with X's suggested PCM; anything else ACMERR_NOTPOSSIBLE. pwfltr,
// dwCallback and dwInstance must be null/0 (no filters, no notification).
MMRESULT acmStreamOpen(HACMSTREAM* phas, HACMDRIVER had, const WAVEFORMATEX* pwfxSrc, const WAVEFORMATEX* pwfxDst,
                       const void* pwfltr, uintptr_t dwCallback, uintptr_t dwInstance, uint32_t fdwOpen);
// Fails with ACMERR_NOTPOSSIBLE when cbSrcLength is below one source block
// (0 is accepted: an END flush needs no source) or cbDstLength cannot take
// one block's output.
MMRESULT acmStreamPrepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash, uint32_t fdwPrepare);
// Converts pbSrc[0, cbSrcLength) into pbDst[0, cbDstLength); reports the
// counts in cbSrcLengthUsed / cbDstLengthUsed. Every call starts again at
// pbSrc: the caller advances. Consumption stops where the destination room
// ends; output a codec holds back is delivered first by the next call.
MMRESULT acmStreamConvert(HACMSTREAM has, ACMSTREAMHEADER* pash, uint32_t fdwConvert);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash, uint32_t fdwUnprepare);
MMRESULT acmStreamClose(HACMSTREAM has, uint32_t fdwClose);
