// install\updata.exe: what the client's version check starts when the gateway names a newer client. The gateway
// names only the version, not where to get it: this tells the cashier that a new version is out and, on their
// word, opens the vendor's site (vendorUrl in data.ini, as the client's 官方网站) where the new setup program is. The
// client waits for it to end; its exit code is not read.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

// The client's own default for vendorUrl (DataConfig::kDefaultVendorUrl).
const wchar_t* const kDefaultSite = L"http://127.0.0.1:8765/";

bool isWebAddress(const std::wstring& url) {
    return url.rfind(L"http://", 0) == 0 || url.rfind(L"https://", 0) == 0;
}

// data.ini lives in the client's working directory, which this program inherits.
std::wstring vendorSite() {
    wchar_t ini[MAX_PATH * 4] = {};
    if (GetFullPathNameW(L"data.ini", sizeof ini / sizeof ini[0], ini, nullptr) == 0) {
        return kDefaultSite;
    }
    wchar_t value[2048] = {};
    GetPrivateProfileStringW(L"data_config", L"vendorUrl", L"", value, sizeof value / sizeof value[0], ini);
    std::wstring url(value);
    const auto first = url.find_first_not_of(L" \t");
    const auto last = url.find_last_not_of(L" \t");
    url = first == std::wstring::npos ? std::wstring() : url.substr(first, last - first + 1);
    // Only a web address goes to the opener, which would as readily run a file.
    return isWebAddress(url) ? url : std::wstring(kDefaultSite);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring site = vendorSite();
    const std::wstring text =
        L"收银软件有新版本。\n\n请在官方网站下载新版安装程序并运行：它会替换本程序，"
        L"设置和交易记录都会保留。安装前请先退出收银软件。\n\n现在打开官方网站吗？\n" +
        site;
    if (MessageBoxW(nullptr, text.c_str(), L"版本更新", MB_OKCANCEL | MB_ICONINFORMATION | MB_TOPMOST) != IDOK) {
        return 1;
    }
    const auto opened =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", site.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened <= 32) {
        MessageBoxW(nullptr, (L"官方网站打不开，请在浏览器中输入：\n" + site).c_str(), L"版本更新",
                    MB_OK | MB_ICONWARNING | MB_TOPMOST);
        return 1;
    }
    return 0;
}
