#include "publisher/app/batch_options.h"

#include "publisher/app/PublisherDlg.h"

BatchOptions TakeBatchOptions(const std::vector<std::string>& args, std::string* rest) {
    BatchOptions options;
    rest->clear();
    for (const std::string& arg : args) {
        if (arg == "--batch") {
            options.batch = true;
        } else if (arg == "--delete") {
            options.deleteFirst = true;
        } else if (arg == "--yes") {
            options.yes = true;
        } else if (arg == "--no-create") {
            options.noCreate = true;
        } else {
            if (!rest->empty()) *rest += ' ';
            *rest += arg;
        }
    }
    return options;
}

orb::BatchScript PublisherBatchScript(const BatchOptions& options) {
    using Step = orb::BatchStep;
    orb::BatchScript script;
    script.push_back({options.deleteFirst ? Step::Check : Step::Uncheck, kDeleteFirst, 0, {}});
    script.push_back({options.noCreate ? Step::Uncheck : Step::Check, kCreateObjects, 0, {}});
    script.push_back({Step::Press, kStartStop, 0, {}});
    script.push_back({Step::WaitFor, kStartStop, 0, [](const orb::Dialog& dialog) {
                          const auto& publisher = static_cast<const CPublisherDlg&>(dialog);
                          return !publisher.Running() && dialog.IsItemEnabled(kStartStop);
                      }});
    script.push_back({Step::End, 0, IDCANCEL, {}});
    return script;
}
