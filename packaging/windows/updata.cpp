// install\updata.exe: what the client's version check starts when the gateway names a newer client, with that
// version as its argument. It fetches the new setup from the vendor's site (as the client's 官方网站 finds it),
// cashier-setup-<version>.exe and its signature beside it, showing the download's progress with 取消; checks that it
// is the vendor's setup of that version (app/update.h); keeps it in the cashier's folder; and leaves a copy of
// itself behind that installs it once the client has ended and the till is quiet (no charge or refund open in the
// journal), then starts the new client in the cashier's own account. The client waits for this program to end; its
// exit code is not read. Without a version (an older client), it opens the vendor's site as before.
#include "app/update.h"
#include "payments/openmoney.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <winhttp.h>

#include <cstdint>
#include <cstdio>
#include <string>

#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif

namespace {

const wchar_t kTitle[] = L"版本更新";
// Held by the copy that waits to install: one at a time.
const wchar_t kInstalling[] = L"Local\\YouyuZhifuCashierUpdate";
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\YouyuZhifuCashier";

std::wstring wide(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

void tell(const std::wstring& text, UINT icon = MB_ICONWARNING) {
    MessageBoxW(nullptr, text.c_str(), kTitle, MB_OK | icon | MB_TOPMOST | MB_SETFOREGROUND);
}

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

std::wstring fullPath(const std::wstring& name) {
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length = GetFullPathNameW(name.c_str(), sizeof path / sizeof path[0], path, nullptr);
    return length > 0 && length < sizeof path / sizeof path[0] ? std::wstring(path, length) : std::wstring();
}

// The folder of cashier.exe: this program is in its install\ folder.
std::wstring programFolder() {
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
    if (length == 0 || length >= sizeof path / sizeof path[0]) {
        return std::wstring();
    }
    std::wstring program(path, length);
    program.erase(program.find_last_of(L'\\'));  // ...\install
    program.erase(program.find_last_of(L'\\') + 1);
    return program;
}

// The site as the client finds it (DataConfig::vendorUrl): the cashier's data.ini (in the client's working directory,
// which this program inherits), then the installer's site.ini beside cashier.exe, then the gateway's own site. Empty
// when none is known.
std::wstring vendorSite() {
    const std::wstring files[2] = {fullPath(L"data.ini"), programFolder() + L"site.ini"};
    for (const wchar_t* key : {L"vendorUrl", L"gatewayUrl"}) {
        for (const std::wstring& file : files) {
            const std::wstring url = file.empty() ? std::wstring() : iniValue(file, key);
            // Only a web address: the opener would as readily run a file.
            if (url.empty() || !isWebAddress(url)) {
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

// What this program did before it could fetch: tell the cashier and open the vendor's site.
int openVendorSite() {
    const std::wstring site = vendorSite();
    if (site.empty()) {
        tell(L"收银软件有新版本。\n\n请向服务商索取新版安装程序并运行：它会替换本程序，设置和交易记录都会保留。",
             MB_ICONINFORMATION);
        return 1;
    }
    const std::wstring text =
        L"收银软件有新版本。\n\n请在官方网站下载新版安装程序并运行。现在打开官方网站吗？\n" + site;
    if (MessageBoxW(nullptr, text.c_str(), kTitle, MB_OKCANCEL | MB_ICONINFORMATION | MB_TOPMOST) != IDOK) {
        return 1;
    }
    const auto opened =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", site.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return opened > 32 ? 0 : 1;
}

// ---- The download ----

struct Internet {
    HINTERNET handle = nullptr;
    explicit Internet(HINTERNET h) : handle(h) {}
    ~Internet() {
        if (handle) {
            WinHttpCloseHandle(handle);
        }
    }
    Internet(const Internet&) = delete;
    Internet& operator=(const Internet&) = delete;
};

// Windows' own progress window (a bar, the bytes, 取消), run on a thread of its own so that it stays responsive.
class Progress {
public:
    Progress() {
        if (FAILED(CoCreateInstance(CLSID_ProgressDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IProgressDialog,
                                    reinterpret_cast<void**>(&m_dialog)))) {
            m_dialog = nullptr;
            return;
        }
        m_dialog->SetTitle(L"下载新版本");
        m_dialog->SetCancelMsg(L"正在取消…", nullptr);
        m_dialog->SetLine(1, L"正在从服务商网站下载收银软件的新版本", FALSE, nullptr);
        m_dialog->StartProgressDialog(nullptr, nullptr, PROGDLG_NORMAL | PROGDLG_NOMINIMIZE | PROGDLG_AUTOTIME,
                                      nullptr);
    }
    ~Progress() {
        if (m_dialog) {
            m_dialog->StopProgressDialog();
            m_dialog->Release();
        }
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void show(std::uint64_t done, std::uint64_t total) {
        if (!m_dialog) {
            return;
        }
        wchar_t line[128];
        if (total > 0) {
            std::swprintf(line, sizeof line / sizeof line[0], L"已下载 %.1f MB，共 %.1f MB", done / 1048576.0,
                          total / 1048576.0);
            m_dialog->SetProgress64(done, total);
        } else {
            std::swprintf(line, sizeof line / sizeof line[0], L"已下载 %.1f MB", done / 1048576.0);
        }
        m_dialog->SetLine(2, line, FALSE, nullptr);
    }
    bool cancelled() const { return m_dialog && m_dialog->HasUserCancelled(); }

private:
    IProgressDialog* m_dialog = nullptr;
};

enum class Got { Ok, Cancelled, Failed, TooLarge };

// GET `url` into `out`, at most `limit` bytes. https keeps Windows' certificate checks and speaks TLS 1.2 or later;
// a redirect never leads from https to http.
Got download(const std::string& url, std::size_t limit, Progress* progress, std::string* out) {
    out->clear();
    const std::wstring address = wide(url);
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(address.c_str(), 0, 0, &parts)) {
        return Got::Failed;
    }
    const bool https = parts.nScheme == INTERNET_SCHEME_HTTPS;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    const std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength + parts.dwExtraInfoLength);

    Internet session(WinHttpOpen(L"cashier-updata", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session.handle) {
        return Got::Failed;
    }
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (!WinHttpSetOption(session.handle, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
        protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;  // a Windows that knows no TLS 1.3
        WinHttpSetOption(session.handle, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    }
    WinHttpSetTimeouts(session.handle, 30000, 30000, 30000, 30000);
    Internet connection(WinHttpConnect(session.handle, host.c_str(), parts.nPort, 0));
    if (!connection.handle) {
        return Got::Failed;
    }
    Internet request(WinHttpOpenRequest(connection.handle, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                        WINHTTP_DEFAULT_ACCEPT_TYPES, https ? WINHTTP_FLAG_SECURE : 0));
    if (!request.handle) {
        return Got::Failed;
    }
    DWORD redirects = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
    WinHttpSetOption(request.handle, WINHTTP_OPTION_REDIRECT_POLICY, &redirects, sizeof redirects);
    if (!WinHttpSendRequest(request.handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.handle, nullptr)) {
        return Got::Failed;
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request.handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) ||
        status != 200) {
        return Got::Failed;
    }
    DWORD declared = 0;
    size = sizeof declared;
    const bool lengthKnown =
        WinHttpQueryHeaders(request.handle, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &declared, &size, WINHTTP_NO_HEADER_INDEX) != FALSE;
    if (lengthKnown && declared > limit) {
        return Got::TooLarge;
    }
    if (lengthKnown) {
        out->reserve(declared);
    }
    char chunk[64 * 1024];
    for (;;) {
        if (progress && progress->cancelled()) {
            return Got::Cancelled;
        }
        DWORD read = 0;
        if (!WinHttpReadData(request.handle, chunk, sizeof chunk, &read)) {
            return Got::Failed;
        }
        if (read == 0) {
            break;
        }
        if (out->size() + read > limit) {
            return Got::TooLarge;
        }
        out->append(chunk, read);
        if (progress) {
            progress->show(out->size(), lengthKnown ? declared : 0);
        }
    }
    // A connection that ends before the length it announced is a download cut short.
    return lengthKnown && out->size() != declared ? Got::Failed : Got::Ok;
}

bool readFile(const std::wstring& path, std::size_t limit, std::string* out) {
    out->clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) && static_cast<std::uint64_t>(size.QuadPart) <= limit;
    if (ok && size.QuadPart > 0) {
        out->resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        ok = ReadFile(file, &(*out)[0], static_cast<DWORD>(out->size()), &read, nullptr) && read == out->size();
    }
    CloseHandle(file);
    return ok;
}

// Written under a temporary name and renamed, so that a half-written file never has the setup's name.
bool writeFile(const std::wstring& path, const std::string& bytes) {
    const std::wstring part = path + L".part";
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && FlushFileBuffers(file);
    CloseHandle(file);
    if (!ok || !MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(part.c_str());
        return false;
    }
    return true;
}

bool trustedKey(unsigned char key[update::kPublicKeyBytes]) {
    return update::publicKeyFromHex(CASHIER_UPDATE_PUBLIC_KEY, key);
}

DWORD parentProcess() {
    const DWORD self = GetCurrentProcessId();
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    DWORD parent = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == self) {
            parent = entry.th32ParentProcessID;
            break;
        }
    }
    CloseHandle(snapshot);
    return parent;
}

// ---- After the download: the new version installed when the till is quiet ----

// A running client keeps cashier.exe open, so that it cannot be opened for writing (the installer's own test).
bool clientRunning(const std::wstring& program) {
    HANDLE file = CreateFileW((program + L"cashier.exe").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_SHARING_VIOLATION;
    }
    CloseHandle(file);
    return false;
}

// The client in the cashier's own account (this program is never elevated): it settles into the account's folder.
void startClient(const std::wstring& program) {
    std::wstring command = L"\"" + program + L"cashier.exe\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, program.c_str(), &startup,
                       &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

// Where the program is installed now (the setup may have moved it); `fallback` when the entry is not there.
std::wstring installedFolder(const std::wstring& fallback) {
    wchar_t folder[MAX_PATH * 4] = {};
    DWORD size = sizeof folder;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY,
                     nullptr, folder, &size) != ERROR_SUCCESS ||
        folder[0] == L'\0') {
        return fallback;
    }
    std::wstring out(folder);
    return out.back() == L'\\' ? out : out + L"\\";
}

void removeDownload(const std::wstring& setup) {
    DeleteFileW(setup.c_str());
    DeleteFileW((setup + L".sig").c_str());
}

// Runs in the cashier's folder from the copy left there (the program's own folder is about to be replaced).
int installWhenQuiet(const std::wstring& program, const std::wstring& setup, const std::string& version, DWORD client) {
    // One at a time: a second download's installer leaves it to the first.
    HANDLE once = CreateMutexW(nullptr, TRUE, kInstalling);
    if (!once || GetLastError() == ERROR_ALREADY_EXISTS) {
        return 1;
    }
    if (HANDLE process = client != 0 ? OpenProcess(SYNCHRONIZE, FALSE, client) : nullptr) {
        WaitForSingleObject(process, INFINITE);
        CloseHandle(process);
    }
    const std::wstring v = wide(version);
    const std::string journal = utf8(fullPath(L"payments.db"));
    for (;;) {
        // Until every copy of the client has ended and none left money open: a cashier who quit with a charge
        // unknown starts the client again, which looks it up; the install follows the next quit.
        bool told = false;
        for (;;) {
            if (clientRunning(program)) {
                Sleep(2000);
                continue;
            }
            const int open = openmoney::openAttempts(journal);
            if (open == 0) {
                break;
            }
            if (!told) {
                tell(open < 0 ? L"无法读取本机的交易记录，不能确认没有进行中的收款或退款，新版本 " + v +
                                    L" 暂不安装。收银软件将重新启动。"
                              : L"本机还有结果未确认的收款或退款，新版本 " + v +
                                    L" 暂不安装。收银软件将重新启动，请核对后再退出，新版本会在那时安装。");
                told = true;
                startClient(program);
            }
            Sleep(3000);
        }

        // Checked again right before it runs: the file lay in a folder for a while.
        unsigned char key[update::kPublicKeyBytes];
        std::string bytes;
        std::string signature;
        const bool read =
            readFile(setup, update::kMaxSetupBytes, &bytes) && readFile(setup + L".sig", 4096, &signature);
        const update::Verdict verdict =
            read && trustedKey(key) ? update::verify(version, bytes, signature, key) : update::Verdict::BadSignature;
        bytes.clear();
        if (verdict != update::Verdict::Good) {
            removeDownload(setup);
            tell(wide(update::refusal(verdict)));
            startClient(program);
            return 1;
        }

        SHELLEXECUTEINFOW run = {};
        run.cbSize = sizeof run;
        run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
        run.lpVerb = L"runas";  // the setup installs for the whole computer: Windows asks for an administrator
        run.lpFile = setup.c_str();
        run.lpParameters = L"/S";
        run.nShow = SW_HIDE;
        if (!ShellExecuteExW(&run) || !run.hProcess) {
            tell(L"本账户不能安装程序，新版本 " + v +
                 L" 没有安装，收银软件仍是原来的版本。\n\n新版本的安装程序已核对无误，保存在：\n" + setup +
                 L"\n请管理员运行它。");
            startClient(program);
            return 1;
        }
        WaitForSingleObject(run.hProcess, INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(run.hProcess, &code);
        CloseHandle(run.hProcess);
        if (code == 2) {
            continue;  // a client was started meanwhile: nothing was changed, wait for it to end
        }
        if (code == 0 || code == 3) {  // installed, or a newer version already is
            removeDownload(setup);
            startClient(installedFolder(program));
            return 0;
        }
        tell(L"新版本 " + v + L" 没有装上（安装程序返回 " + std::to_wstring(code) +
             L"），收银软件仍是原来的版本。\n\n安装程序保存在：\n" + setup + L"\n可请管理员运行它。");
        startClient(installedFolder(program));
        return 1;
    }
}

// Fetches and checks the setup of `version`, keeps it in the cashier's folder and leaves the installing copy behind.
int fetch(const std::string& version) {
    if (!update::isVersionText(version)) {
        tell(wide(update::refusal(update::Verdict::NotVersionText)));
        return 1;
    }
    const std::string site = utf8(vendorSite());
    const std::string name = update::packageFileName(version, update::Package::WindowsSetup);
    const std::string url = update::fileUrl(site, name);
    unsigned char key[update::kPublicKeyBytes];
    if (url.empty() || !trustedKey(key)) {
        tell(L"不知道服务商网站的地址，无法下载新版本。请联系服务商。");
        return 1;
    }
    std::string setup;
    std::string signature;
    Got got = Got::Failed;
    {
        Progress progress;
        got = download(update::fileUrl(site, update::signatureFileName(name)), 4096, nullptr, &signature);
        if (got == Got::Ok) {
            got = download(url, update::kMaxSetupBytes, &progress, &setup);
        }
    }
    if (got == Got::Cancelled) {
        tell(L"已取消下载，什么也没有安装。", MB_ICONINFORMATION);
        return 1;
    }
    if (got == Got::Failed) {
        tell(L"新版本没有下载完整（网络中断或服务商网站没有这个版本），什么也没有安装，请稍后再试。\n" + wide(url));
        return 1;
    }
    const update::Verdict verdict =
        got == Got::TooLarge ? update::Verdict::TooLarge : update::verify(version, setup, signature, key);
    if (verdict != update::Verdict::Good) {
        tell(wide(update::refusal(verdict)));
        return 1;
    }

    // In the cashier's folder (the client's working directory), never in the program's.
    const std::wstring folder = fullPath(L"update");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring setupPath = folder + L"\\" + wide(name);
    const std::wstring installer = folder + L"\\updata-install.exe";
    wchar_t self[MAX_PATH * 4] = {};
    const DWORD selfLength = GetModuleFileNameW(nullptr, self, sizeof self / sizeof self[0]);
    const std::wstring ready =
        L"新版本 " + wide(version) +
        L" 已下载并核对无误。\n\n退出收银软件后（托盘图标菜单中的“退出”）它会自动安装，装好后收银软件重新启动，"
        L"设置和交易记录都会保留。现在退出，就现在安装。";
    // A copy left by an earlier 更新 already waits for the client to end (it runs from the file that would be
    // copied over): it installs what it was given.
    if (HANDLE waiting = OpenMutexW(SYNCHRONIZE, FALSE, kInstalling)) {
        CloseHandle(waiting);
        tell(ready, MB_ICONINFORMATION);
        return 0;
    }
    if (!writeFile(setupPath, setup) || !writeFile(setupPath + L".sig", signature) || selfLength == 0 ||
        !CopyFileW(self, installer.c_str(), FALSE)) {
        removeDownload(setupPath);
        tell(L"新版本无法保存到收银软件的文件夹（磁盘已满或没有权限），什么也没有安装。");
        return 1;
    }
    // The program's folder without its closing backslash, which would escape the quote after it.
    std::wstring program = programFolder();
    program.pop_back();
    std::wstring command = L"\"" + installer + L"\" --install \"" + program + L"\" \"" + setupPath + L"\" " +
                           wide(version) + L" " + std::to_wstring(parentProcess());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(installer.c_str(), &command[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                        &startup, &process)) {
        tell(L"新版本已下载并核对无误，但无法安排安装。请退出收银软件后运行：\n" + setupPath);
        return 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    tell(ready, MB_ICONINFORMATION);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    int code = 1;
    if (argv && argc == 6 && std::wstring(argv[1]) == L"--install") {
        std::wstring program = argv[2];
        if (program.empty() || program.back() != L'\\') {
            program += L'\\';
        }
        code =
            installWhenQuiet(program, argv[3], utf8(argv[4]), static_cast<DWORD>(std::wcstoul(argv[5], nullptr, 10)));
    } else if (argv && argc == 2) {
        code = fetch(utf8(argv[1]));
    } else {
        code = openVendorSite();
    }
    LocalFree(argv);
    CoUninitialize();
    return code;
}
