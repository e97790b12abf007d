// COrbBase: what every repository wrapper keeps. Callers read back the code
// of the last client call and the result of the last public operation, and
// each object writes its own bare trace lines to the library's trace file.
#pragma once

#include <cstdint>

#include "kestorb/Trace.h"

class COrbBase {
public:
    COrbBase() = default;
    virtual ~COrbBase() = default;
    COrbBase(const COrbBase&) = delete;
    COrbBase& operator=(const COrbBase&) = delete;

    // Result of the last public operation.
    int32_t GetLastError() const { return lastError_; }
    // Code of the last repository client call.
    int32_t GetLastCode() const { return code_; }

    // A path switches this object's trace on (cut to the path buffer); none
    // switches it off. An empty path leaves it on but writes nothing.
    void SetTracePath(const char* path);
    // The path in use; empty when tracing is off.
    const char* GetTracePath() const { return traceOn_ ? tracePath_ : ""; }

protected:
    // Ends a public operation: its result becomes the last error.
    int32_t Done(int32_t result) {
        lastError_ = result;
        return result;
    }
    void Trace(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    int32_t code_ = 0;
    int32_t lastError_ = 0;

private:
    char tracePath_[kest::kTracePathSize] = {};
    bool traceOn_ = true;
};
