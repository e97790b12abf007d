// A table line as the fixed records the discovery library and the discovery
// service hand out. Every text copy is bounded by its field.
#pragma once

#include "backup/discotable/discotable.h"
#include "backup/vlbrdcst/vlbrdcst.h"

namespace disco {

void FillRecord(const Server& server, DiscoveryRecord* record);
void FillProductInfo(const Server& server, ProductInfo* info);
// The name in a fixed field that may lack its terminator.
std::string FieldText(const char* field, size_t size);

}  // namespace disco
