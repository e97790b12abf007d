// Exported functions: kernel, repositories, classes and accounts.
#include <algorithm>
#include <cstring>

#include "framework/nwomapi/api.h"
#include "framework/nwomapi/client.h"
#include "framework/nwomapi/names.h"
#include "framework/nwomapi/pg_link.h"
#include "framework/nwomapi/repositories.h"
#include "framework/nwomapi/sqlite_store.h"

using namespace orbom;

namespace {

HandleTable& Table() { return HandleTable::Instance(); }

void EndSelection(ORBOM_SELECTION handle) {
    if (auto cursor = Table().Remove<SelectionCursor>(handle)) {
        std::lock_guard<std::mutex> lock(cursor->mutex);
        Table().Remove<CurrentObject>(cursor->current);
        cursor->current = 0;
    }
}

ORBOM_RC CloseConnection(ORBOM_CONNECTION handle) {
    auto connection = Table().Remove<Connection>(handle);
    if (!connection) return ORBOM_RC_INVALID_REPOSITORY_CONTEXT;
    std::set<ORBOM_SELECTION> selections;
    {
        std::lock_guard<std::mutex> lock(connection->selectionsMutex);
        selections.swap(connection->selections);
    }
    for (ORBOM_SELECTION s : selections) EndSelection(s);
    return ORBOM_RC_SUCCESS;
}

// Opens the named repository and registers the connection with its kernel.
ORBOM_RC Open(ORBOM_KERNEL kernelHandle, const char* repository, ORBOM_CONNECTION* out,
              const char* user, const char* password, bool signOn) {
    if (!out) return ORBOM_RC_INVALID_POINTER_PARAMETER;
    *out = 0;
    auto kernel = Table().Get<Kernel>(kernelHandle);
    if (!kernel) return ORBOM_RC_INVALID_KERNEL_CONTEXT;
    if (!repository || !IsValidRepositoryName(repository)) return ORBOM_RC_INVALID_REPOSITORY;
    auto connection = std::make_shared<Connection>();
    connection->kernel = kernelHandle;
    std::string client;
    {
        std::lock_guard<std::mutex> lock(kernel->mutex);
        client = kernel->clientName;
    }
    ORBOM_RC rc = OpenStore(repository, client, &connection->store);
    if (rc == ORBOM_RC_SUCCESS && signOn) {
        bool any = false;
        rc = connection->store->HasAccounts(&any);
        if (rc == ORBOM_RC_SUCCESS && any) {
            rc = connection->store->CheckAccount(user ? user : "", password ? password : "");
        }
    }
    if (rc != ORBOM_RC_SUCCESS) return rc;
    const ORBOM_CONNECTION handle = Table().Add(connection);
    if (!handle) return ORBOM_RC_OUT_OF_REPOSITORY_CONTEXT;
    std::lock_guard<std::mutex> lock(kernel->mutex);
    kernel->connections.insert(handle);
    *out = handle;
    return ORBOM_RC_SUCCESS;
}

template <class F>
ORBOM_RC WithStore(ORBOM_CONNECTION handle, F&& body) {
    auto connection = Table().Get<Connection>(handle);
    if (!connection) return ORBOM_RC_INVALID_REPOSITORY_CONTEXT;
    std::lock_guard<std::mutex> lock(connection->mutex);
    return body(*connection->store);
}

}  // namespace

extern "C" {

ORBOM_RC ORBOM_Kernel_Start(const char* clientName, ORBOM_KERNEL* kernel, uint32_t) {
    return Guarded([&] {
        if (!kernel) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        *kernel = 0;
        auto k = std::make_shared<Kernel>();
        k->clientName = std::string(clientName ? clientName : "").substr(0, ORBOM_MAX_CLIENT_NAME);
        *kernel = Table().Add(k);
        return *kernel ? ORBOM_RC_SUCCESS : ORBOM_RC_OUT_OF_MEMORY;
    });
}

ORBOM_RC ORBOM_Kernel_Stop(ORBOM_KERNEL* kernel) {
    return Guarded([&] {
        if (!kernel) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        auto k = Table().Remove<Kernel>(*kernel);
        if (!k) return ORBOM_RC_INVALID_KERNEL_CONTEXT;
        *kernel = 0;
        std::set<ORBOM_CONNECTION> connections;
        {
            std::lock_guard<std::mutex> lock(k->mutex);
            connections.swap(k->connections);
        }
        for (ORBOM_CONNECTION c : connections) CloseConnection(c);
        return ORBOM_RC_SUCCESS;
    });
}

ORBOM_RC ORBOM_Repository_Connect(ORBOM_KERNEL kernel, const char* repository,
                                  ORBOM_CONNECTION* connection) {
    return Guarded([&] { return Open(kernel, repository, connection, nullptr, nullptr, false); });
}

ORBOM_RC ORBOM_Repository_ConnectAndSignOn(ORBOM_KERNEL kernel, const char* repository,
                                           ORBOM_CONNECTION* connection, const char* user,
                                           const char* password) {
    return Guarded([&] { return Open(kernel, repository, connection, user, password, true); });
}

ORBOM_RC ORBOM_Repository_Disconnect(ORBOM_CONNECTION* connection) {
    return Guarded([&] {
        if (!connection) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        auto c = Table().Get<Connection>(*connection);
        if (!c) return ORBOM_RC_INVALID_REPOSITORY_CONTEXT;
        if (auto kernel = Table().Get<Kernel>(c->kernel)) {
            std::lock_guard<std::mutex> lock(kernel->mutex);
            kernel->connections.erase(*connection);
        }
        const ORBOM_RC rc = CloseConnection(*connection);
        *connection = 0;
        return rc;
    });
}

ORBOM_RC ORBOM_Repository_EnumBegin(ORBOM_KERNEL kernel, uint32_t flags) {
    return Guarded([&] {
        auto k = Table().Get<Kernel>(kernel);
        if (!k) return ORBOM_RC_INVALID_KERNEL_CONTEXT;
        if (flags != ORBOM_ENUM_BY_NAME && flags != ORBOM_ENUM_DEFAULT_FIRST) {
            return ORBOM_RC_INVALID_OPERATOR;
        }
        std::vector<std::string> names = ListRepositories(flags == ORBOM_ENUM_DEFAULT_FIRST);
        std::lock_guard<std::mutex> lock(k->mutex);
        k->repositories = std::move(names);
        k->nextRepository = 0;
        k->listing = true;
        return ORBOM_RC_SUCCESS;
    });
}

ORBOM_RC ORBOM_Repository_EnumNext(ORBOM_KERNEL kernel, char* buffer, uint32_t size) {
    return Guarded([&] {
        auto k = Table().Get<Kernel>(kernel);
        if (!k) return ORBOM_RC_INVALID_KERNEL_CONTEXT;
        std::lock_guard<std::mutex> lock(k->mutex);
        if (!k->listing) return ORBOM_RC_NO_SELECT;
        if (k->repositories.empty()) return ORBOM_RC_NO_MATCH;
        if (k->nextRepository >= k->repositories.size()) return ORBOM_RC_END_OF_DATA;
        const ORBOM_RC rc = CopyName(k->repositories[k->nextRepository], buffer, size);
        if (rc == ORBOM_RC_SUCCESS) ++k->nextRepository;
        return rc;
    });
}

ORBOM_RC ORBOM_Repository_Create(ORBOM_KERNEL kernel, const char* repository) {
    return Guarded([&] {
        if (!Table().Get<Kernel>(kernel)) return ORBOM_RC_INVALID_KERNEL_CONTEXT;
        if (!repository || !IsValidRepositoryName(repository)) return ORBOM_RC_INVALID_REPOSITORY;
        return CreateStore(repository);
    });
}

ORBOM_RC ORBOM_Repository_Register(ORBOM_KERNEL kernel, const char* repository,
                                   const char* backend, const char* connection,
                                   const char* schema) {
    return Guarded([&] {
        if (!Table().Get<Kernel>(kernel)) return ORBOM_RC_INVALID_KERNEL_CONTEXT;
        if (!repository || !IsValidRepositoryName(repository)) return ORBOM_RC_INVALID_REPOSITORY;
        if (!backend) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        std::string why;
        if (RegisterRepository(repository, backend, connection ? connection : "",
                               schema ? schema : "", &why)) {
            return ORBOM_RC_SUCCESS;
        }
        RememberOpenFailure(0, why);
        return ORBOM_RC_OPERATION_FAIL;
    });
}

ORBOM_RC ORBOM_Repository_GetNativeError(ORBOM_CONNECTION connection, char* buffer, uint32_t size,
                                         int32_t* nativeCode) {
    return Guarded([&] {
        if (!buffer || size == 0) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        auto copy = [&](int code, const std::string& text) {
            const size_t n = std::min<size_t>(text.size(), size - 1);
            std::memcpy(buffer, text.data(), n);
            buffer[n] = '\0';
            if (nativeCode) *nativeCode = code;
            return ORBOM_RC_SUCCESS;
        };
        if (connection == 0) {
            int code = 0;
            std::string text;
            LastOpenFailure(&code, &text);
            return copy(code, text);
        }
        return WithStore(connection, [&](Store& store) {
            return copy(store.nativeCode(), store.nativeMessage());
        });
    });
}

ORBOM_RC ORBOM_Transaction_Begin(ORBOM_CONNECTION connection) {
    return Guarded([&] { return WithStore(connection, [](Store& store) { return store.BeginWork(); }); });
}

ORBOM_RC ORBOM_Transaction_Commit(ORBOM_CONNECTION connection) {
    return Guarded(
        [&] { return WithStore(connection, [](Store& store) { return store.CommitWork(); }); });
}

ORBOM_RC ORBOM_Transaction_Rollback(ORBOM_CONNECTION connection) {
    return Guarded(
        [&] { return WithStore(connection, [](Store& store) { return store.RollbackWork(); }); });
}

ORBOM_RC ORBOM_Class_Import(ORBOM_CONNECTION connection, const char* text, uint32_t length,
                            uint32_t* errorLine, char* message, uint32_t messageSize) {
    return Guarded([&] {
        if (!text && length) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        ImportError error;
        const ORBOM_RC rc = WithStore(connection, [&](Store& store) {
            return store.Import(std::string_view(text ? text : "", length), &error);
        });
        if (errorLine) *errorLine = static_cast<uint32_t>(error.line);
        if (message && messageSize) {
            const size_t n = std::min<size_t>(error.message.size(), messageSize - 1);
            std::memcpy(message, error.message.data(), n);
            message[n] = '\0';
        }
        return rc;
    });
}

ORBOM_RC ORBOM_Class_Enum(ORBOM_CONNECTION connection, uint32_t index, char* buffer,
                          uint32_t size) {
    return Guarded([&] {
        std::vector<std::string> names;
        ORBOM_RC rc = WithStore(connection, [&](Store& store) { return store.ClassNames(&names); });
        if (rc != ORBOM_RC_SUCCESS) return rc;
        if (index >= names.size()) return ORBOM_RC_END_OF_DATA;
        return CopyName(names[index], buffer, size);
    });
}

ORBOM_RC ORBOM_Class_GetPropertyInfo(ORBOM_CONNECTION connection, const char* cls, uint32_t index,
                                     char* buffer, uint32_t size, uint32_t* type) {
    return Guarded([&] {
        ORBOM_RC rc = CheckClassName(cls);
        if (rc != ORBOM_RC_SUCCESS) return rc;
        ClassDef def;
        rc = WithStore(connection, [&](Store& store) { return store.DescribeClass(cls, &def); });
        if (rc != ORBOM_RC_SUCCESS) return rc;
        if (index >= def.properties.size()) return ORBOM_RC_END_OF_DATA;
        rc = CopyName(def.properties[index].name, buffer, size);
        if (rc == ORBOM_RC_SUCCESS && type) *type = def.properties[index].type;
        return rc;
    });
}

ORBOM_RC ORBOM_Account_Set(ORBOM_CONNECTION connection, const char* user, const char* password) {
    return Guarded([&] {
        if (!user || !password) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        return WithStore(connection, [&](Store& store) { return store.SetAccount(user, password); });
    });
}

ORBOM_RC ORBOM_Account_Check(ORBOM_CONNECTION connection, const char* user, const char* password) {
    return Guarded([&] {
        if (!user || !password) return ORBOM_RC_REPOSITORY_LOGIN_FAILED;
        return WithStore(connection,
                         [&](Store& store) { return store.CheckAccount(user, password); });
    });
}

ORBOM_RC ORBOM_Statistics_Exchanges(uint64_t* count) {
    return Guarded([&] {
        if (!count) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        *count = PgLink::RoundTrips() + SqliteStore::Statements();
        return ORBOM_RC_SUCCESS;
    });
}

ORBOM_RC ORBOM_Statistics_Cache(ORBOM_CONNECTION connection, ORBOM_CACHE_STATS* stats) {
    return Guarded([&] {
        if (!stats) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        if (connection == 0) {
            TotalCacheStats(stats);
            return ORBOM_RC_SUCCESS;
        }
        return WithStore(connection, [&](Store& store) {
            *stats = store.cache() ? store.cache()->stats() : ORBOM_CACHE_STATS{};
            return ORBOM_RC_SUCCESS;
        });
    });
}

}  // extern "C"
