// Tests that hold on one system only. The Windows build runs under Wine
// (tools/wine-tests.sh); a test marked here is skipped there with its reason.
#pragma once

#include <gtest/gtest.h>

#ifdef _WIN32
#define NRVS_LINUX_ONLY(why) GTEST_SKIP() << "Linux only: " << why
#else
#define NRVS_LINUX_ONLY(why) static_cast<void>(0)
#endif

// The Windows cross-build has no simdjson, and so no import of ncdu exports.
#if NRVS_HAVE_SIMDJSON
#define NRVS_NEEDS_NCDU_IMPORT() static_cast<void>(0)
#else
#define NRVS_NEEDS_NCDU_IMPORT() GTEST_SKIP() << "built without simdjson: no ncdu import"
#endif
