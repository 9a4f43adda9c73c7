#include "libhost/FileFormatLibrary.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

#include "formats/AudioFormat.h"

namespace {

template <std::size_t N>
std::string CopyField(const char (&field)[N])
{
    // A library that fills a field to its end without a NUL is not read past it.
    return std::string(field, strnlen(field, N));
}

} // namespace

CFileFormatLibrary::~CFileFormatLibrary()
{
    Release();
}

void CFileFormatLibrary::Release()
{
    m_bInitialized = false;
    m_pfnCheckFormatTag = nullptr;
    m_pfnCheckFormat = nullptr;
    m_pfnGetInformation = nullptr;
    m_pfnOpenRead = nullptr;
    m_pfnOpenWrite = nullptr;
    m_pfnCloseRead = nullptr;
    m_pfnCloseWrite = nullptr;
    m_pfnGetFormat = nullptr;
    m_pfnPutFormat = nullptr;
    m_pfnPreRead = nullptr;
    m_pfnPreWrite = nullptr;
    m_pfnRead = nullptr;
    m_pfnWrite = nullptr;
    m_pfnPostRead = nullptr;
    m_pfnPostWrite = nullptr;
    m_pfnAbout = nullptr;
    m_pfnGetErrorMessage = nullptr;
    if (m_hLibrary != nullptr) {
        dlclose(m_hLibrary);
        m_hLibrary = nullptr;
    }
}

bool CFileFormatLibrary::Fail(std::string reason)
{
    Release();
    m_lastLoadError = std::move(reason);
    return false;
}

template <typename Function>
bool CFileFormatLibrary::Bind(Function& entryPoint, const char* name)
{
    dlerror();
    void* symbol = dlsym(m_hLibrary, name);
    if (symbol == nullptr) {
        return Fail(std::string("The entry point ") + name + " is missing.");
    }
    entryPoint = reinterpret_cast<Function>(symbol);
    return true;
}

bool CFileFormatLibrary::Load(const std::string& path, const std::string& language)
{
    Release();
    m_lastLoadError.clear();

    m_hLibrary = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_hLibrary == nullptr) {
        const char* reason = dlerror();
        return Fail(reason != nullptr ? reason : "The module can't be loaded.");
    }

    if (!Bind(m_pfnGetErrorMessage, "AUDFF_GetErrorMessage") || !Bind(m_pfnGetInformation, "AUDFF_GetInformation")) {
        return false;
    }

    AUDFF_INFORMATION information{};
    const int32_t result = m_pfnGetInformation(&information);
    if (result != 0) {
        return Fail("AUDFF_GetInformation failed with code " + std::to_string(result) + ".");
    }

    m_strExtension = CopyField(information.szExtension);
    m_strName = CopyField(information.szName);
    m_strDescription = CopyField(information.szDescription);
    m_strPath = path;
    m_strLanguage = language;
    m_bInput = information.bInput != 0;
    m_bOutput = information.bOutput != 0;
    m_bAbout = information.bAbout != 0;
    m_wMaxErrorMessage = information.wMaxErrorMessage;

    if (m_bAbout && !Bind(m_pfnAbout, "AUDFF_About")) {
        return false;
    }
    if (m_bInput &&
        !(Bind(m_pfnOpenRead, "AUDFF_OpenRead") && Bind(m_pfnCloseRead, "AUDFF_CloseRead") &&
          Bind(m_pfnGetFormat, "AUDFF_GetFormat") && Bind(m_pfnPreRead, "AUDFF_PreRead") &&
          Bind(m_pfnRead, "AUDFF_Read") && Bind(m_pfnPostRead, "AUDFF_PostRead"))) {
        return false;
    }
    if (m_bOutput &&
        !(Bind(m_pfnCheckFormatTag, "AUDFF_CheckFormatTag") && Bind(m_pfnCheckFormat, "AUDFF_CheckFormat") &&
          Bind(m_pfnOpenWrite, "AUDFF_OpenWrite") && Bind(m_pfnCloseWrite, "AUDFF_CloseWrite") &&
          Bind(m_pfnPutFormat, "AUDFF_PutFormat") && Bind(m_pfnWrite, "AUDFF_Write") &&
          Bind(m_pfnPreWrite, "AUDFF_PreWrite") && Bind(m_pfnPostWrite, "AUDFF_PostWrite"))) {
        return false;
    }

    m_bInitialized = true;
    return true;
}

int32_t CFileFormatLibrary::ReadGuard() const
{
    if (!m_bInitialized) {
        return LIBRESULT_NOT_INITIALIZED;
    }
    return m_bInput ? 0 : LIBRESULT_INVALID_OPERATION;
}

int32_t CFileFormatLibrary::WriteGuard() const
{
    if (!m_bInitialized) {
        return LIBRESULT_NOT_INITIALIZED;
    }
    return m_bOutput ? 0 : LIBRESULT_INVALID_OPERATION;
}

int32_t CFileFormatLibrary::OpenRead(const std::string& path, AUDFF_HANDLE& handle) const
{
    if (const int32_t refused = ReadGuard()) {
        return refused;
    }
    return m_pfnOpenRead(path.c_str(), &handle);
}

int32_t CFileFormatLibrary::CloseRead(AUDFF_HANDLE handle) const
{
    if (const int32_t refused = ReadGuard()) {
        return refused;
    }
    return m_pfnCloseRead(handle);
}

int32_t CFileFormatLibrary::GetFormat(AUDFF_HANDLE handle, CAudioFormat& format, uint32_t& dataSize) const
{
    if (const int32_t refused = ReadGuard()) {
        return refused;
    }
    WAVEFORMATEX* block = nullptr;
    uint32_t size = 0;
    const int32_t result = m_pfnGetFormat(handle, &block, &size);
    if (result != 0) {
        // On failure the library has released its block itself.
        return result;
    }
    if (block == nullptr) {
        return LIBRESULT_UNKNOWN_ERROR;
    }
    format.SetFormat(block);
    std::free(block);
    dataSize = size;
    return 0;
}

int32_t CFileFormatLibrary::PreRead(AUDFF_HANDLE handle) const
{
    if (const int32_t refused = ReadGuard()) {
        return refused;
    }
    return m_pfnPreRead(handle);
}

int32_t CFileFormatLibrary::Read(AUDFF_HANDLE handle, void* buffer, uint32_t& size) const
{
    if (const int32_t refused = ReadGuard()) {
        return refused;
    }
    return m_pfnRead(handle, buffer, &size);
}

int32_t CFileFormatLibrary::PostRead(AUDFF_HANDLE handle) const
{
    if (const int32_t refused = ReadGuard()) {
        return refused;
    }
    return m_pfnPostRead(handle);
}

int32_t CFileFormatLibrary::OpenWrite(const std::string& path, AUDFF_HANDLE& handle) const
{
    if (const int32_t refused = WriteGuard()) {
        return refused;
    }
    return m_pfnOpenWrite(path.c_str(), &handle);
}

int32_t CFileFormatLibrary::PutFormat(AUDFF_HANDLE handle, const CAudioFormat& format) const
{
    if (const int32_t refused = WriteGuard()) {
        return refused;
    }
    if (format.GetFormat() == nullptr) {
        return LIBRESULT_INVALID_OPERATION;
    }
    return m_pfnPutFormat(handle, format.GetFormat());
}

int32_t CFileFormatLibrary::PreWrite(AUDFF_HANDLE handle) const
{
    if (const int32_t refused = WriteGuard()) {
        return refused;
    }
    return m_pfnPreWrite(handle);
}

int32_t CFileFormatLibrary::Write(AUDFF_HANDLE handle, const void* buffer, uint32_t count) const
{
    if (const int32_t refused = WriteGuard()) {
        return refused;
    }
    return m_pfnWrite(handle, buffer, count);
}

int32_t CFileFormatLibrary::PostWrite(AUDFF_HANDLE handle) const
{
    if (const int32_t refused = WriteGuard()) {
        return refused;
    }
    return m_pfnPostWrite(handle);
}

int32_t CFileFormatLibrary::CloseWrite(AUDFF_HANDLE handle) const
{
    if (const int32_t refused = WriteGuard()) {
        return refused;
    }
    return m_pfnCloseWrite(handle);
}

bool CFileFormatLibrary::CheckFormatTag(uint32_t formatTag) const
{
    if (WriteGuard() != 0) {
        return false;
    }
    return m_pfnCheckFormatTag(formatTag) != 0;
}

bool CFileFormatLibrary::CheckFormat(const CAudioFormat& format) const
{
    if (WriteGuard() != 0 || format.GetFormat() == nullptr) {
        return false;
    }
    return m_pfnCheckFormat(format.GetFormat()) != 0;
}

bool CFileFormatLibrary::GetErrorMessage(int32_t code, std::string& text) const
{
    switch (code) {
    case LIBRESULT_NOT_INITIALIZED: text = kNotInitializedMessage; return true;
    case LIBRESULT_INVALID_OPERATION: text = kInvalidOperationMessage; return true;
    case LIBRESULT_UNKNOWN_ERROR: text = kUnknownErrorMessage; return true;
    default: break;
    }
    if (m_pfnGetErrorMessage == nullptr) {
        return false;
    }
    const uint32_t size = static_cast<uint32_t>(m_wMaxErrorMessage) + 1;
    std::string buffer(size, '\0');
    if (m_pfnGetErrorMessage(static_cast<uint32_t>(code), buffer.data(), size, m_hLibrary, m_strLanguage.c_str()) ==
        0) {
        return false;
    }
    buffer.resize(strnlen(buffer.data(), size));
    text = std::move(buffer);
    return true;
}

int32_t CFileFormatLibrary::About(void* parentWindow) const
{
    if (!m_bInitialized) {
        return LIBRESULT_NOT_INITIALIZED;
    }
    if (m_pfnAbout == nullptr) {
        return LIBRESULT_UNKNOWN_ERROR;
    }
    return m_pfnAbout(parentWindow, m_hLibrary);
}

std::string GetUpperCaseExtension(std::string_view path)
{
    const std::size_t nameStart = path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < nameStart) {
        return {};
    }
    std::string extension(path.substr(dot + 1));
    for (char& c : extension) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return extension;
}

const CFileFormatLibrary* FindLibraryForFile(const COwningList<CFileFormatLibrary>& libraries, std::string_view path)
{
    const std::string extension = GetUpperCaseExtension(path);
    if (extension.empty()) {
        return nullptr;
    }
    for (const auto& library : libraries) {
        if (library->GetExtension() == extension) {
            return library.get();
        }
    }
    return nullptr;
}
