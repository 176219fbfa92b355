// The fixture of the resource tests: a scratch working folder for the files loaded, the
// recording device installed as the program's device, and the log captured. Nothing may stay
// in the process-wide texture cache after a test.
#pragma once

#include "gfx/resources/texture_cache.h"
#include "tests/support/platform/recording_device.h"
#include "tests/support/program/scoped_device.h"
#include "tests/support/platform/scratch_folder.h"

#include <gtest/gtest.h>

namespace testsupport {

class ResourceTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(textureCache.head, nullptr); }

    ScratchFolder folder;
    RecordingDevice device;
    ScopedDevice installed{&device};
    LogCapture log;
};

} // namespace testsupport
