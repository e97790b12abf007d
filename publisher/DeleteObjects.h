// Deletion mode: removes every backup object that any product generation
// published, through the repository client directly. Runs on the dialog
// thread before a pass; the operator confirms first.
#pragma once

#include <string>

#include "publisher/Notice.h"

namespace publisher {

// 1 when the deletion ran to its end, 0 when it was declined or failed.
// A class that does not exist (10) or holds no objects (16) has nothing to
// delete and the next class follows; only another code stops the deletion.
int DeletePublishedObjects(const std::string& repository, const PublisherUi& ui);

}  // namespace publisher
