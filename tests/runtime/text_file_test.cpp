#include "runtime/text_file.h"

#include <gtest/gtest.h>

#include "runtime/encoding.h"
#include "support/temp_dir.h"

namespace qrv {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TEST(LineReader, AcceptsCrLfAndLfAndCutsLongLines) {
    LineReader reader("one\r\ntwo\nthree-is-long\r\n\r\nlast");
    EXPECT_EQ(reader.ReadLine(10), "one");
    EXPECT_EQ(reader.ReadLine(10), "two");
    EXPECT_EQ(reader.ReadLine(5), "three");  // the rest of the long line is discarded
    EXPECT_EQ(reader.ReadLine(10), "");
    EXPECT_EQ(reader.ReadLine(10), "last");
    EXPECT_EQ(reader.ReadLine(10), std::nullopt);
    EXPECT_EQ(reader.ReadLineOrEmpty(10), "");
}

TEST(LineReader, KeepsALoneCrInsideALine) {
    LineReader reader("a\rb\r\n");
    EXPECT_EQ(reader.ReadLine(80), "a\rb");
    EXPECT_TRUE(reader.AtEnd());
}

TEST(Encoding, DegreeSignIsOneByteInFiles) {
    EXPECT_EQ(Utf8ToCp1252("21.5 \u00B0C"),
              "21.5 \xB0"
              "C");
    EXPECT_EQ(Cp1252ToUtf8("\xB0"
                           "C \x80"),
              "\u00B0C \u20AC");
    EXPECT_EQ(Utf8ToCp1252("Fühler €"), "F\xFChler \x80");
}

TEST(Encoding, UnmappableAndInvalidBytesBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1252("a\u4E2Db"), "a?b");
    EXPECT_EQ(Utf8ToCp1252("a\xFF"
                           "b"),
              "a?b");
    EXPECT_EQ(Cp1252ToUtf8("a\x81"
                           "b"),
              "a?b");  // 0x81 is undefined in Windows-1252
}

TEST(Encoding, CharacterCountsAndCutsRespectUtf8) {
    EXPECT_EQ(Utf8Length("Kühlraum"), 8u);
    EXPECT_EQ(Utf8Left("Kühlraum", 2), "Kü");
    EXPECT_EQ(Utf8Left("ab", 5), "ab");
    EXPECT_EQ(BlankControlCharacters("a\r\nb\tc\x7f"), "a  b c ");
}

TEST(TextFiles, MissingFileAndAtomicRewrite) {
    TempDir dir;
    EXPECT_EQ(ReadFileBytes(dir / "none.txt").result, kFileDoesNotExist);

    const auto path = dir / "QRVNL.INI";
    ASSERT_EQ(WriteFileAtomically(path, "first\r\n"), kFileOk);
    ASSERT_EQ(WriteFileAtomically(path, "second\r\n"), kFileOk);
    EXPECT_EQ(ReadFileBytes(path).bytes, "second\r\n");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(TextFiles, FailedRewriteKeepsTheOldFile) {
    TempDir dir;
    EXPECT_EQ(WriteFileAtomically(dir / "missing-dir" / "x.txt", "data"),
              kFileCannotOpenForWriting);
    EXPECT_EQ(AppendToFile(dir / "missing-dir" / "x.txt", "data"), kFileCannotOpenForWriting);
}

TEST(TextFiles, AppendReadOnlyAndDirectories) {
    TempDir dir;
    const auto nested = dir / "QRVDATA/QRVDEMO";
    ASSERT_TRUE(MakeDirectories(nested));
    const auto path = nested / "log.txt";
    ASSERT_EQ(AppendToFile(path, "a\r\n"), kFileOk);
    ASSERT_EQ(AppendToFile(path, "b\r\n"), kFileOk);
    EXPECT_EQ(ReadBytes(path), "a\r\nb\r\n");

    ASSERT_TRUE(SetReadOnly(path, true));
    EXPECT_TRUE(IsReadOnly(path));
    ASSERT_TRUE(SetReadOnly(path, false));
    EXPECT_FALSE(IsReadOnly(path));
    EXPECT_EQ(JoinCrLf({"x", "", "y"}), "x\r\n\r\ny\r\n");
}

}  // namespace
}  // namespace qrv
