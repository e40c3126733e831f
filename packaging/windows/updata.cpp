// install\updata.exe: what the client's version check starts when the gateway names a newer client. The gateway
// names only the version, not where to get it: this tells the cashier that a new version is out and, on their
// word, opens the vendor's site (as the client's 官方网站 finds it) where the new setup program is. The
// client waits for it to end; its exit code is not read.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

bool isWebAddress(const std::wstring& url) {
    return url.rfind(L"http://", 0) == 0 || url.rfind(L"https://", 0) == 0;
}

std::wstring trimmed(const std::wstring& text) {
    const auto first = text.find_first_not_of(L" \t");
    const auto last = text.find_last_not_of(L" \t");
    return first == std::wstring::npos ? std::wstring() : text.substr(first, last - first + 1);
}

std::wstring iniValue(const std::wstring& ini, const wchar_t* key) {
    wchar_t value[2048] = {};
    GetPrivateProfileStringW(L"data_config", key, L"", value, sizeof value / sizeof value[0], ini.c_str());
    return trimmed(value);
}

// The site as the client finds it (DataConfig::vendorUrl): the cashier's data.ini (in the client's working directory,
// which this program inherits), then the installer's site.ini beside cashier.exe (this program is in install\),
// then the gateway's own site. Empty when none is known.
std::wstring vendorSite() {
    std::wstring files[2];
    wchar_t path[MAX_PATH * 4] = {};
    if (GetFullPathNameW(L"data.ini", sizeof path / sizeof path[0], path, nullptr) != 0) {
        files[0] = path;
    }
    const DWORD length = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
    if (length > 0 && length < sizeof path / sizeof path[0]) {
        std::wstring program(path, length);
        program.erase(program.find_last_of(L'\\') + 1);  // ...\install\ .
        files[1] = program + L"..\\site.ini";
    }
    for (const wchar_t* key : {L"vendorUrl", L"gatewayUrl"}) {
        for (const std::wstring& file : files) {
            if (file.empty()) {
                continue;
            }
            const std::wstring url = iniValue(file, key);
            if (url.empty()) {
                continue;
            }
            // Only a web address goes to the opener, which would as readily run a file.
            if (!isWebAddress(url)) {
                continue;
            }
            if (key[0] == L'v') {
                return url;
            }
            // The gateway's scheme and host: the merchant's site is most likely there.
            const auto host = url.find(L"://") + 3;
            const auto slash = url.find(L'/', host);
            return (slash == std::wstring::npos ? url : url.substr(0, slash)) + L"/";
        }
    }
    return std::wstring();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring site = vendorSite();
    if (site.empty()) {
        MessageBoxW(nullptr,
                    L"收银软件有新版本。\n\n请向服务商索取新版安装程序并运行：它会替换本程序，设置和交易记录都会保留。"
                    L"安装前请先退出收银软件。",
                    L"版本更新", MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
        return 1;
    }
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
