// ksorbx's options for scripts: "--batch [--delete --yes] [--no-create]".
// They are taken off the command line; the "/r" and "/d" examination sees
// the rest unchanged.
#pragma once

#include <string>
#include <vector>

#include "platform/ui.h"

struct BatchOptions {
    bool batch = false;
    bool deleteFirst = false;
    bool yes = false;
    bool noCreate = false;
};

// Takes the long options out of args and returns them; `rest` is the
// remaining words joined by blanks.
BatchOptions TakeBatchOptions(const std::vector<std::string>& args, std::string* rest);

// Start once with the check boxes as the options say, wait for the run to
// end (button 1 enabled, the dialog idle), then end.
orb::BatchScript PublisherBatchScript(const BatchOptions& options);
