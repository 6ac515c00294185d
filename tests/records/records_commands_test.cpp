// quorvanel-report's audit command on a station directory.
#include <gtest/gtest.h>

#include "records/audit_trail.h"
#include "runtime/text_file.h"
#include "support/run_report_tool.h"
#include "support/temp_dir.h"

namespace qrv::records {
namespace {

using testing::RunTool;

class AuditCommand : public ::testing::Test {
  protected:
    AuditCommand() {
        for (int day = 1; day <= 4; ++day) {
            trail.Record({{2026, 5, day, 8, 0, 0, 0},
                          "anna",
                          "probe 0000000A1B2C Fridge: AlarmHigh",
                          std::to_string(day),
                          std::to_string(day + 1)});
        }
    }
    testing::TempDir temp;
    AuditTrail trail{temp / "QRVAudit.txt"};
};

TEST_F(AuditCommand, VerifySaysWholeOrNamesTheBrokenLine) {
    const auto whole = RunTool(temp.path(), {"audit", "--verify"});
    EXPECT_EQ(whole.status, 0);
    EXPECT_NE(whole.out.find("the trail is whole: 4 lines"), std::string::npos) << whole.out;

    std::string bytes = testing::ReadBytes(trail.Path());
    bytes.replace(bytes.find("\t3\t4\t"), 5, "\t3\t9\t");
    ASSERT_TRUE(SetReadOnly(trail.Path(), false));
    ASSERT_EQ(WriteFileAtomically(trail.Path(), bytes), kFileOk);
    const auto broken = RunTool(temp.path(), {"audit", "--verify"});
    EXPECT_EQ(broken.status, 4);
    EXPECT_NE(broken.out.find("line 3 was altered"), std::string::npos) << broken.out;
}

TEST_F(AuditCommand, ListsTheLinesOfTheDaysAsked) {
    const auto listed =
        RunTool(temp.path(), {"audit", "--from", "2026-05-02", "--to", "2026-05-03"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out,
              "2026-05-02 08:00:00  anna  probe 0000000A1B2C Fridge: AlarmHigh: 2 -> 3\n"
              "2026-05-03 08:00:00  anna  probe 0000000A1B2C Fridge: AlarmHigh: 3 -> 4\n");
    EXPECT_EQ(RunTool(temp.path(), {"audit", "--from", "2026-06-01"}).status, 1);
}

TEST_F(AuditCommand, RefusesBadDatesMixedOptionsAndAMissingTrail) {
    EXPECT_EQ(RunTool(temp.path(), {"audit", "--from", "2026-02-30"}).status, 2);
    EXPECT_EQ(RunTool(temp.path(), {"audit", "--verify", "--from", "2026-05-01"}).status, 2);
    EXPECT_EQ(RunTool(temp.path(), {"audit", "--pdf"}).status, 2);
    EXPECT_EQ(RunTool(temp.path() / "elsewhere", {"audit", "--verify"}).status, 1);
}

}  // namespace
}  // namespace qrv::records
