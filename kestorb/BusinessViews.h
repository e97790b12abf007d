// Business process views: "BusinessView" objects whose members are the
// objects linked under them by "Inclusion" links (the model's link shape).
// Each operation runs on a context and returns a code; 16 means "not there".
#pragma once

#include <cstdint>

#include "kestorb/KestContext.h"

namespace kest {

inline constexpr const char* kBusinessViewClass = "BusinessView";

// The first view of that name.
int32_t BPVFind(KestContext& ctx, const char* viewName, UUID* out);
// How many business views bear the name; the first one's UUID to *first.
int32_t CountViews(KestContext& ctx, const char* viewName, int32_t* count, UUID* first);
// Creates the view unless it exists; out (optional) gets its UUID.
int32_t BPVCreate(KestContext& ctx, const char* viewName, UUID* out);
// Deletes the view; the repository deletes its member links with it (the
// members themselves stay).
int32_t BPVDelete(KestContext& ctx, const char* viewName);
// Replaces the view's members of the class by every object of the class.
int32_t BPVPopulate(KestContext& ctx, const char* viewName, const char* cls);
// The first link parent -> child; link (optional) gets its UUID.
int32_t FindInclusion(KestContext& ctx, const char* parentClass, const UUID& parent,
                      const char* childClass, const UUID& child, UUID* link);
int32_t BPVAddObject(KestContext& ctx, const char* viewName, const char* cls, const UUID& uuid);
int32_t BPVDeleteObject(KestContext& ctx, const char* viewName, const char* cls,
                        const UUID& uuid);
// Places the object under the repository root; name is for the trace only.
int32_t BPVAddInclusionObject(KestContext& ctx, const char* name, const char* cls,
                              const UUID& uuid);
// Builds the storage-area-network view (SanView.cpp).
int32_t BusinessProcessView(KestContext& ctx, const char* viewName);

}  // namespace kest
