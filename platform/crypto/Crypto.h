// Password-based encryption of text: AES-256-GCM with a key from PBKDF2-HMAC-SHA256 of the
// pass phrase and a random salt, in a versioned envelope encoded as one line of Base64.
//
// Envelope (before Base64): "DVE" 0x01 | iterations (uint32, big-endian) | salt (16) |
// nonce (12) | cipher text | tag (16). The header up to the nonce is authenticated too.
#pragma once

#include <string>
#include <string_view>

namespace crypto {

enum class Status {
    Ok,
    BadData,   // not an envelope, damaged, or another pass phrase
    Failure,   // the cipher library failed
};

// Encrypts plain (any bytes) into the Base64 envelope.
Status encryptText(std::string_view plain, std::string_view passPhrase, std::string& envelope);
// Decrypts an envelope; white space around and inside the Base64 text is ignored.
Status decryptText(std::string_view envelope, std::string_view passPhrase, std::string& plain);

std::string base64Encode(std::string_view bytes);
// false on characters outside the Base64 alphabet or a bad length.
bool base64Decode(std::string_view text, std::string& bytes);

}  // namespace crypto
