// Tests that hold on one system only. The Windows build runs under Wine
// (tools/wine-tests.sh); a test marked here is skipped there with its reason.
#pragma once

#include <gtest/gtest.h>

#ifdef _WIN32
#define NRVS_LINUX_ONLY(why) GTEST_SKIP() << "Linux only: " << why
#else
#define NRVS_LINUX_ONLY(why) static_cast<void>(0)
#endif
