#pragma once

// The rules of a new version's setup as the updater fetches it: where it lies under the vendor's site, and whether a
// downloaded file is the vendor's setup of the version asked for. Plain C++ and libsodium only: the Windows updater
// is a program of its own, linked without Qt.
//
// A setup is trusted only through its detached signature: 64 bytes of Ed25519 (libsodium's crypto_sign_detached)
// made with the vendor's secret key over
//     "cashier-setup\n" + version + "\n" + the file's bytes
// so a genuine setup of another version, served under this version's name (an old one with a known fault), is
// refused as surely as a changed one.
#include <cstddef>
#include <string>

namespace update {

constexpr std::size_t kPublicKeyBytes = 32;
constexpr std::size_t kSecretKeyBytes = 64;
constexpr std::size_t kSignatureBytes = 64;
// A setup is about 12 MB, a .deb about 3 MB: anything past this is not ours, and is not read into memory.
constexpr std::size_t kMaxSetupBytes = 96u * 1024 * 1024;

// What the updater fetches: the Windows setup, or the Linux package.
enum class Package { WindowsSetup, DebianPackage };

// A version as the gateway may name it and as it may appear in a file name: 1 to 32 characters, numbers separated
// by single dots ("3.0.2", "3.1"). Anything else is never used to build a name or an address.
bool isVersionText(const std::string& version);

// "cashier-setup-3.0.2.exe", or "cashier_3.0.2_amd64.deb"; empty for a version that is not version text.
std::string packageFileName(const std::string& version, Package package);
// The signature's file: the package's name with ".sig" added.
std::string signatureFileName(const std::string& packageFile);

// The address of `fileName` under the vendor's site, resolved as a browser resolves a relative link on that page:
// "https://www.example.com/" and "https://www.example.com/index.html" give "https://www.example.com/<file>",
// "https://www.example.com/down/" gives ".../down/<file>". Query and fragment are dropped. Empty unless the site is
// an http or https address with a host.
std::string fileUrl(const std::string& site, const std::string& fileName);

// A public key written as 64 hexadecimal digits (the form of the key files and of the build option); false for
// anything else.
bool publicKeyFromHex(const std::string& hex, unsigned char key[kPublicKeyBytes]);
// A secret key as 128 hexadecimal digits (the signing tool's key file).
bool secretKeyFromHex(const std::string& hex, unsigned char key[kSecretKeyBytes]);
std::string toHex(const unsigned char* bytes, std::size_t size);

enum class Verdict {
    Good,
    Empty,          // nothing was received
    TooLarge,       // more than kMaxSetupBytes
    NoSignature,    // the signature file is not 64 bytes
    BadSignature,   // changed, cut short, of another version, or not signed with this key
    NotVersionText  // the version asked for cannot be a version
};

// Whether `file` is the vendor's package of `version`, signed with the key whose public half is `publicKey`.
Verdict verify(const std::string& version, const std::string& file, const std::string& signature,
               const unsigned char publicKey[kPublicKeyBytes]);

// The signature of `file` as `version`, for the signing tool (and the tests). Empty for a version that is not
// version text or a file that is empty or too large.
std::string sign(const std::string& version, const std::string& file, const unsigned char secretKey[kSecretKeyBytes]);

// Where the installed Debian package came from, read from `apt-cache policy cashier`: a file installed by hand
// (only dpkg's status knows the installed version: the updater fetches the next one), a repository (the package
// manager updates it), or no package at all.
enum class DebianSource { NotInstalled, Repository, LocalFile };
DebianSource debianSource(const std::string& aptCachePolicy);

// The one sentence the cashier is told when a download is refused (UTF-8); empty for Good.
std::string refusal(Verdict verdict);

}  // namespace update
