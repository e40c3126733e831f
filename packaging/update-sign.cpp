// cashier-update-sign: makes the update key pair, and signs a setup (or .deb) as the version it is, the way the
// updater checks it (app/update.h). The release's secret key never enters the repository: see README.md.
//   cashier-update-sign keygen PUBLIC_FILE SECRET_FILE
//   cashier-update-sign sign SECRET_FILE VERSION FILE        writes FILE.sig
//   cashier-update-sign verify PUBLIC_FILE VERSION FILE      checks FILE against FILE.sig
#include "app/update.h"

#include <sodium.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

int usage() {
    std::fputs(
        "usage: cashier-update-sign keygen PUBLIC_FILE SECRET_FILE\n"
        "       cashier-update-sign sign SECRET_FILE VERSION FILE\n"
        "       cashier-update-sign verify PUBLIC_FILE VERSION FILE\n",
        stderr);
    return 2;
}

bool readFile(const std::string& name, std::string* out) {
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    *out = bytes.str();
    return !in.bad();
}

bool writeFile(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    return static_cast<bool>(out);
}

// The first line of a key file, without its line end: the hexadecimal key; other lines are comments.
std::string keyLine(const std::string& name) {
    std::string text;
    if (!readFile(name, &text)) {
        return std::string();
    }
    return text.substr(0, text.find_first_of("\r\n"));
}

int fail(const std::string& what) {
    std::fprintf(stderr, "cashier-update-sign: %s\n", what.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (sodium_init() < 0) {
        return fail("libsodium cannot start");
    }
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "keygen" && argc == 4) {
        unsigned char pk[update::kPublicKeyBytes];
        unsigned char sk[update::kSecretKeyBytes];
        crypto_sign_keypair(pk, sk);
        const mode_t old = umask(077);  // the secret half is its owner's alone
        const bool written = writeFile(argv[3], update::toHex(sk, sizeof sk) + "\n");
        umask(old);
        sodium_memzero(sk, sizeof sk);
        if (!written || !writeFile(argv[2], update::toHex(pk, sizeof pk) + "\n")) {
            return fail("cannot write the key files");
        }
        return 0;
    }
    if (command == "sign" && argc == 5) {
        unsigned char sk[update::kSecretKeyBytes];
        if (!update::secretKeyFromHex(keyLine(argv[2]), sk)) {
            return fail(std::string("no secret key in ") + argv[2]);
        }
        std::string file;
        if (!readFile(argv[4], &file)) {
            return fail(std::string("cannot read ") + argv[4]);
        }
        const std::string signature = update::sign(argv[3], file, sk);
        sodium_memzero(sk, sizeof sk);
        if (signature.empty()) {
            return fail("not signed: the version is not a version, or the file is empty or too large");
        }
        if (!writeFile(update::signatureFileName(argv[4]), signature)) {
            return fail("cannot write the signature");
        }
        return 0;
    }
    if (command == "verify" && argc == 5) {
        unsigned char pk[update::kPublicKeyBytes];
        if (!update::publicKeyFromHex(keyLine(argv[2]), pk)) {
            return fail(std::string("no public key in ") + argv[2]);
        }
        std::string file;
        std::string signature;
        if (!readFile(argv[4], &file) || !readFile(update::signatureFileName(argv[4]), &signature)) {
            return fail("cannot read the file or its signature");
        }
        const update::Verdict verdict = update::verify(argv[3], file, signature, pk);
        if (verdict != update::Verdict::Good) {
            return fail(update::refusal(verdict));
        }
        std::puts("good");
        return 0;
    }
    return usage();
}
