#pragma once
// Tests that read our files with an outside tool (a PDF reader, another dBase implementation, a
// spreadsheet reader) skip without it on a developer's machine. Where QPX_REQUIRE_TOOLS is set
// (scripts/test, and so CI) a missing tool fails the test instead: a run that passes by skipping
// proves nothing.
#include <QtGlobal>
#include <gtest/gtest.h>

#define QPX_SKIP_WITHOUT(missing, what)                                                                      \
    do {                                                                                                     \
        if (missing) {                                                                                       \
            if (qEnvironmentVariableIsSet("QPX_REQUIRE_TOOLS"))                                              \
                FAIL() << what << " (scripts/install-deps installs it)";                                     \
            GTEST_SKIP() << what;                                                                            \
        }                                                                                                    \
    } while (false)
