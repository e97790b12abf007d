// Context start and end.
#include "kestorb/KestContext.h"

#include <cstdarg>
#include <new>

#include "kestorb/Text.h"
#include "platform/registry.h"

void KestContext::Trace(const char* format, ...) const {
    if (tracePath[0] == '\0') return;
    va_list args;
    va_start(args, format);
    kest::TraceStamped(tracePath, format, args);
    va_end(args);
}

namespace kest {
namespace {

// Step 7: connect as the flags say; the result is the failing step's code.
int32_t ConnectRepository(KestContext& ctx, const char* repository, const char* user,
                          const char* password, uint32_t flags) {
    COrbRepository& repo = *ctx.repository;
    if ((flags & 1u) != 0) {
        if (IsEmpty(repository)) {
            ctx.code = repo.SelectDefault();
            if (ctx.code != ORBOM_RC_SUCCESS) {
                ctx.Trace("Initialize() - Error selecting repository [%lu]",
                          static_cast<unsigned long>(ctx.code));
                return ctx.code;
            }
        }
        ctx.code = repo.Connect();
    } else {
        ctx.code = repo.ConnectAndSignOn(user, password);
    }
    if (ctx.code == ORBOM_RC_SUCCESS) {
        ctx.Trace("Initialize() - Repository connected to sucessfully");
    } else {
        ctx.Trace("Initialize() - Error connecting to repository [%lu]",
                  static_cast<unsigned long>(ctx.code));
    }
    return ctx.code;
}

// The trace switch and the repositories' names and placements are in the
// registry: on a damaged hive the context would run on defaults (no trace,
// a local repository made in place of a site's one). Whether tracing is on
// cannot be read then, so the reason goes to the trace file of the
// temporary directory whatever "Debug" says. The answer is the library's
// own code for a context that cannot be made; the client's codes are the
// client's to give.
int32_t CheckRegistry(KestContext& ctx) {
    const LONG hive = orb::RegCheckHive();
    if (hive == ERROR_SUCCESS) return ORBOM_RC_SUCCESS;
    ChooseFallbackTraceFile(ctx.tracePath);
    ctx.Trace("\n\n");
    ctx.Trace("Initialize() - Error reading the registry: %s [%ld]", orb::RegErrorText(hive),
              static_cast<long>(hive));
    return ctx.Done(KESTORB_ERR_NEW);
}

// Steps 2 to 9; on failure the caller releases what was made.
int32_t Build(KestContext& ctx, const char* repository, const char* user, const char* password,
              uint32_t flags) {
    const int32_t registry = CheckRegistry(ctx);
    if (registry != ORBOM_RC_SUCCESS) return registry;
    ChooseTraceFile(ctx.tracePath);
    ctx.Trace("\n\n");
    ctx.kernel.reset(new (std::nothrow) COrbKernel(false));
    if (!ctx.kernel) {
        ctx.Trace("Initialize() - Error creating Kernel object [%d]", KESTORB_ERR_NEW);
        return ctx.Done(KESTORB_ERR_NEW);
    }
    if (ctx.tracePath[0] != '\0') ctx.kernel->SetTracePath(ctx.tracePath);
    ctx.code = ctx.kernel->Start();
    if (ctx.code != ORBOM_RC_SUCCESS) {
        ctx.Trace("Initialize() - Error starting Orb kernel [%lu]",
                  static_cast<unsigned long>(ctx.code));
        return ctx.code;
    }
    ctx.repository.reset(ctx.kernel->GetRepository());
    if (!ctx.repository) {
        ctx.Trace("Initialize() - Error creating repository object [%d]", KESTORB_ERR_NEW);
        return ctx.Done(KESTORB_ERR_NEW);
    }
    ctx.Traced(*ctx.repository).SetName(repository);
    int32_t rc = ConnectRepository(ctx, repository, user, password, flags);
    if (!ctx.repository->IsConnected()) return rc == ORBOM_RC_SUCCESS ? ORBOM_RC_UNKNOWN : rc;
    ctx.single.reset(new (std::nothrow) COrbSingleObj(ctx.repository.get()));
    if (!ctx.single) {
        ctx.Trace("Initialize() - Error creating COrbSingleObj [%d]", KESTORB_ERR_NEW);
        return ctx.Done(KESTORB_ERR_NEW);
    }
    ctx.Traced(*ctx.single);
    ctx.Trace("Initialize() - Success");
    return ctx.Done(ORBOM_RC_SUCCESS);
}

}  // namespace

int32_t InitializeContext(KestContext** handle, const char* repository, const char* user,
                          const char* password, uint32_t flags) {
    *handle = nullptr;
    auto* ctx = new (std::nothrow) KestContext;
    if (ctx == nullptr) return KESTORB_ERR_NEW;
    int32_t rc = Build(*ctx, repository, user, password, flags);
    if (rc != ORBOM_RC_SUCCESS) {
        delete ctx;  // releases accessor, repository and kernel in order
        return rc;
    }
    *handle = ctx;
    return rc;
}

int32_t DeInitializeContext(KestContext** handle) {
    KestContext* ctx = *handle;
    ctx->Release();
    ctx->Trace("DeInitialize() - Success");
    delete ctx;
    *handle = nullptr;
    return ORBOM_RC_SUCCESS;
}

}  // namespace kest
