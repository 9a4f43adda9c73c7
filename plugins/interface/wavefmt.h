/* The audio format record shared by the program, its codec layer and the
 * file format libraries: the "fmt " chunk of a RIFF WAVE file, little-endian,
 * packed to its file layout (18 bytes, then cbSize extra bytes). */
#ifndef ORVANO_WAVEFMT_H
#define ORVANO_WAVEFMT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WAVE_FORMAT_UNKNOWN 0x0000
#define WAVE_FORMAT_PCM 0x0001
#define WAVE_FORMAT_ADPCM 0x0002
#define WAVE_FORMAT_IEEE_FLOAT 0x0003
#define WAVE_FORMAT_ALAW 0x0006
#define WAVE_FORMAT_MULAW 0x0007
#define WAVE_FORMAT_IMA_ADPCM 0x0011
#define WAVE_FORMAT_GSM610 0x0031
#define WAVE_FORMAT_MPEGLAYER3 0x0055
#define WAVE_FORMAT_EXTENSIBLE 0xFFFE

#pragma pack(push, 1)
typedef struct WAVEFORMATEX {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
} WAVEFORMATEX;

/* The MPEG Layer-3 block: cbSize 12. */
typedef struct MPEGLAYER3WAVEFORMAT {
    WAVEFORMATEX wfx;
    uint16_t wID;
    uint32_t fdwFlags;
    uint16_t nBlockSize;
    uint16_t nFramesPerBlock;
    uint16_t nCodecDelay;
} MPEGLAYER3WAVEFORMAT;
#pragma pack(pop)

#define WAVEFORMATEX_HEAD_SIZE 16
#define MPEGLAYER3_WFX_EXTRA_BYTES 12
#define MPEGLAYER3_ID_MPEG 1

#ifdef __cplusplus
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX has its file layout");
static_assert(sizeof(MPEGLAYER3WAVEFORMAT) == 30, "MPEGLAYER3WAVEFORMAT has its file layout");
#else
_Static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX has its file layout");
_Static_assert(sizeof(MPEGLAYER3WAVEFORMAT) == 30, "MPEGLAYER3WAVEFORMAT has its file layout");
#endif

#ifdef __cplusplus
}
#endif

#endif
