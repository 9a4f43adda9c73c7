// CProjectItem: one source audio file of a conversion project, with the
// library that reads it, its measured size and playing time and, once chosen,
// its destination (library, quality, path) and the conversion chain leading
// there.
//
// The chain holds the source format first and the destination format last;
// between them zero, one or two PCM formats, so that every neighbouring pair
// is one step a single codec stream can do (decode to PCM, change PCM,
// encode from PCM). No step ever goes directly between two non-PCM formats.
//
//   formats in the chain   meaning
//   0                      not filled (never kept)
//   1                      source only, no destination format chosen
//   2                      one step, or a destination no codec reaches
//   3                      one intermediate PCM format
//   4                      the source's PCM and the destination's PCM
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/OwningList.h"
#include "formats/AudioFormat.h"

class CFileFormatLibrary;

using CLibraryList = COwningList<CFileFormatLibrary>;

class CProjectItem {
public:
    CProjectItem() = default;
    CProjectItem(const CProjectItem&) = delete;
    CProjectItem& operator=(const CProjectItem&) = delete;
    virtual ~CProjectItem() = default;

    // Fills an empty item from the source file at path: the first library of
    // the list whose extension is the file's upper-cased extension opens it
    // and gives its format and data length; a codec must know the format;
    // the file is measured. With report, every failure is shown to the user
    // (messages 1030 to 1036); 1034 is a warning after which filling goes on.
    // On false the caller discards the item.
    bool CreateFromSource(const std::string& path, bool report, const CLibraryList& libraries);

    // Rebuilds the PCM formats between the first and the last format. False
    // when no codec path leads there; the chain then holds just the two ends.
    bool ComputeChain();

    // Replaces the destination: drops everything behind the source, takes the
    // library and quality, appends a copy of format and computes the chain.
    // Returns what ComputeChain returns; the choice is kept either way.
    bool SetDestinationFormat(const CFileFormatLibrary* library, uint32_t highQuality, const CAudioFormat& format);

    const COwningList<CAudioFormat>& GetFormatChain() const { return m_formatChain; }
    std::size_t GetChainLength() const { return m_formatChain.size(); }
    // The first format, or null before CreateFromSource succeeded.
    const CAudioFormat* GetSourceFormat() const;
    // The last format once a destination is chosen (two or more), else null.
    const CAudioFormat* GetDestinationFormat() const;
    // A destination library is set and the chain holds two or more formats.
    bool HasDestination() const;

    const std::string& GetSourcePath() const { return m_sourcePath; }
    const std::string& GetDestinationPath() const { return m_destinationPath; }
    void SetDestinationPath(std::string path) { m_destinationPath = std::move(path); }

    // Nonzero: High Quality. Kept as given; statistics key on the value.
    uint32_t GetHighQuality() const { return m_highQuality; }
    const CFileFormatLibrary* GetSourceLibrary() const { return m_sourceLibrary; }
    const CFileFormatLibrary* GetDestinationLibrary() const { return m_destinationLibrary; }

    uint32_t GetFileSize() const { return m_fileSize; }
    const std::string& GetFileSizeText() const { return m_fileSizeText; }
    uint32_t GetDataLength() const { return m_dataLength; }
    uint32_t GetLengthMs() const { return m_lengthMs; }
    const std::string& GetLengthText() const { return m_lengthText; }

    // Playing time of dataLength bytes at the format's byte rate, truncated to
    // whole milliseconds; 0 for a byte rate of 0, saturated at the 32-bit limit.
    static uint32_t ComputeLengthMs(uint32_t dataLength, const WAVEFORMATEX& format);

private:
    bool Fail(bool report, uint32_t messageId, const std::string& argument, const char* information = nullptr) const;
    std::string LibraryErrorText(const CFileFormatLibrary& library, int32_t result) const;
    void RemoveIntermediateFormats();

    COwningList<CAudioFormat> m_formatChain;
    std::string m_sourcePath;
    std::string m_destinationPath;
    uint32_t m_highQuality = 0;
    const CFileFormatLibrary* m_sourceLibrary = nullptr;
    const CFileFormatLibrary* m_destinationLibrary = nullptr;
    uint32_t m_fileSize = 0;
    std::string m_fileSizeText;
    uint32_t m_dataLength = 0;
    std::string m_lengthText;
    uint32_t m_lengthMs = 0;
};
