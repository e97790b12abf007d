// The backup product's home directory, from its "Base\\Path" key.
#pragma once

// The "HOME" value (at most 1023 characters), empty when unknown. The text
// lives in a static buffer filled on every call.
const char* getInstallPath();
