#include "core/server/PasswordCipher.h"

#include <nettle/base64.h>
#include <nettle/blowfish.h>
#include <nettle/cfb.h>
#include <nettle/sha1.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace parlomar {

namespace {

void Wipe(void* data, size_t size) {
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = 0;
    }
}

void BlowfishEncrypt(const void* ctx, size_t length, uint8_t* dst, const uint8_t* src) {
    blowfish_encrypt(static_cast<const blowfish_ctx*>(ctx), length, dst, src);
}

// The keyed cipher and the starting register, built fresh for each call and wiped when it ends.
class CipherState {
public:
    CipherState() {
        uint8_t key[SHA1_DIGEST_SIZE];
        sha1_ctx hash;
        sha1_init(&hash);
        sha1_digest(&hash, sizeof key, key);
        // The return value only reports a weak key; this fixed key schedule is used either way.
        static_cast<void>(blowfish_set_key(&cipher_, sizeof key, key));
        const uint8_t zero[BLOWFISH_BLOCK_SIZE] = {};
        blowfish_encrypt(&cipher_, BLOWFISH_BLOCK_SIZE, register_, zero);
        Wipe(key, sizeof key);
        Wipe(&hash, sizeof hash);
    }
    ~CipherState() {
        Wipe(&cipher_, sizeof cipher_);
        Wipe(register_, sizeof register_);
    }
    CipherState(const CipherState&) = delete;
    CipherState& operator=(const CipherState&) = delete;

    void Encrypt(std::vector<uint8_t>& bytes) {
        cfb8_encrypt(&cipher_, BlowfishEncrypt, BLOWFISH_BLOCK_SIZE, register_, bytes.size(), bytes.data(),
                     bytes.data());
    }
    void Decrypt(std::vector<uint8_t>& bytes) {
        cfb8_decrypt(&cipher_, BlowfishEncrypt, BLOWFISH_BLOCK_SIZE, register_, bytes.size(), bytes.data(),
                     bytes.data());
    }

private:
    blowfish_ctx cipher_;
    uint8_t register_[BLOWFISH_BLOCK_SIZE];
};

} // namespace

std::string EncipherPassword(std::string_view plain) {
    if (plain.empty()) {
        return {};
    }
    std::vector<uint8_t> bytes(plain.begin(), plain.end());
    CipherState().Encrypt(bytes);
    std::string text(BASE64_ENCODE_RAW_LENGTH(bytes.size()), '\0');
    base64_encode_raw(text.data(), bytes.size(), bytes.data());
    return text;
}

std::string DecipherPassword(std::string_view enciphered) {
    std::vector<uint8_t> bytes;
    bytes.reserve(BASE64_DECODE_LENGTH(enciphered.size()));
    base64_decode_ctx decoder;
    base64_decode_init(&decoder);
    for (char c : enciphered) {
        uint8_t byte = 0;
        const int produced = base64_decode_single(&decoder, &byte, c);
        if (produced < 0) {
            break;
        }
        if (produced > 0) {
            bytes.push_back(byte);
        }
    }
    if (bytes.empty()) {
        return {};
    }
    CipherState().Decrypt(bytes);
    std::string plain(bytes.begin(), bytes.end());
    Wipe(bytes.data(), bytes.size());
    return plain;
}

} // namespace parlomar
