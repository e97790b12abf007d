// Puts the backup product's home directory on the process's search path,
// because the query library is loaded by bare file name.
#pragma once

void extendSearchPath();
