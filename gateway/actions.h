#pragma once

// Action names of the gateway, spelled exactly as the gateway expects them (case-sensitive).
namespace actions {
inline constexpr const char* kLogin = "Share.Ace.login";
inline constexpr const char* kUpdate = "Share.App.update";
inline constexpr const char* kListShop = "Account.Shop.listShop";
inline constexpr const char* kScanPay = "Pay.Ace.scanpay";
inline constexpr const char* kTicketScanPay = "Pay.Ace.ticketscanpay";
inline constexpr const char* kDoPrint = "Account.Print.doprint";
inline constexpr const char* kListPay = "Account.Pay.listPay";
inline constexpr const char* kPrintTime = "Account.Print.prinTtime";
inline constexpr const char* kListSumTicket = "Account.Pay.listSumTicket";
inline constexpr const char* kLogPrint = "Account.Print.logPrint";
inline constexpr const char* kRefund = "Account.Pay.refund";
inline constexpr const char* kCards = "Account.Pay.cards";
inline constexpr const char* kEditPassword = "Share.Ace.editPassword";
inline constexpr const char* kEditRefundPassword1 = "Share.Ace.editRefundPassword1";
inline constexpr const char* kGetQuestion = "Share.Ace.getQuestion";
inline constexpr const char* kSetRefundPassword = "Share.Ace.setRefundPassword";
inline constexpr const char* kEditRefundPassword = "Share.Ace.editRefundPassword";
}  // namespace actions
