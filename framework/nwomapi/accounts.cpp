// Sign-on accounts of a repository. Passwords are kept only as salted
// PBKDF2-HMAC-SHA256 hashes; the iteration count is stored per account so
// that it can be raised later without invalidating old accounts.
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include "framework/nwomapi/store.h"

namespace orbom {

namespace {

constexpr int kSaltBytes = 16;
constexpr int kHashBytes = 32;
constexpr int kIterations = 100000;

bool Derive(const std::string& password, const std::string& salt, int iterations,
            std::string* hash) {
    hash->assign(kHashBytes, '\0');
    return PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                             reinterpret_cast<const unsigned char*>(salt.data()),
                             static_cast<int>(salt.size()), iterations, EVP_sha256(), kHashBytes,
                             reinterpret_cast<unsigned char*>(hash->data())) == 1;
}

Value Bytes(uint32_t type, const std::string& bytes) {
    Value v;
    v.type = type;
    v.null = false;
    v.bytes = bytes;
    return v;
}

}  // namespace

ORBOM_RC Store::SetAccount(const std::string& user, const std::string& password) {
    if (user.empty()) return ORBOM_RC_INVALID_POINTER_PARAMETER;
    std::string salt(kSaltBytes, '\0');
    std::string hash;
    if (RAND_bytes(reinterpret_cast<unsigned char*>(salt.data()), kSaltBytes) != 1 ||
        !Derive(password, salt, kIterations, &hash)) {
        SetNativeError(0, "password hashing failed");
        return ORBOM_RC_SYSTEM_ERROR;
    }
    const Value values[] = {TextValue(user), Bytes(ORBOM_TYPE_BINARY, salt),
                            Bytes(ORBOM_TYPE_BINARY, hash), IntegerValue(kIterations)};
    const Dialect& d = dialect_;
    Sql upsert{"INSERT INTO orb_account(\"user\", salt, hash, iterations) VALUES(" + d.Marker(1) +
                   "," + d.Marker(2) + "," + d.Marker(3) + "," + d.Marker(4) +
                   ") ON CONFLICT(\"user\") DO UPDATE SET salt=excluded.salt, hash=excluded.hash,"
                   " iterations=excluded.iterations",
               {&values[0], &values[1], &values[2], &values[3]}};
    return Write({upsert}, nullptr);
}

ORBOM_RC Store::CheckAccount(const std::string& user, const std::string& password) {
    static const std::shared_ptr<const Columns> columns = std::make_shared<Columns>(
        Columns{{"salt", "hash", "iterations"},
                {ORBOM_TYPE_BINARY, ORBOM_TYPE_BINARY, ORBOM_TYPE_INTEGER}});
    const Value name = TextValue(user);
    Selection rows;
    const ORBOM_RC rc = Query({"SELECT salt, hash, iterations FROM orb_account WHERE \"user\"=" +
                                   dialect_.Marker(1),
                               {&name}},
                              columns, &rows);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    if (rows.count == 0) return ORBOM_RC_REPOSITORY_LOGIN_FAILED;
    const std::string salt = rows.Bytes(0, 0), stored = rows.Bytes(0, 1);
    const int iterations = rows.Integer(0, 2);
    std::string hash;
    if (iterations <= 0 || !Derive(password, salt, iterations, &hash) ||
        hash.size() != stored.size() ||
        CRYPTO_memcmp(hash.data(), stored.data(), hash.size()) != 0) {
        return ORBOM_RC_REPOSITORY_LOGIN_FAILED;
    }
    return ORBOM_RC_SUCCESS;
}

ORBOM_RC Store::HasAccounts(bool* any) {
    static const std::shared_ptr<const Columns> columns =
        std::make_shared<Columns>(Columns{{"one"}, {ORBOM_TYPE_INTEGER}});
    Selection rows;
    const ORBOM_RC rc = Query({"SELECT 1 FROM orb_account LIMIT 1", {}}, columns, &rows);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    *any = rows.count > 0;
    return ORBOM_RC_SUCCESS;
}

}  // namespace orbom
