// The Windows backend of the platform layer, run under Wine here.
#include "platform/Pdrives.h"
#include "platform/Penum.h"
#include "platform/Pfile.h"
#include "platform/Ppath.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <map>

namespace nrvs {
namespace {

TEST(Win32Test, Placeholder) { SUCCEED(); }

} // namespace
} // namespace nrvs
