// CDownloader: the one interface through which the orchestrator downloads the package.
//
// Every variant takes (callback, source URL, target path), begins in Start and reports only
// through the InstallCallback events DL_CODE_START .. DL_CODE_FAIL_REASON, on threads of its
// own. Start returns at once; the owner calls it again to begin a new attempt (also from
// inside its callback, on the downloader's thread, when it receives DL_CODE_RETRY).
// Destroying a downloader stops what is running promptly and waits for every thread it
// started; no event is sent once destruction has begun.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "download/install_callback.h"
#include "download/pacing.h"

class CDownloader {
public:
    virtual ~CDownloader() = default;
    virtual void Start() = 0;
};

/// The variant picked by the launch option DownloadType: 2 the system download, 3 the
/// segmented downloader, every other value the single-stream downloader.
std::unique_ptr<CDownloader> CreateDownloader(int32_t downloadType, InstallCallback callback,
                                              const std::wstring& url, const std::wstring& filePath,
                                              Download::Pacing pacing = {});
