// The database password verifier: a salted Argon2id hash in libsodium's string form
// ("$argon2id$v=19$m=...,t=...,p=1$salt$hash"), stored in the file instead of the password.
//
// The cost is fixed by `kOpsLimit` and `kMemLimit` (see docs/storage.md): one verification
// takes a few milliseconds, well inside the start-up budget of a run. The limits are part of
// each stored string, so a verifier written with other limits still verifies.
#pragma once

#include <cstddef>
#include <string>

namespace pavana::engine::sqlite {

inline constexpr unsigned long long kOpsLimit = 3;
inline constexpr std::size_t kMemLimit = 8u * 1024u * 1024u;

// A new verifier for `password` (fresh random salt). Raises std::runtime_error when
// libsodium cannot start or the hash cannot be computed (out of memory).
std::string MakePasswordVerifier(const std::string& password);
// True when `password` is the one `verifier` was made from.
bool CheckPassword(const std::string& verifier, const std::string& password);

}  // namespace pavana::engine::sqlite
