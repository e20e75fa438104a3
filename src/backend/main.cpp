// vantleReport CONFIGURATION-FILE
// Prints the report on every entry of the configuration file on standard output. Problems go to
// standard error with a non-zero exit status: 2 for a wrong command line, 1 for anything else.

#include "Report.h"
#include "Speller.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vantleReport CONFIGURATION-FILE\n");
        return 2;
    }
    const char* path = argv[1];

    std::string text;
    std::string error;
    if (!backend::readConfig(path, text, error)) {
        std::fprintf(stderr, "vantleReport: cannot read configuration file \"%s\": %s\n", path, error.c_str());
        return 1;
    }

    try {
        const backend::Speller speller;
        errno = 0;
        if (!backend::writeReport(stdout, path, text, speller)) {
            std::fprintf(stderr, "vantleReport: cannot write the report: %s\n",
                         errno != 0 ? std::strerror(errno) : "write error");
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vantleReport: %s\n", e.what());
        return 1;
    }
    return 0;
}
