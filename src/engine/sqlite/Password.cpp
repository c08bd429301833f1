#include "engine/sqlite/Password.h"

#include <sodium.h>

#include <stdexcept>

namespace pavana::engine::sqlite {
namespace {

void StartSodium() {
    static const bool started = sodium_init() >= 0;
    if (!started) throw std::runtime_error("libsodium could not be initialised");
}

}  // namespace

std::string MakePasswordVerifier(const std::string& password) {
    StartSodium();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), kOpsLimit, kMemLimit,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw std::runtime_error("the password verifier could not be computed");
    return out;
}

bool CheckPassword(const std::string& verifier, const std::string& password) {
    StartSodium();
    return crypto_pwhash_str_verify(verifier.c_str(), password.data(), password.size()) == 0;
}

}  // namespace pavana::engine::sqlite
