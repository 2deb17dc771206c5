// The system URL-moniker download on this OS: a blocking "download this URL to this file"
// with a bind-status callback object of the system's slot layout, built on libcurl.
//
// Keeps the system call's contract: the callback is asked for its bind information first,
// then told about the progress (OnProgress with a status code; a non-zero maximum while
// data arrives) and may cancel by returning a failure from OnProgress; the result is an
// HRESULT-style value. The file appears only once complete (written beside the target
// first, then moved onto it).
#pragma once

#include <cstdint>

namespace Download {

using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT INET_E_INVALID_URL = static_cast<HRESULT>(0x800C0002);
constexpr HRESULT INET_E_RESOURCE_NOT_FOUND = static_cast<HRESULT>(0x800C0005);
constexpr HRESULT INET_E_DOWNLOAD_FAILURE = static_cast<HRESULT>(0x800C0008);
constexpr HRESULT INET_E_CONNECTION_TIMEOUT = static_cast<HRESULT>(0x800C000B);

// Status codes of OnProgress (the system's numbering).
enum BindStatus : uint32_t {
    BINDSTATUS_FINDINGRESOURCE = 1,
    BINDSTATUS_CONNECTING = 2,
    BINDSTATUS_REDIRECTING = 3,
    BINDSTATUS_BEGINDOWNLOADDATA = 4,
    BINDSTATUS_DOWNLOADINGDATA = 5,
    BINDSTATUS_ENDDOWNLOADDATA = 6,
};

/// The part of the system's bind information this system uses.
struct BINDINFO {
    uint32_t cbSize = sizeof(BINDINFO);
    uint32_t dwBindVerb = 0;
    uint32_t dwCodePage = 0;  ///< code page of the URL text
};

/// The bind-status callback interface, slots in the system's order (destructor last).
class IBindStatusCallbackEx {
public:
    virtual HRESULT QueryInterface(const void* iid, void** object) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
    virtual HRESULT OnStartBinding(uint32_t reserved, void* binding) = 0;
    virtual HRESULT GetPriority(int32_t* priority) = 0;
    virtual HRESULT OnLowResource(uint32_t reserved) = 0;
    virtual HRESULT OnProgress(uint32_t progress, uint32_t progressMax, uint32_t statusCode,
                               const wchar_t* statusText) = 0;
    virtual HRESULT OnStopBinding(HRESULT result, const wchar_t* error) = 0;
    virtual HRESULT GetBindInfo(uint32_t* bindFlags, BINDINFO* bindInfo) = 0;
    virtual HRESULT OnDataAvailable(uint32_t flags, uint32_t size, void* format, void* medium) = 0;
    virtual HRESULT OnObjectAvailable(const void* iid, void* object) = 0;
    virtual HRESULT GetBindInfoEx(uint32_t* bindFlags, BINDINFO* bindInfo, uint32_t* bindFlags2,
                                  uint32_t* reserved) = 0;
    virtual ~IBindStatusCallbackEx() = default;
};

/// Downloads `url` (UTF-16/32 text; "file:///" paths allowed) into `fileName`, blocking.
/// `caller` and `reserved` are unused, as on the system. Failures: E_INVALIDARG (no URL or
/// file), INET_E_INVALID_URL, E_ABORT (OnProgress returned a failure), INET_E_RESOURCE_NOT_FOUND
/// (host not found, connection refused, 404/410), INET_E_CONNECTION_TIMEOUT, E_FAIL (the file
/// cannot be written), INET_E_DOWNLOAD_FAILURE (anything else, other error statuses).
HRESULT URLDownloadToFileW(void* caller, const wchar_t* url, const wchar_t* fileName,
                           uint32_t reserved, IBindStatusCallbackEx* callback);

}  // namespace Download
