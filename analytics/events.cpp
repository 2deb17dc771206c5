#include "analytics/events.h"

#include <array>
#include <string_view>

#include "analytics/ov_exception.h"

namespace orvan::analytics {
namespace {

// Texts indexed by value - first; `prefix` + N + "]!" is the message for other values
// (an empty prefix means the fixed message `fixed`).
template <size_t N>
std::string Lookup(int value, int first, const std::array<const char*, N>& texts,
                   const char* prefix, const char* fixed, const char* function) {
    if (value >= first && value - first < static_cast<int>(N))
        return texts[value - first];
    if (prefix == nullptr)
        OV_THROW(function, fixed);
    OV_THROW(function, std::string(prefix) + std::to_string(value) + "]!");
}

constexpr std::array<const char*, 12> kUserTypes = {"unknown", "mobilephone", "email",  "weixin",
                                                    "qq",      "deviceid",    "baidu",  "huawei",
                                                    "apple",   "orvanuserid", "google", "facebook"};
constexpr std::array<const char*, 4> kResults = {"Success", "Cancelled", "Fail", "Unknown"};
constexpr std::array<const char*, 5> kClickTypes = {"Button", "Banner", "Tutorial", "File",
                                                    "Others"};
constexpr std::array<const char*, 2> kIoTypes = {"Input", "Output"};
constexpr std::array<const char*, 11> kCurrencies = {"CNY", "USD", "EUR", "HKD", "TWD", "MOP",
                                                     "SGD", "JPY", "KRW", "INR", "GBP"};
constexpr std::array<const char*, 10> kPaidPlatforms = {
    "Alipay",    "WeChatPay", "PayPal",   "Tenpay", "CIECC",
    "GooglePay", "HuaweiPay", "AppleIAP", "Paddle", "ChinaUnionPay"};
constexpr std::array<const char*, 4> kIapTypes = {"Consumable", "NonConsumable", "AutoRenewable",
                                                  "NonRenewable"};
constexpr std::array<const char*, 5> kUpdateOps = {"UpdateCheck", "DownloadStart", "DownloadEnd",
                                                   "UpgrateStart", "UpgrateEnd"};
constexpr std::array<const char*, 6> kUpdateResults = {"Success", "Cancelled", "Timeout",
                                                       "Fail",    "Latest",    "Updateable"};
constexpr std::array<const char*, 2> kEditions = {"china", "overseas"};

}  // namespace

std::string ovText(UserType v, const char* f) {
    return Lookup(static_cast<int>(v), 0, kUserTypes, "Unknown user type [", nullptr, f);
}
std::string ovText(OvResult v, const char* f) {
    return Lookup(static_cast<int>(v), 0, kResults, "Unknown task result [", nullptr, f);
}
std::string ovText(ClickType v, const char* f) {
    return Lookup(static_cast<int>(v), 0, kClickTypes, "Unknown ClickType [", nullptr, f);
}
std::string ovText(IoType v, const char* f) {
    return Lookup(static_cast<int>(v), 0, kIoTypes, nullptr, "the io type is invalid", f);
}
std::string ovText(Currency v, const char* f) {
    return Lookup(static_cast<int>(v), 0, kCurrencies, "Unknown currency [", nullptr, f);
}
std::string ovText(PaidPlatform v, const char* f) {
    return Lookup(static_cast<int>(v), 0, kPaidPlatforms, "Unknown paid platform [", nullptr, f);
}
std::string ovText(OvIapType v, const char* f) {
    return Lookup(static_cast<int>(v), 1, kIapTypes, "Unknown ovIapType [", nullptr, f);
}
std::string ovText(OvUpdateOp v, const char* f) {
    return Lookup(static_cast<int>(v), 0, kUpdateOps, "Unknown OvUpdateOp [", nullptr, f);
}
std::string ovText(OvUpdateResult v, const char* f) {
    return Lookup(static_cast<int>(v), 0, kUpdateResults, "Unknown OvUpdateResult [", nullptr, f);
}
std::string ovText(Edition v, const char* f) {
    return Lookup(static_cast<int>(v), 0, kEditions, "Unknown edition [", nullptr, f);
}

}  // namespace orvan::analytics
