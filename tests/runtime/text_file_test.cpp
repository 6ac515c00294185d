#include "runtime/text_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(Encoding, CharactersTheFilesCannotHoldAreNamedOnceEach) {
    EXPECT_EQ(CharactersNotInCp1252("Freezer -18 \u00b0C \u20ac \u0152"), "")
        << "\u00b0, \u20ac and \u0152 are in Windows-1252";
    EXPECT_EQ(CharactersNotInCp1252("\u0141\u00f3d\u017a \u03a9 \u2713 \u51b7 \u0141"),
              "\u0141 \u017a \u03a9 \u2713 \u51b7");
    EXPECT_EQ(CharactersNotInCp1252("a\xFF"
                                    "b"),
              "\uFFFD")
        << "a byte that is no UTF-8";
    EXPECT_EQ(CharactersNotInCp1252("\U0001F600"), "\U0001F600");
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

TEST(TextFiles, WhatIsNoRegularFileOrTooLargeIsRefusedWithItsReasonAndNeverWaitedFor) {
    TempDir dir;
    const auto folder = dir / "QRVNL.INI";
    ASSERT_TRUE(MakeDirectories(folder));
    FileBytes read = ReadFileBytes(folder);
    EXPECT_EQ(read.result, kFileCannotOpenForReading);
    EXPECT_EQ(read.reason, "Is a directory");
    EXPECT_EQ(WhyUnreadable(folder), "Is a directory");

    // A pipe with no writer would block a plain read forever.
    const auto pipe = dir / "QRVNL.SNS";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    read = ReadFileBytes(pipe);
    EXPECT_EQ(read.result, kFileCannotOpenForReading);
    EXPECT_EQ(read.reason, "it is not a regular file");

    const auto file = dir / "network.json";
    ASSERT_EQ(WriteFileAtomically(file, std::string(40000, 'x')), kFileOk);
    read = ReadFileBytes(file, 40000);
    EXPECT_EQ(read.result, kFileOk);
    EXPECT_EQ(read.bytes.size(), 40000u) << "a file of exactly the limit is read whole";
    EXPECT_EQ(read.reason, "");
    read = ReadFileBytes(file, 39999);
    EXPECT_EQ(read.result, kFileCannotOpenForReading);
    EXPECT_EQ(read.reason, "it is larger than 39999 bytes");
    EXPECT_TRUE(read.bytes.empty());

    EXPECT_EQ(WhyUnreadable(file), "");
    EXPECT_EQ(WhyUnreadable(dir / "none.txt"), "") << "a missing file is no reading problem";
    EXPECT_EQ(ReadFileBytes(dir / "none" / "deeper.txt").result, kFileDoesNotExist);
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(file.c_str(), 0), 0);
        EXPECT_EQ(WhyUnreadable(file), "Permission denied");
    }
}

}  // namespace
}  // namespace qrv
