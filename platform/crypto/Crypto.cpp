#include "platform/crypto/Crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace crypto {
namespace {

constexpr unsigned char kMagic[4] = {'D', 'V', 'E', 0x01};
constexpr std::uint32_t kIterations = 100000;
constexpr std::uint32_t kMaxIterations = 5000000;  // refuse damaged headers that would stall
constexpr size_t kSaltLen = 16, kNonceLen = 12, kTagLen = 16, kKeyLen = 32;
constexpr size_t kHeaderLen = sizeof(kMagic) + 4 + kSaltLen;

struct CtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using CtxPtr = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

bool deriveKey(std::string_view pass, const unsigned char* salt, std::uint32_t iterations,
               unsigned char* key) {
    return PKCS5_PBKDF2_HMAC(pass.data(), static_cast<int>(pass.size()), salt, kSaltLen,
                             static_cast<int>(iterations), EVP_sha256(), kKeyLen, key) == 1;
}

const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int b64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        std::uint32_t v = (std::uint8_t(bytes[i]) << 16) | (std::uint8_t(bytes[i + 1]) << 8) |
                          std::uint8_t(bytes[i + 2]);
        out += kB64[(v >> 18) & 63];
        out += kB64[(v >> 12) & 63];
        out += kB64[(v >> 6) & 63];
        out += kB64[v & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest == 1) {
        std::uint32_t v = std::uint8_t(bytes[i]) << 16;
        out += kB64[(v >> 18) & 63];
        out += kB64[(v >> 12) & 63];
        out += "==";
    } else if (rest == 2) {
        std::uint32_t v = (std::uint8_t(bytes[i]) << 16) | (std::uint8_t(bytes[i + 1]) << 8);
        out += kB64[(v >> 18) & 63];
        out += kB64[(v >> 12) & 63];
        out += kB64[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

bool base64Decode(std::string_view text, std::string& bytes) {
    std::string clean;
    clean.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') clean += c;
    if (clean.size() % 4 != 0) return false;
    bytes.clear();
    bytes.reserve(clean.size() / 4 * 3);
    for (size_t i = 0; i < clean.size(); i += 4) {
        int v[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            char c = clean[i + k];
            if (c == '=') {
                // Padding only at the very end, and only in the last two places.
                if (i + 4 != clean.size() || k < 2) return false;
                v[k] = 0;
                ++pad;
            } else {
                if (pad) return false;
                v[k] = b64Value(c);
                if (v[k] < 0) return false;
            }
        }
        std::uint32_t n = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
        bytes += char((n >> 16) & 0xFF);
        if (pad < 2) bytes += char((n >> 8) & 0xFF);
        if (pad < 1) bytes += char(n & 0xFF);
    }
    return true;
}

Status encryptText(std::string_view plain, std::string_view passPhrase, std::string& envelope) {
    std::vector<unsigned char> buf(kHeaderLen + kNonceLen + plain.size() + kTagLen);
    unsigned char* p = buf.data();
    std::copy(std::begin(kMagic), std::end(kMagic), p);
    p[4] = static_cast<unsigned char>(kIterations >> 24);
    p[5] = static_cast<unsigned char>(kIterations >> 16);
    p[6] = static_cast<unsigned char>(kIterations >> 8);
    p[7] = static_cast<unsigned char>(kIterations);
    unsigned char* salt = p + 8;
    unsigned char* nonce = p + kHeaderLen;
    unsigned char* cipher = nonce + kNonceLen;
    if (RAND_bytes(salt, kSaltLen) != 1 || RAND_bytes(nonce, kNonceLen) != 1) return Status::Failure;

    unsigned char key[kKeyLen];
    if (!deriveKey(passPhrase, salt, kIterations, key)) return Status::Failure;
    CtxPtr ctx(EVP_CIPHER_CTX_new());
    int len = 0, total = 0;
    bool ok = ctx && EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
              EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceLen, nullptr) == 1 &&
              EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, key, nonce) == 1 &&
              EVP_EncryptUpdate(ctx.get(), nullptr, &len, p, kHeaderLen) == 1;
    if (ok && !plain.empty()) {
        ok = EVP_EncryptUpdate(ctx.get(), cipher, &len,
                               reinterpret_cast<const unsigned char*>(plain.data()),
                               static_cast<int>(plain.size())) == 1;
        total = len;
    }
    ok = ok && EVP_EncryptFinal_ex(ctx.get(), cipher + total, &len) == 1;
    total += len;
    ok = ok && EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagLen, cipher + total) == 1;
    OPENSSL_cleanse(key, sizeof key);
    if (!ok) return Status::Failure;
    envelope = base64Encode(std::string_view(reinterpret_cast<const char*>(buf.data()), buf.size()));
    return Status::Ok;
}

Status decryptText(std::string_view envelope, std::string_view passPhrase, std::string& plain) {
    std::string raw;
    if (!base64Decode(envelope, raw)) return Status::BadData;
    if (raw.size() < kHeaderLen + kNonceLen + kTagLen) return Status::BadData;
    const auto* p = reinterpret_cast<const unsigned char*>(raw.data());
    if (!std::equal(std::begin(kMagic), std::end(kMagic), p)) return Status::BadData;
    std::uint32_t iterations = (std::uint32_t(p[4]) << 24) | (std::uint32_t(p[5]) << 16) |
                               (std::uint32_t(p[6]) << 8) | p[7];
    if (iterations == 0 || iterations > kMaxIterations) return Status::BadData;
    const unsigned char* salt = p + 8;
    const unsigned char* nonce = p + kHeaderLen;
    const unsigned char* cipher = nonce + kNonceLen;
    size_t cipherLen = raw.size() - kHeaderLen - kNonceLen - kTagLen;
    const unsigned char* tag = cipher + cipherLen;

    unsigned char key[kKeyLen];
    if (!deriveKey(passPhrase, salt, iterations, key)) return Status::Failure;
    std::vector<unsigned char> out(cipherLen + 16);
    CtxPtr ctx(EVP_CIPHER_CTX_new());
    int len = 0, total = 0;
    bool ok = ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
              EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceLen, nullptr) == 1 &&
              EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, key, nonce) == 1 &&
              EVP_DecryptUpdate(ctx.get(), nullptr, &len, p, kHeaderLen) == 1;
    if (ok && cipherLen > 0) {
        ok = EVP_DecryptUpdate(ctx.get(), out.data(), &len, cipher, static_cast<int>(cipherLen)) == 1;
        total = len;
    }
    ok = ok && EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagLen,
                                   const_cast<unsigned char*>(tag)) == 1;
    OPENSSL_cleanse(key, sizeof key);
    if (!ok) return Status::Failure;
    // A failing final step is a tag mismatch: another pass phrase or damaged text.
    if (EVP_DecryptFinal_ex(ctx.get(), out.data() + total, &len) != 1) return Status::BadData;
    total += len;
    plain.assign(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(total));
    return Status::Ok;
}

}  // namespace crypto
