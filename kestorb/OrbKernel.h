// COrbKernel: the repository client's kernel context. The library never
// stops a kernel it started; the process that wanted one owns its lifetime.
#pragma once

#include "framework/nwomapi/nwomapi.h"
#include "kestorb/OrbBase.h"

class COrbRepository;

class COrbKernel : public COrbBase {
public:
    explicit COrbKernel(bool start = false);

    // An absent or empty name runs the kernel as "PID(%lX)TIME(%lX)".
    int32_t Start(const char* clientName = nullptr);
    // A repository on this kernel, owned by the caller; none when the kernel
    // is not started or memory runs out.
    COrbRepository* GetRepository();

    ORBOM_KERNEL Handle() const { return kernel_; }
    const char* ClientName() const { return clientName_; }

private:
    char clientName_[ORBOM_MAX_CLIENT_NAME + 1] = {};
    ORBOM_KERNEL kernel_ = 0;
};
