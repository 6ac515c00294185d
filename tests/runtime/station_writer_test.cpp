#include "runtime/station_writer.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::TempDir;

// A station directory and the identity that owns it: the test's own, or
// nobody's when the test runs as root, so that root can be another user.
struct OwnedStation {
    OwnedStation() {
        owner = ::geteuid();
        group = ::getegid();
        if (owner == 0) {
            owner = 65534;
            group = 65534;
            EXPECT_EQ(::chown(dir.path().c_str(), owner, group), 0);
        }
        ::chmod(dir.path().c_str(), 0770);
    }
    std::string OwnerName() const {
        const passwd* entry = ::getpwuid(owner);
        return entry ? entry->pw_name : "#" + std::to_string(owner);
    }
    TempDir dir;
    uid_t owner;
    gid_t group;
};

TEST(StationWriter, OnlyTheOwnerWritesAndIsToldTheCommandThatWould) {
    OwnedStation station;
    const std::vector<std::string> command{
        "quorvanel-station", "--station", station.dir.path().string(), "user", "add", "anna"};
    EXPECT_EQ(StationWriteRefusal(station.dir.path(), StationWriters::kOwner,
                                  {station.owner, {station.group}}, command),
              "");
    // Root is another user too: what it creates the service cannot write.
    for (const uid_t other : {uid_t{0}, station.owner + 1}) {
        const std::string refusal = StationWriteRefusal(station.dir.path(), StationWriters::kOwner,
                                                        {other, {station.group}}, command);
        EXPECT_NE(refusal.find("belongs to the user " + station.OwnerName()), std::string::npos)
            << refusal;
        EXPECT_NE(refusal.find("sudo -u " + station.OwnerName() + " quorvanel-station --station " +
                               station.dir.path().string() + " user add anna"),
                  std::string::npos)
            << refusal;
        EXPECT_NE(refusal.find("--force"), std::string::npos) << refusal;
    }
    // Nothing is there yet: the directory will be the creator's own.
    EXPECT_EQ(StationWriteRefusal(station.dir / "new", StationWriters::kOwner, {0, {0}}, command),
              "");
}

TEST(StationWriter, TheWindowOfAGroupMemberOpensTheStationWhereTheGroupMayWrite) {
    OwnedStation station;
    const WriterIdentity member{station.owner + 1, {station.owner + 7, station.group}};
    const auto refusal = [&](StationWriters writers, const WriterIdentity& writer) {
        return StationWriteRefusal(station.dir.path(), writers, writer, {"quorvanel"});
    };
    EXPECT_EQ(refusal(StationWriters::kOwnerOrGroup, member), "");
    EXPECT_NE(refusal(StationWriters::kOwner, member), "");
    EXPECT_NE(refusal(StationWriters::kOwnerOrGroup, {station.owner + 1, {station.owner + 7}}), "");
    // Root in the group still leaves files of its own behind.
    EXPECT_NE(refusal(StationWriters::kOwnerOrGroup, {0, {station.group}}), "");
    ASSERT_EQ(::chmod(station.dir.path().c_str(), 0750), 0);
    EXPECT_NE(refusal(StationWriters::kOwnerOrGroup, member), "");
}

TEST(StationWriter, TheCommandToRunReadsBackAsTheSameArguments) {
    EXPECT_EQ(ShellCommandLine(
                  {"quorvanel-report", "--station", "/srv/cold store", "probes", "--rewrite"}),
              "quorvanel-report --station '/srv/cold store' probes --rewrite");
    EXPECT_EQ(ShellCommandLine({"a", "", "it's", "$HOME", "x=1,y"}),
              "a '' 'it'\\''s' '$HOME' x=1,y");
}

}  // namespace
}  // namespace qrv
