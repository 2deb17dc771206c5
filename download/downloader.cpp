#include "download/downloader.h"

#include "download/curl_downloader.h"
#include "download/mt_curl_downloader.h"
#include "download/win_downloader.h"

std::unique_ptr<CDownloader> CreateDownloader(int32_t downloadType, InstallCallback callback,
                                              const std::wstring& url, const std::wstring& filePath,
                                              Download::Pacing pacing) {
    switch (downloadType) {
        case 2:
            return std::make_unique<CWinDownloader>(std::move(callback), url, filePath,
                                                    std::move(pacing));
        case 3:
            return std::make_unique<CMTCurlDownloader>(std::move(callback), url, filePath,
                                                       std::move(pacing));
        default:
            return std::make_unique<CCurlDownloader>(std::move(callback), url, filePath,
                                                     std::move(pacing));
    }
}
