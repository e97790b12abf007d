// Writes lines to the publisher log from a separate process: log_writer TAG N.
#include <cstdio>
#include <cstdlib>

#include "publisher/PublisherLog.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    int lines = std::atoi(argv[2]);
    for (int i = 0; i < lines; ++i) publisher::WriteLogF("%s line %d", argv[1], i);
    return 0;
}
