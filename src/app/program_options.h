// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <cstring>

namespace kv {

/// Answers --version and --help (-h) of a program before it needs a window system: prints to standard
/// output and returns 0. Returns -1 when neither was asked, so that the program starts as usual.
inline int answerVersionOrHelp(int argc, char **argv, const char *program, const char *usage)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", program, KELVORA_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("%s", usage);
            return 0;
        }
    }
    return -1;
}

} // namespace kv
