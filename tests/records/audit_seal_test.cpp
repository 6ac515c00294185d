// The trail's keyed seals: an old plainly sealed trail still verifies and
// goes on with keyed lines; an edit re-chained with plain SHA-256 is found
// with the key, and without it the check says what it cannot know.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "change_author.h"
#include "records/audit_trail.h"
#include "records/sha256.h"
#include "runtime/text_file.h"
#include "support/run_report_tool.h"
#include "support/temp_dir.h"

namespace qrv::records {
namespace {

using testing::RunTool;

AuditEntry Entry(int minute, std::string what, std::string newValue) {
    return AuditEntry{{2026, 5, 4, 9, minute, 0, 0}, "anna", std::move(what), "",
                      std::move(newValue),           {}};
}

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    LineReader reader(bytes);
    while (const auto line = reader.ReadLine(kNoSizeLimit)) {
        lines.emplace_back(*line);
    }
    return lines;
}

// What someone with write access but no key does: change a line's value and
// recompute every seal and link from there on with plain SHA-256.
std::string EditedAndRechained(const std::string& bytes, std::size_t edited) {
    std::vector<std::string> lines = Lines(bytes);
    std::string previous = edited == 0 ? std::string(kTrailStart) : Sha256Hex(lines[edited - 1]);
    for (std::size_t i = edited; i < lines.size(); ++i) {
        auto parsed = ParseAuditLine(lines[i]);
        EXPECT_TRUE(parsed);
        if (i == edited) {
            parsed->entry.newValue = "4.0";
        }
        lines[i] = FormatAuditLine(parsed->entry, previous);
        previous = Sha256Hex(lines[i]);
    }
    return JoinCrLf(lines);
}

void Overwrite(const std::filesystem::path& path, const std::string& bytes) {
    ASSERT_TRUE(SetReadOnly(path, false));
    ASSERT_EQ(WriteFileAtomically(path, bytes), kFileOk);
}

class KeyedTrail : public ::testing::Test {
  protected:
    // A trail of three plain lines from before the key, as older stations
    // wrote it.
    void WriteOldTrail() {
        std::string previous{kTrailStart};
        std::vector<std::string> lines;
        for (int i = 0; i < 3; ++i) {
            lines.push_back(
                FormatAuditLine(Entry(i, "Fridge: AlarmHigh", std::to_string(8 + i)), previous));
            previous = Sha256Hex(lines.back());
        }
        testing::WriteBytes(trail.Path(), JoinCrLf(lines));
    }
    TrailKeyFile Key() const { return ReadTrailKey(temp / "QRVAudit.key"); }
    std::string Bytes() const { return testing::ReadBytes(trail.Path()); }

    testing::TempDir temp;
    AuditTrail trail{temp / "QRVAudit.txt"};
};

TEST_F(KeyedTrail, AnOldTrailVerifiesAsBeforeAndGoesOnWithKeyedSeals) {
    WriteOldTrail();
    const std::string before = Bytes();
    const auto old = RunTool(temp.path(), {"audit", "--verify"});
    EXPECT_EQ(old.status, 0) << old.out;
    EXPECT_NE(old.out.find("the trail is whole: 3 lines"), std::string::npos) << old.out;
    EXPECT_FALSE(std::filesystem::exists(temp / "QRVAudit.key")) << "checking changes nothing";

    ASSERT_TRUE(trail.Record(Entry(5, "Fridge: AlarmHigh", "12")));
    const TrailKeyFile key = Key();
    ASSERT_TRUE(key.key) << key.problem;
    EXPECT_EQ(key.key->plainLines, 3);
    struct stat st {};
    ASSERT_EQ(::stat((temp / "QRVAudit.key").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "readable by the station's user alone";

    const std::vector<std::string> lines = Lines(Bytes());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(Bytes().starts_with(before)) << "old lines stay as they were";
    EXPECT_NE(lines[3].find("\thmac-sha256:"), std::string::npos) << lines[3];
    const auto whole = RunTool(temp.path(), {"audit", "--verify"});
    EXPECT_EQ(whole.status, 0) << whole.out;
    EXPECT_NE(whole.out.find("whole: 4 lines"), std::string::npos) << whole.out;
    EXPECT_EQ(TrailHeadNow(trail.Path()),
              "QRVAudit.txt: 4 lines, last line SHA-256 " + Sha256Hex(lines[3]));
    const std::string keyText = testing::ReadBytes(temp / "QRVAudit.key");
    const std::string keyHex = keyText.substr(keyText.find("key ") + 4, 64);
    EXPECT_EQ(whole.out.find(keyHex), std::string::npos) << "the key is never printed";
}

TEST_F(KeyedTrail, AnEditRechainedWithPlainSealsIsFoundWithAndWithoutTheKey) {
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(trail.Record(Entry(i, "Fridge: value", std::to_string(i))));
    }
    const std::string sound = Bytes();

    // All lines recomputed: only the key tells.
    Overwrite(trail.Path(), EditedAndRechained(sound, 0));
    const TrailCheck all = VerifyAuditTrail(Bytes(), Key());
    EXPECT_EQ(all.brokenLine, 1);
    EXPECT_NE(all.reason.find("plain seal"), std::string::npos) << all.reason;
    EXPECT_EQ(RunTool(temp.path(), {"audit", "--verify"}).status, 4);

    // From the third line on: the keyed lines before it give it away even
    // to a check without the key.
    Overwrite(trail.Path(), EditedAndRechained(sound, 2));
    EXPECT_EQ(VerifyAuditTrail(Bytes(), Key()).brokenLine, 3);
    std::filesystem::rename(temp / "QRVAudit.key", temp / "elsewhere.key");
    const auto noKey = RunTool(temp.path(), {"audit", "--verify"});
    EXPECT_EQ(noKey.status, 4) << noKey.out;
    EXPECT_NE(noKey.out.find("line 3 has a plain seal after keyed ones"), std::string::npos)
        << noKey.out;

    // The sound trail without its key: the chain is checked, the seals not.
    Overwrite(trail.Path(), sound);
    const auto unchecked = RunTool(temp.path(), {"audit", "--verify"});
    EXPECT_EQ(unchecked.status, 5) << unchecked.out;
    EXPECT_NE(unchecked.out.find("the seals cannot be checked (the station key is missing)"),
              std::string::npos)
        << unchecked.out;
    EXPECT_EQ(unchecked.out.find("whole"), std::string::npos) << unchecked.out;

    // Nor does a writer go on without it: a new key could not vouch for the
    // lines sealed with the old one.
    EXPECT_FALSE(trail.Record(Entry(9, "Fridge: value", "9")));
    EXPECT_NE(trail.LastProblem().find("missing"), std::string::npos) << trail.LastProblem();
    EXPECT_EQ(Bytes(), sound);
}

TEST_F(KeyedTrail, LinesCutOffBelowWhatTheKeyRemembersAreFound) {
    WriteOldTrail();
    ASSERT_TRUE(trail.Record(Entry(5, "note", "x")));
    std::vector<std::string> lines = Lines(Bytes());
    lines.resize(2);
    Overwrite(trail.Path(), JoinCrLf(lines));
    const TrailCheck cut = VerifyAuditTrail(Bytes(), Key());
    EXPECT_EQ(cut.brokenLine, 3);
    EXPECT_NE(cut.reason.find("held 3 lines when its station key was made"), std::string::npos)
        << cut.reason;

    // A damaged key file is no key: nothing is written with it.
    testing::WriteBytes(temp / "QRVAudit.key", "key 12\r\n");
    EXPECT_EQ(Key().state, TrailKeyState::kUnreadable);
    EXPECT_FALSE(trail.Record(Entry(6, "note", "y")));
}

TEST_F(KeyedTrail, TheListingMarksAlteredLinesAndShowsControlCharactersAsCodes) {
    ASSERT_TRUE(trail.Record(Entry(0, "Fridge: value", "1")));
    AuditEntry withReason = Entry(1, "Fridge: value", "2");
    withReason.reason = "sensor swapped";
    ASSERT_TRUE(trail.Record(withReason));
    // An older trail may hold a forged-looking text; it is listed as codes.
    AuditEntry forged = Entry(2, "note", "ok\r\n2026-05-04 09:03:00  anna  fake entry");
    ASSERT_TRUE(trail.Record(forged));
    const auto listed = RunTool(temp.path(), {"audit"});
    EXPECT_EQ(listed.status, 0) << listed.out;
    EXPECT_NE(listed.out.find("ok\\x0D\\x0A2026-05-04"), std::string::npos) << listed.out;
    EXPECT_EQ(Lines(listed.out).size(), 3u) << listed.out;

    std::string bytes = Bytes();
    bytes.replace(bytes.find("\t1\t"), 3, "\t7\t");
    Overwrite(trail.Path(), bytes);
    const auto altered = RunTool(temp.path(), {"audit"});
    EXPECT_EQ(altered.status, 4);
    const std::vector<std::string> rows = Lines(altered.out);
    ASSERT_GE(rows.size(), 3u) << altered.out;
    EXPECT_TRUE(rows[0].starts_with("ALTERED  2026-05-04 09:00:00  anna  Fridge: value: - -> 7"))
        << rows[0];
    EXPECT_NE(rows[0].find("line 1 was altered"), std::string::npos) << rows[0];
    EXPECT_EQ(rows[1],
              "2026-05-04 09:01:00  anna  Fridge: value: - -> 2  (reason: sensor swapped)");
}

TEST(TrailHead, CountsItsLinesInWords) {
    TrailCheck check;
    check.lines = 1;
    check.lastHash = "ab12";
    EXPECT_EQ(TrailHeadText("/station/QRVAudit.txt", check),
              "QRVAudit.txt: 1 line, last line SHA-256 ab12");
    check.lines = 0;
    EXPECT_EQ(TrailHeadText("/station/QRVAudit.txt", check),
              "QRVAudit.txt: 0 lines, last line SHA-256 ab12");
}

TEST(ChangeAuthor, TheClaimedNameStandsBesideTheAccountAndUncleanTextsAreRefused) {
    EXPECT_EQ(report::RecordedWho("", "qrv", nullptr), "qrv");
    EXPECT_EQ(report::RecordedWho("anna", "qrv", nullptr), "anna (account qrv)");
    EXPECT_EQ(report::RecordedWho("anna", "root", "piet"), "anna (account root, sudo by piet)");
    EXPECT_EQ(report::RecordedWho("", "root", "pi\tet"), "root (sudo by pi\\x09et)");

    const std::vector<std::string_view> args{"--points", "--who",  "anna",
                                             "--reason", "yearly", "1"};
    report::ChangeAuthor author;
    std::string problem;
    const auto rest = report::TakeAuthor(args, author, problem);
    ASSERT_TRUE(rest) << problem;
    EXPECT_EQ(*rest, (std::vector<std::string_view>{"--points", "1"}));
    EXPECT_EQ(author.claimed, "anna");
    EXPECT_EQ(author.reason, "yearly");
    for (const std::string_view bad : {"a\tb", "a\nb", "a\rb", "a\x7f", "a\xc2\x85"}) {
        const std::vector<std::string_view> unclean{"--reason", bad};
        EXPECT_FALSE(report::TakeAuthor(unclean, author, problem)) << bad;
    }
    const std::vector<std::string_view> missing{"--who"};
    EXPECT_FALSE(report::TakeAuthor(missing, author, problem));
}

}  // namespace
}  // namespace qrv::records
