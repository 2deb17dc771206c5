// The event catalogue's records and enumerations: what a caller fills in for each of the
// fifteen tracking operations of Tracker.
//
// Strings may be UTF-8 or text in the system ANSI code page; fields marked as free text
// pass through toUtf8 before they are sent. An optional field is an empty string or an
// absent std::optional.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvan::analytics {

// [SECTION] Enumerations. Each has a fixed text per value; ovText() returns it or raises
// OvException with the enumeration's own message for any other value.

enum class UserType : int {
    Unknown = 0,
    MobilePhone = 1,
    Email = 2,
    Weixin = 3,
    QQ = 4,
    DeviceId = 5,
    Baidu = 6,
    Huawei = 7,
    Apple = 8,
    OrvanUserId = 9,
    Google = 10,
    Facebook = 11,
};
enum class OvResult : int { Success = 0, Cancelled = 1, Fail = 2, Unknown = 3 };
enum class ClickType : int { Button = 0, Banner = 1, Tutorial = 2, File = 3, Others = 4 };
enum class IoType : int { Input = 0, Output = 1 };
enum class Currency : int {
    CNY = 0,
    USD = 1,
    EUR = 2,
    HKD = 3,
    TWD = 4,
    MOP = 5,
    SGD = 6,
    JPY = 7,
    KRW = 8,
    INR = 9,
    GBP = 10,
};
enum class PaidPlatform : int {
    Alipay = 0,
    WeChatPay = 1,
    PayPal = 2,
    Tenpay = 3,
    CIECC = 4,
    GooglePay = 5,
    HuaweiPay = 6,
    AppleIAP = 7,
    Paddle = 8,
    ChinaUnionPay = 9,
};
enum class OvIapType : int {
    Consumable = 1,
    NonConsumable = 2,
    AutoRenewable = 3,
    NonRenewable = 4
};
enum class OvUpdateOp : int {
    UpdateCheck = 0,
    DownloadStart = 1,
    DownloadEnd = 2,
    UpgrateStart = 3,
    UpgrateEnd = 4,
};
enum class OvUpdateResult : int {
    Success = 0,
    Cancelled = 1,
    Timeout = 2,
    Fail = 3,
    Latest = 4,
    Updateable = 5,
};
enum class Edition : int { China = 0, Overseas = 1 };

/// The text sent for a value; raises OvException ("Unknown ClickType [5]!" and so on, the
/// io type: "the io type is invalid") for a value outside its table. `function` names the
/// operation in the exception.
std::string ovText(UserType value, const char* function = "ovText");
std::string ovText(OvResult value, const char* function = "ovText");
std::string ovText(ClickType value, const char* function = "ovText");
std::string ovText(IoType value, const char* function = "ovText");
std::string ovText(Currency value, const char* function = "ovText");
std::string ovText(PaidPlatform value, const char* function = "ovText");
std::string ovText(OvIapType value, const char* function = "ovText");
std::string ovText(OvUpdateOp value, const char* function = "ovText");
std::string ovText(OvUpdateResult value, const char* function = "ovText");
std::string ovText(Edition value, const char* function = "ovText");

// [SECTION] Event records, fields in their documented order.

struct OvEventClick {
    std::string aname, name;
    ClickType clickType = ClickType::Others;
    std::string title, module, position;
    std::optional<int32_t> tabIndex;
    std::string tabName;
    std::optional<int32_t> bannerIndex;
    std::string bannerName;
};

struct OvEventView {
    std::string aname, name, title, position;
};

struct OvEventCashier {
    std::string cashierName, cashierTitle, subItem;
};

struct OvEventShare {
    std::string aname, channel, position, sharedName;
    std::optional<OvResult> result;
};

struct OvEventTask {
    std::string aname, name, reason;
    std::optional<float> elapsed;
    std::optional<OvResult> result;
};

struct OvEventFile {
    std::string aname, name;
    std::optional<IoType> io;
    std::string ext;
    std::optional<float> size;
    std::optional<int32_t> duration;
    std::optional<float> fps, bps;
    std::optional<int32_t> width, height, depth;
    std::optional<OvResult> result;
};

struct OvEventOrder {
    std::string orderId, subItem, sku, suitId;
    std::optional<Currency> currency;
    float originalAmount = 0;
    std::string voucherId;
    float paidAmount = 0;
    std::string cashierName, cashierTitle;
    std::optional<int32_t> campaignCode;
    float curOriginalAmount = 0;
    float curPaidAmount = 0;
};

struct OvEventPayment {
    std::string orderId, subItem, sku;
    std::optional<Currency> currency;  // required
    float originalAmount = 0;
    std::optional<int32_t> campaignCode;
    std::string voucherId, usedVoucherId;
    float paidAmount = 0;
    std::string suitId, cashierName, cashierTitle;
    std::optional<PaidPlatform> paidPlatform;  // required
    std::optional<OvResult> result;
    std::optional<OvIapType> iapType;
    float curOriginalAmount = 0;
    float curPaidAmount = 0;
};

struct OvEventUpdate {
    OvUpdateOp op = OvUpdateOp::UpdateCheck;
    std::optional<OvUpdateResult> result;
    std::optional<float> elapsed;
};

struct OvEventAppOpenNotification {
    std::string msgTitle, msgContent, linkUrl, planId, audienceId, planStrategyId, planType,
        strategyUnitId;
};

/// The facade reads the user id, the type and the VIP level; the descriptive fields are
/// carried for callers only.
struct OvUserInfo {
    std::string userId;
    UserType userType = UserType::Unknown;
    int32_t vipLevel = 0;
    std::string userName, nickname, portrait, mobilePhone, email;
};

}  // namespace orvan::analytics
