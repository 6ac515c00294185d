#include "station/station_directory.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "runtime/instance_lock.h"
#include "support/temp_dir.h"

namespace qrv::testing {
namespace {

TEST(StationDirectory, IsCreatedWhenMissingAndThenUsable) {
    TempDir dir;
    const auto station = dir / "a" / "b" / "quorvanel";
    EXPECT_EQ(shell::PrepareStationDirectory(station), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_directory(station));
    EXPECT_EQ(shell::PrepareStationDirectory(station), std::nullopt) << "and again when it exists";
}

TEST(StationDirectory, AProblemNamesTheDirectoryAndTheCause) {
    TempDir dir;
    const auto file = dir / "quorvanel";
    WriteBytes(file, "not a directory");
    EXPECT_EQ(shell::PrepareStationDirectory(file), "The station directory cannot be used:\n" +
                                                        file.string() +
                                                        "\nIt is a file, not a directory.");

    const auto below = file / "station";
    EXPECT_EQ(shell::PrepareStationDirectory(below),
              "The station directory cannot be used:\n" + below.string() +
                  "\nIt cannot be created: Not a directory.");

    EXPECT_EQ(shell::StationLockFileProblem(dir.path(), ENOSPC),
              "The station directory cannot be used:\n" + dir.path().string() +
                  "\nIts lock file cannot be created: No space left on device.");
}

TEST(StationDirectory, TheLockSaysWhyItFailed) {
    TempDir dir;
    const InstanceLock missing(dir / "missing");
    EXPECT_EQ(missing.state(), InstanceLock::State::Failed);
    EXPECT_EQ(missing.error(), ENOENT);

    const InstanceLock acquired(dir.path());
    EXPECT_EQ(acquired.state(), InstanceLock::State::Acquired);
    EXPECT_EQ(acquired.error(), 0);
    const InstanceLock second(dir.path());
    EXPECT_EQ(second.state(), InstanceLock::State::HeldByOther);
    EXPECT_EQ(second.error(), 0);
}

}  // namespace
}  // namespace qrv::testing
