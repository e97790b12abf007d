// The real publishing pass as the dialog's PassEngine.
#pragma once

#include <memory>

#include "publisher/Notice.h"
#include "publisher/app/pass_engine.h"

std::unique_ptr<PassEngine> MakePublishEngine(publisher::PublisherUi ui);
