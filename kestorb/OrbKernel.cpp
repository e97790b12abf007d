// Kernel start and repository creation.
#include "kestorb/OrbKernel.h"

#include <cstdio>
#include <new>

#include "kestorb/OrbRepository.h"
#include "kestorb/Text.h"
#include "platform/procid.h"
#include "platform/sync.h"

COrbKernel::COrbKernel(bool start) {
    if (start) Start();
}

int32_t COrbKernel::Start(const char* clientName) {
    if (kest::IsEmpty(clientName)) {
        // Unique enough per process and start, and readable in the framework's lists.
        std::snprintf(clientName_, sizeof clientName_, "PID(%lX)TIME(%lX)",
                      static_cast<unsigned long>(GetCurrentProcessId()),
                      static_cast<unsigned long>(GetTickCount()));
    } else {
        kest::CopyText(clientName_, clientName);
    }
    Trace("COrbKernel::Start() - Starting the Kernel for client [%s]", clientName_);
    code_ = ORBOM_Kernel_Start(clientName_, &kernel_, 0);
    if (code_ != ORBOM_RC_SUCCESS) {
        kernel_ = 0;
        Trace("COrbKernel::Start() - Failed to start Kernel [%d]", code_);
    }
    return Done(code_);
}

COrbRepository* COrbKernel::GetRepository() {
    if (kernel_ == 0) {
        Trace("COrbKernel object not started");
        Done(ORBOM_RC_INVALID_KERNEL_CONTEXT);
        return nullptr;
    }
    auto* repository = new (std::nothrow) COrbRepository(kernel_);
    if (repository == nullptr) {
        Trace("COrbKernel::GetRepository() - Failed to create new COrbRepository object");
        Done(ORBOM_RC_OUT_OF_MEMORY);
        return nullptr;
    }
    Done(ORBOM_RC_SUCCESS);
    return repository;
}
