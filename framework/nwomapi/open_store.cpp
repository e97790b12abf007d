// Opening and creating a repository where the machine's settings put it,
// and what a failure to do so said.
#include "framework/nwomapi/pg_store.h"
#include "framework/nwomapi/repositories.h"
#include "framework/nwomapi/sqlite_store.h"

namespace orbom {

namespace {

// No connection exists to keep it on, so the calling thread keeps it.
thread_local int openCode = 0;
thread_local std::string openMessage;

ORBOM_RC Remember(ORBOM_RC rc, const Store& store) {
    if (rc != ORBOM_RC_SUCCESS) {
        openCode = store.nativeCode();
        openMessage = store.nativeMessage();
    }
    return rc;
}

ORBOM_RC Refused(const std::string& why) {
    RememberOpenFailure(0, why);
    return ORBOM_RC_INVALID_REPOSITORY;
}

}  // namespace

ORBOM_RC OpenStore(const std::string& repository, const std::string& client,
                   std::unique_ptr<Store>* out) {
    RepositoryPlace place;
    std::string why;
    if (!LocateRepository(repository, &place, &why)) return Refused(why);
    ORBOM_RC rc;
    std::unique_ptr<Store> opened;
    if (place.backend == Backend::Postgres) {
        place.target.application = client;
        auto store = std::make_unique<PgStore>(place.target);
        rc = Remember(store->Open(), *store);
        opened = std::move(store);
    } else {
        auto store = std::make_unique<SqliteStore>();
        rc = Remember(store->Open(place.path), *store);
        opened = std::move(store);
    }
    if (rc != ORBOM_RC_SUCCESS) return rc;
    opened->ShareCommits(place.backend == Backend::Postgres
                             ? place.target.connection + '\x1f' + place.target.schema
                             : place.path);
    if (place.readCache) {
        opened->EnableCache(place.cacheBytes ? place.cacheBytes : ReadCache::kDefaultCapBytes);
    }
    *out = std::move(opened);
    return rc;
}

ORBOM_RC CreateStore(const std::string& repository) {
    RepositoryPlace place;
    std::string why;
    if (!LocateRepository(repository, &place, &why)) return Refused(why);
    if (place.backend == Backend::Postgres) {
        PgStore store(place.target);
        return Remember(store.Create(FrameworkClasses()), store);
    }
    SqliteStore store;
    return Remember(store.Create(place.path, FrameworkClasses()), store);
}

void RememberOpenFailure(int code, const std::string& message) {
    openCode = code;
    openMessage = message;
}

void LastOpenFailure(int* code, std::string* message) {
    *code = openCode;
    *message = openMessage;
}

}  // namespace orbom
