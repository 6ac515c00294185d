// The audit trail: lines read back as written, and every hand edit of a copy
// (a changed value, a removed line, a swapped pair, a cut-off end) found at
// the line where the chain breaks.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "records/audit_trail.h"
#include "records/sha256.h"
#include "runtime/text_file.h"
#include "support/temp_dir.h"

namespace qrv::records {
namespace {

AuditEntry Entry(int minute, std::string what, std::string oldValue, std::string newValue) {
    return AuditEntry{{2026, 3, 14, 9, minute, 30, 0},
                      "anna",
                      std::move(what),
                      std::move(oldValue),
                      std::move(newValue),
                      {}};
}

std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    LineReader reader(bytes);
    while (const auto line = reader.ReadLine(kNoSizeLimit)) {
        lines.emplace_back(*line);
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    return JoinCrLf(lines);
}

class AuditTrailFile : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < 6; ++i) {
            ASSERT_TRUE(trail.Record(
                Entry(i, "Fridge 1: AlarmHigh", std::to_string(8 + i), std::to_string(9 + i))));
        }
        bytes = testing::ReadBytes(trail.Path());
        lines = SplitLines(bytes);
        ASSERT_EQ(lines.size(), 6u);
    }

    TrailKeyFile Key() const { return ReadTrailKey(TrailKeyPath(trail.Path())); }

    testing::TempDir temp;
    AuditTrail trail{temp / "QRVAudit.txt"};
    std::string bytes;
    std::vector<std::string> lines;
};

TEST(AuditLine, TextsWithSeparatorsAndLineEndsReadBackUnchanged) {
    const AuditEntry entry{{2026, 12, 31, 23, 59, 58, 0}, "jan\tde vries", "note \\ path",
                           "line one\r\nline two",        "Kühlraum 4 °C", {}};
    const std::string line = FormatAuditLine(entry, kTrailStart);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    const auto parsed = ParseAuditLine(line);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->entry, entry);
    EXPECT_TRUE(parsed->sealed);
    EXPECT_EQ(parsed->previousHash, kTrailStart);
}

TEST(AuditLine, Sha256OfKnownTexts) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST_F(AuditTrailFile, SoundTrailIsWholeAndChainsEachLineToTheOneBefore) {
    const TrailCheck check = VerifyAuditTrail(bytes, Key());
    EXPECT_TRUE(check.Whole()) << check.reason;
    EXPECT_EQ(check.lines, 6);
    EXPECT_EQ(check.lastHash, Sha256Hex(lines.back()));
    EXPECT_TRUE(bytes.ends_with("\r\n"));
    EXPECT_TRUE(IsReadOnly(trail.Path()));

    const auto read = ReadAuditLines(bytes);
    ASSERT_EQ(read.size(), 6u);
    EXPECT_EQ(read[0].previousHash, kTrailStart);
    EXPECT_EQ(read[3].previousHash, Sha256Hex(lines[2]));
    EXPECT_EQ(read[5].entry, Entry(5, "Fridge 1: AlarmHigh", "13", "14"));
}

TEST_F(AuditTrailFile, ChangedValueIsFoundAtItsLine) {
    std::string changed = lines[2];
    changed.replace(changed.find("\t10\t"), 4, "\t12\t");
    lines[2] = changed;
    const TrailCheck check = VerifyAuditTrail(Joined(lines), Key());
    EXPECT_EQ(check.brokenLine, 3);
    EXPECT_NE(check.reason.find("altered"), std::string::npos) << check.reason;
}

TEST_F(AuditTrailFile, ResealedChangeIsFoundAtTheNextLine) {
    // Someone who recomputes the changed line's own seal with the key still
    // breaks the chain: the next line holds the hash of the line as it was.
    const TrailKeyFile key = Key();
    ASSERT_TRUE(key.key);
    auto parsed = ParseAuditLine(lines[2], &*key.key);
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(parsed->keyed && parsed->sealed);
    parsed->entry.newValue = "25";
    lines[2] = FormatAuditLine(parsed->entry, parsed->previousHash, &*key.key);
    const TrailCheck check = VerifyAuditTrail(Joined(lines), key);
    EXPECT_EQ(check.brokenLine, 4);
    EXPECT_NE(check.reason.find("does not follow line 3"), std::string::npos) << check.reason;
}

TEST_F(AuditTrailFile, RemovedLineIsFoundWhereTheGapIs) {
    lines.erase(lines.begin() + 3);
    EXPECT_EQ(VerifyAuditTrail(Joined(lines)).brokenLine, 4);

    lines.erase(lines.begin());
    const TrailCheck first = VerifyAuditTrail(Joined(lines));
    EXPECT_EQ(first.brokenLine, 1);
    EXPECT_NE(first.reason.find("does not start the trail"), std::string::npos) << first.reason;
}

TEST_F(AuditTrailFile, SwappedPairIsFoundAtTheFirstOfThem) {
    std::swap(lines[1], lines[2]);
    const TrailCheck check = VerifyAuditTrail(Joined(lines));
    EXPECT_EQ(check.brokenLine, 2);
    EXPECT_NE(check.reason.find("does not follow line 1"), std::string::npos) << check.reason;
}

TEST_F(AuditTrailFile, TruncatedLastLineIsNamed) {
    const std::string cut = bytes.substr(0, bytes.size() - 20);
    const TrailCheck check = VerifyAuditTrail(cut);
    EXPECT_EQ(check.brokenLine, 6);
    EXPECT_NE(check.reason.find("cut short"), std::string::npos) << check.reason;

    // Cut just before its line end: the seal is whole, the end is not.
    EXPECT_EQ(VerifyAuditTrail(bytes.substr(0, bytes.size() - 2)).brokenLine, 6);

    // Line ends converted to CR alone are named as such, not as a cut.
    std::string crOnly = bytes;
    for (std::size_t at = crOnly.find("\r\n"); at != std::string::npos;
         at = crOnly.find("\r\n", at)) {
        crOnly.erase(at + 1, 1);
    }
    const TrailCheck converted = VerifyAuditTrail(crOnly);
    EXPECT_EQ(converted.brokenLine, 1);
    EXPECT_NE(converted.reason.find("ends with a CR alone"), std::string::npos) << converted.reason;
}

TEST_F(AuditTrailFile, LineAfterACrashStartsOnItsOwnLineAndChainsToTheFragment) {
    // A crash that left half a line behind (the writer never does so itself).
    const std::string fragment = lines[5].substr(0, 40);
    ASSERT_TRUE(SetReadOnly(trail.Path(), false));
    ASSERT_EQ(
        WriteFileAtomically(trail.Path(), Joined({lines.begin(), lines.begin() + 5}) + fragment),
        kFileOk);
    ASSERT_TRUE(trail.Record(Entry(9, "acquisition started", "", "")));

    const std::string after = testing::ReadBytes(trail.Path());
    const auto read = SplitLines(after);
    ASSERT_EQ(read.size(), 7u);
    EXPECT_EQ(read[5], fragment);
    const TrailCheck check = VerifyAuditTrail(after);
    EXPECT_EQ(check.brokenLine, 6) << "the torn line stays visible";
    const auto last = ParseAuditLine(read[6]);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->previousHash, Sha256Hex(fragment));
}

TEST_F(AuditTrailFile, LineLongerThanTheTailChunkStillChains) {
    ASSERT_TRUE(trail.Record(Entry(7, "note", "", std::string(100 * 1024, 'x'))));
    ASSERT_TRUE(trail.Record(Entry(8, "note", "", "short")));
    const TrailCheck check = VerifyAuditTrail(testing::ReadBytes(trail.Path()), Key());
    EXPECT_TRUE(check.Whole()) << check.reason;
    EXPECT_EQ(check.lines, 8);
}

TEST(AuditTrailWrite, UnwritableDirectoryIsReportedNotHidden) {
    testing::TempDir temp;
    AuditTrail trail{temp / "missing" / "QRVAudit.txt"};
    EXPECT_FALSE(trail.Record(Entry(0, "installation", "", "3 probes")));
}

}  // namespace
}  // namespace qrv::records
