// CFileFormatLibrary: the host's object for one file format library. It
// loads the module, binds the entry points its information record announces,
// keeps a copy of that record and offers one guarded wrapper per library
// function. Besides the library's own codes (never negative) the wrappers
// answer LIBRESULT_NOT_INITIALIZED (-1) before a successful Load,
// LIBRESULT_INVALID_OPERATION (-2) for reading from a library without input
// or writing to one without output, and LIBRESULT_UNKNOWN_ERROR (-3).
//
// After Load the object never changes, so both the user-interface thread and
// conversion workers may call it at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/OwningList.h"
#include "audff.h"

class CAudioFormat;

class CFileFormatLibrary {
public:
    CFileFormatLibrary() = default;
    CFileFormatLibrary(const CFileFormatLibrary&) = delete;
    CFileFormatLibrary& operator=(const CFileFormatLibrary&) = delete;
    // Releases the module if one is loaded.
    virtual ~CFileFormatLibrary();

    // Loads the module at path and binds it; language is handed to the
    // library's message lookup. On failure the module is released again and
    // LastLoadError() says why.
    bool Load(const std::string& path, const std::string& language);

    // Read side: -1 before Load, -2 without input support.
    int32_t OpenRead(const std::string& path, AUDFF_HANDLE& handle) const;
    int32_t CloseRead(AUDFF_HANDLE handle) const;
    // Copies the library's format block into format and releases the block;
    // -3 when the library reports success without a block.
    int32_t GetFormat(AUDFF_HANDLE handle, CAudioFormat& format, uint32_t& dataSize) const;
    int32_t PreRead(AUDFF_HANDLE handle) const;
    // size: in, the room in buffer; out, the bytes read.
    int32_t Read(AUDFF_HANDLE handle, void* buffer, uint32_t& size) const;
    int32_t PostRead(AUDFF_HANDLE handle) const;

    // Write side: -1 before Load, -2 without output support.
    int32_t OpenWrite(const std::string& path, AUDFF_HANDLE& handle) const;
    // -2 as well for an empty format, which no library can record.
    int32_t PutFormat(AUDFF_HANDLE handle, const CAudioFormat& format) const;
    int32_t PreWrite(AUDFF_HANDLE handle) const;
    int32_t Write(AUDFF_HANDLE handle, const void* buffer, uint32_t count) const;
    int32_t PostWrite(AUDFF_HANDLE handle) const;
    int32_t CloseWrite(AUDFF_HANDLE handle) const;

    // Whether the library can write this tag / exactly this format; false
    // without asking it before Load, without output support or for an empty
    // format.
    bool CheckFormatTag(uint32_t formatTag) const;
    bool CheckFormat(const CAudioFormat& format) const;

    // The text of a result: the host's own for -1, -2 and -3, otherwise the
    // library's. false (text unchanged) when there is none.
    bool GetErrorMessage(int32_t code, std::string& text) const;

    // Shows the library's About dialog; parent is a QWidget* or null.
    // -1 before Load, -3 when the library has none.
    int32_t About(void* parentWindow) const;

    const std::string& GetExtension() const { return m_strExtension; }
    const std::string& GetName() const { return m_strName; }
    const std::string& GetDescription() const { return m_strDescription; }
    const std::string& GetPath() const { return m_strPath; }
    const std::string& GetLanguage() const { return m_strLanguage; }
    bool IsInitialized() const { return m_bInitialized; }
    bool HasInput() const { return m_bInput; }
    bool HasOutput() const { return m_bOutput; }
    bool HasAbout() const { return m_bAbout; }
    uint16_t GetMaxErrorMessage() const { return m_wMaxErrorMessage; }
    void* GetModule() const { return m_hLibrary; }
    const std::string& LastLoadError() const { return m_lastLoadError; }

private:
    bool Fail(std::string reason);
    template <typename Function>
    bool Bind(Function& entryPoint, const char* name);
    void Release();
    int32_t ReadGuard() const;
    int32_t WriteGuard() const;

    std::string m_strExtension;
    std::string m_strName;
    std::string m_strDescription;
    std::string m_strPath;
    std::string m_strLanguage;
    bool m_bInitialized = false;
    bool m_bInput = false;
    bool m_bOutput = false;
    bool m_bAbout = false;
    uint16_t m_wMaxErrorMessage = 0;
    void* m_hLibrary = nullptr;

    AUDFF_PFN_CheckFormatTag m_pfnCheckFormatTag = nullptr;
    AUDFF_PFN_CheckFormat m_pfnCheckFormat = nullptr;
    AUDFF_PFN_GetInformation m_pfnGetInformation = nullptr;
    AUDFF_PFN_OpenRead m_pfnOpenRead = nullptr;
    AUDFF_PFN_OpenWrite m_pfnOpenWrite = nullptr;
    AUDFF_PFN_CloseRead m_pfnCloseRead = nullptr;
    AUDFF_PFN_CloseWrite m_pfnCloseWrite = nullptr;
    AUDFF_PFN_GetFormat m_pfnGetFormat = nullptr;
    AUDFF_PFN_PutFormat m_pfnPutFormat = nullptr;
    AUDFF_PFN_PreRead m_pfnPreRead = nullptr;
    AUDFF_PFN_PreWrite m_pfnPreWrite = nullptr;
    AUDFF_PFN_Read m_pfnRead = nullptr;
    AUDFF_PFN_Write m_pfnWrite = nullptr;
    AUDFF_PFN_PostRead m_pfnPostRead = nullptr;
    AUDFF_PFN_PostWrite m_pfnPostWrite = nullptr;
    AUDFF_PFN_About m_pfnAbout = nullptr;
    AUDFF_PFN_GetErrorMessage m_pfnGetErrorMessage = nullptr;

    std::string m_lastLoadError;
};

// The host's fixed texts of its own results.
inline constexpr char kNotInitializedMessage[] = "The file format library is still not initialized.";
inline constexpr char kInvalidOperationMessage[] = "An invalid operation has been requested.";
inline constexpr char kUnknownErrorMessage[] = "An unknown error has occured.";

// The extension of a file name as libraries are keyed: the text after the
// last "." of the name part, upper-cased (ASCII); empty when there is none.
std::string GetUpperCaseExtension(std::string_view path);

// The first library in list order whose extension equals the file's
// upper-cased extension; null for a name without extension or when no
// library has it. Input support is not looked at.
const CFileFormatLibrary* FindLibraryForFile(const COwningList<CFileFormatLibrary>& libraries,
                                             std::string_view path);
