// The discovery-service question, with the library loaded per call.
#include "kestorb/DsProbe.h"

#include "kestorb/Text.h"
#include "platform/dynload.h"

namespace kest {
namespace {

// Looks entry points up as they are first needed and remembers whether one
// was missing, which decides whether the unload entry may run.
class DsLibrary {
public:
    explicit DsLibrary(KestContext& ctx) : ctx_(ctx), module_(LoadLibraryA("dsload.dll")) {}
    ~DsLibrary() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    bool Loaded() const { return module_ != nullptr; }
    bool AnyMissing() const { return missing_; }

    template <typename Fn>
    Fn Find(const char* name) {
        auto entry = reinterpret_cast<Fn>(GetProcAddress(module_, name));
        if (entry == nullptr) {
            missing_ = true;
            ctx_.Trace("IsVLProductFound() - DYNDLLCALL_INVALID_METHOD");
        }
        return entry;
    }

private:
    KestContext& ctx_;
    HMODULE module_;
    bool missing_ = false;
};

bool AskByProduct(DsLibrary& ds, const char* serverName, int32_t productId) {
    auto init = ds.Find<DSInitEnumServerFn>("DSInitEnumServer");
    uint32_t enumeration = 0;
    uint32_t second = 0;
    if (init == nullptr || init(&enumeration, &second) != 0) return false;
    char name[DS_NAME_SIZE] = {};
    CopyText(name, serverName);
    auto enumerate = ds.Find<DSTblEnumServerByProductIdFn>("DSTblEnumServerByProductId");
    uint32_t value = 0;
    unsigned char record[DS_RESULT_SIZE] = {};
    bool found = enumerate != nullptr && enumerate(enumeration, &value, productId, name, record) == 0;
    if (auto deinit = ds.Find<DSDeInitEnumServerFn>("DSDeInitEnumServer")) deinit(enumeration);
    return found;
}

}  // namespace

bool IsVLProductFound(KestContext& ctx, const char* serverName, int32_t productId) {
    DsLibrary ds(ctx);
    if (!ds.Loaded()) {
        ctx.Trace("IsVLProductFound() - DYNDLLCALL_INVALID_HANDLE");
        return false;
    }
    auto load = ds.Find<KestDSLoadFn>("KestDSLoad");
    if (load == nullptr || load(0) != 0) return false;
    bool found = AskByProduct(ds, serverName, productId);
    if (!ds.AnyMissing()) {
        if (auto unload = ds.Find<KestDSUnLoadFn>("KestDSUnLoad")) unload();
    }
    return found;
}

}  // namespace kest
