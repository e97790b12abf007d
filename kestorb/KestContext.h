// KestContext: what one successful KestInitEx hands out. It owns the
// kernel wrapper, the connected repository and the single-object accessor,
// and keeps the last error of the operations run on it.
#pragma once

#include <cstdint>
#include <memory>

#include "kestorb/KestOrb.h"
#include "kestorb/OrbKernel.h"
#include "kestorb/OrbRepository.h"
#include "kestorb/OrbSingleObj.h"
#include "kestorb/Trace.h"

struct KestContext {
    std::unique_ptr<COrbSingleObj> single;
    int32_t code = 0;       // working code of the operation in progress
    int32_t lastError = 0;  // result of the last operation
    char tracePath[kest::kTracePathSize] = {};  // empty: tracing off
    std::unique_ptr<COrbKernel> kernel;
    std::unique_ptr<COrbRepository> repository;

    KestContext() = default;
    KestContext(const KestContext&) = delete;
    KestContext& operator=(const KestContext&) = delete;
    ~KestContext() { Release(); }

    int32_t Done(int32_t result) {
        lastError = result;
        return result;
    }
    // One time-stamped line in "KestOrb.TRC" (when tracing is on).
    void Trace(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    // Gives a wrapper the context's trace path, so its lines land in the same file.
    template <typename T>
    T& Traced(T& object) const {
        object.SetTracePath(tracePath);
        return object;
    }
    // Accessor, repository (which disconnects) and kernel, in that order.
    void Release() {
        single.reset();
        repository.reset();
        kernel.reset();
    }
};

namespace kest {

// The algorithm behind KestInitEx; handle is not none.
int32_t InitializeContext(KestContext** handle, const char* repository, const char* user,
                          const char* password, uint32_t flags);
// The algorithm behind KestDeInit; *handle is not none.
int32_t DeInitializeContext(KestContext** handle);

}  // namespace kest
