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

std::string ColumnBlob(sqlite3_stmt* stmt, int column) {
    const void* data = sqlite3_column_blob(stmt, column);
    return data ? std::string(static_cast<const char*>(data), sqlite3_column_bytes(stmt, column))
                : std::string();
}

}  // namespace

ORBOM_RC Store::SetAccount(const std::string& user, const std::string& password) {
    if (user.empty()) return ORBOM_RC_INVALID_POINTER_PARAMETER;
    std::string salt(kSaltBytes, '\0');
    std::string hash;
    if (RAND_bytes(reinterpret_cast<unsigned char*>(salt.data()), kSaltBytes) != 1 ||
        !Derive(password, salt, kIterations, &hash)) {
        db_.SetNativeError(0, "password hashing failed");
        return ORBOM_RC_SYSTEM_ERROR;
    }
    sqlite3_stmt* stmt = db_.Prepare(
        "INSERT OR REPLACE INTO orb_account(user, salt, hash, iterations) VALUES(?,?,?,?)");
    if (!stmt) return db_.LastFailure();
    Transaction tx(db_);
    ORBOM_RC rc = tx.Begin();
    if (rc != ORBOM_RC_SUCCESS) return rc;
    {
        StatementUse use(stmt);
        sqlite3_bind_text(stmt, 1, user.data(), static_cast<int>(user.size()), SQLITE_TRANSIENT);
        sqlite3_bind_blob(stmt, 2, salt.data(), kSaltBytes, SQLITE_TRANSIENT);
        sqlite3_bind_blob(stmt, 3, hash.data(), kHashBytes, SQLITE_TRANSIENT);
        sqlite3_bind_int(stmt, 4, kIterations);
        const int step = sqlite3_step(stmt);
        if (step != SQLITE_DONE) return db_.Fail(step);
    }
    return tx.Commit();
}

ORBOM_RC Store::CheckAccount(const std::string& user, const std::string& password) {
    sqlite3_stmt* stmt =
        db_.Prepare("SELECT salt, hash, iterations FROM orb_account WHERE user=?");
    if (!stmt) return db_.LastFailure();
    std::string salt, stored;
    int iterations = 0;
    {
        StatementUse use(stmt);
        sqlite3_bind_text(stmt, 1, user.data(), static_cast<int>(user.size()), SQLITE_TRANSIENT);
        const int step = sqlite3_step(stmt);
        if (step == SQLITE_DONE) return ORBOM_RC_REPOSITORY_LOGIN_FAILED;
        if (step != SQLITE_ROW) return db_.Fail(step);
        salt = ColumnBlob(stmt, 0);
        stored = ColumnBlob(stmt, 1);
        iterations = sqlite3_column_int(stmt, 2);
    }
    std::string hash;
    if (iterations <= 0 || !Derive(password, salt, iterations, &hash) ||
        hash.size() != stored.size() ||
        CRYPTO_memcmp(hash.data(), stored.data(), hash.size()) != 0) {
        return ORBOM_RC_REPOSITORY_LOGIN_FAILED;
    }
    return ORBOM_RC_SUCCESS;
}

ORBOM_RC Store::HasAccounts(bool* any) {
    sqlite3_stmt* stmt = db_.Prepare("SELECT 1 FROM orb_account LIMIT 1");
    if (!stmt) return db_.LastFailure();
    StatementUse use(stmt);
    const int step = sqlite3_step(stmt);
    if (step != SQLITE_ROW && step != SQLITE_DONE) return db_.Fail(step);
    *any = step == SQLITE_ROW;
    return ORBOM_RC_SUCCESS;
}

}  // namespace orbom
