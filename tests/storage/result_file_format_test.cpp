#include "storage/result_file_format.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <cstdlib>

#include "storage/result_file_text.h"

namespace qrv {
namespace {

RomCode SerialRom(int family) {
    // Serial bytes 0x2C, 0x1B, 0x0A, 0, 0, 0 in elements 1..6, CRC last.
    return {static_cast<std::int16_t>(family), 0x2C, 0x1B, 0x0A, 0, 0, 0, 0x77};
}

TEST(ProbeKey, TypeCharacterReplacesTheHighDigitOfTheSerial) {
    EXPECT_EQ(KeyText(MakeProbeKey(SerialRom(0x28), kTypeTemperature)), "0000000A1B2C");
    EXPECT_EQ(KeyText(MakeProbeKey(SerialRom(0x26), kTypeHumidity)), "1000000A1B2C");
    EXPECT_EQ(KeyText(MakeProbeKey(SerialRom(0x12), kTypeSwitch)), "2000000A1B2C");
    EXPECT_EQ(KeyText(MakeProbeKey(SerialRom(0x99), kTypeUnknown)),
              "\xE7"
              "000000A1B2C");
    const RomCode high{0x28, 0x01, 0x02, 0x03, 0x04, 0x05, 0xF6, 0x00};
    EXPECT_EQ(KeyText(MakeProbeKey(high, kTypeTemperature)),
              "06050403020"
              "1");
}

TEST(ResultFileWriter, HeaderAndBlockAreByteExact) {
    std::string bytes = FormatResultHeader("2026-12-06");
    const std::vector<ProbeLineData> probes{
        {MakeProbeKey(SerialRom(0x28), kTypeTemperature), 21.46,
         "Koelcel \xB0"
         "1"},
        {MakeProbeKey(SerialRom(0x26), kTypeHumidity), 100.0, "Kas"},
        {MakeProbeKey(SerialRom(0x12), kTypeSwitch), -5.0, "Deur met spaties"},
        {MakeProbeKey(SerialRom(0x28), kTypeTemperature), kNoReadingMarker, ""},
    };
    AppendSampleBlock(bytes, 14, 30, probes);
    EXPECT_EQ(bytes,
              "=========================================\r\n"
              "QRVNL Qrd FILE Vs 1.10                   \r\n"
              "Quorvanel result file, written by station\r\n"
              "=========================================\r\n"
              "2026-12-06\r\n"
              "14:30  0004\r\n"
              "0000000A1B2C    21.5  Koelcel \xB0"
              "1\r\n"
              "1000000A1B2C   100.0  Kas\r\n"
              "2000000A1B2C    -5.0  Deur met spaties\r\n"
              "0000000A1B2C  -300.0  \r\n");
}

TEST(ResultFileWriter, ANameEndingLikeABlockHeaderStaysAName) {
    std::string bytes;
    const KeyChars key = MakeProbeKey(SerialRom(0x28), kTypeTemperature);
    const std::vector<ProbeLineData> probes{{key, 4.0, "Kamer 12:00  0001"},
                                            {key, 5.0, "Kamer 12:00  01"}};
    AppendSampleBlock(bytes, 9, 0, probes);
    EXPECT_EQ(bytes,
              "09:00  0002\r\n"
              "0000000A1B2C     4.0  Kamer 12:00  0001 \r\n"
              "0000000A1B2C     5.0  Kamer 12:00  01\r\n");
}

TEST(ResultFileWriter, EmptyTableAndOversizedValuesKeepTheLineShape) {
    std::string bytes;
    AppendSampleBlock(bytes, 0, 5, {});
    EXPECT_EQ(bytes, "00:05  0000\r\n");

    bytes.clear();
    const KeyChars key = MakeProbeKey(SerialRom(0x28), kTypeTemperature);
    const std::vector<ProbeLineData> wild{{key, 12345.6, "A"}, {key, -1000.0, "B"}};
    AppendSampleBlock(bytes, 9, 0, wild);
    EXPECT_EQ(bytes,
              "09:00  0002\r\n"
              "0000000A1B2C  -300.0  A\r\n"
              "0000000A1B2C  -300.0  B\r\n");
}

TEST(ResultFileParser, SampleHeaderShape) {
    const auto header = ParseSampleHeader("14:30  0005");
    ASSERT_TRUE(header);
    EXPECT_EQ(header->minutes, 870);
    EXPECT_EQ(header->count, 5);
    EXPECT_EQ(header->time, "14:30");
    EXPECT_EQ(ParseSampleHeader("23:59  0100")->minutes, 1439);
    EXPECT_EQ(ParseSampleHeader("00:00  12")->count, 12);

    for (std::string_view bad :
         {"24:00  0001", "12:60  0001", "14:3  0005", "14:30 0005", "14-30  0005", "14:30  abcd",
          "14:30  -001", "", "14:30  ", "0000000A1B2C    21.5  Koelcel",
          // A count followed by anything else: a header cut short with the
          // next one behind it, or more digits than a count has.
          "10:02  010:10  0002", "14:30  00051", "14:30  0005 ", "14:30  0005x"}) {
        EXPECT_FALSE(ParseSampleHeader(bad)) << bad;
    }
}

TEST(ResultFileWriter, AnUnfinishedLastLineIsEndedFirst) {
    EXPECT_EQ(LineEndToFinish(""), "");
    EXPECT_EQ(LineEndToFinish("10:00  0001\r\n"), "");
    EXPECT_EQ(LineEndToFinish("10:00  0001\n"), "");
    EXPECT_EQ(LineEndToFinish("10:00  0001\r"), "\n");
    EXPECT_EQ(LineEndToFinish("0000000A1B2C    21"), "\r\n");
}

TEST(ResultFileParser, ProbeLineShape) {
    const auto line = ParseProbeLine("1000000A1B2C    55.2  Kas met  spaties ");
    ASSERT_TRUE(line);
    EXPECT_EQ(KeyText(line->key), "1000000A1B2C");
    EXPECT_EQ(line->value, 55.2);
    EXPECT_EQ(line->name, "Kas met  spaties ");

    // Without a name, with or without the blanks after the value.
    EXPECT_EQ(ParseProbeLine("0000000A1B2C  -300.0  ")->name, "");
    EXPECT_EQ(ParseProbeLine("0000000A1B2C  -300.0")->value, -300.0);
    EXPECT_TRUE(
        ParseProbeLine("\xE7"
                       "000000A1B2C     1.0  Onbekend"));

    for (std::string_view bad : {
             "0000000A1B2C  21.5",       // too short
             "0000000G1B2C    21.5  X",  // not hex
             " 000000A1B2C    21.5  X",  // blank type character
             "0000000A1B2C-   21.5  X",  // no blanks after the key
             "0000000A1B2C    21.5X X",  // no blanks after the value
             "0000000A1B2C   21.5x  X",  // value field not a number
             "0000000A1B2C          X",  // empty value field
             "0000000A1B2C  2 1.5  X",   // blank inside the value
             "14:30  0005",              // a sample header
         }) {
        EXPECT_FALSE(ParseProbeLine(bad)) << bad;
    }
}

TEST(ResultFileParser, AKeyIsItsTypeCharacterAndElevenHexDigits) {
    // Every byte at every place of the key's serial, against what a hex digit is.
    const std::string_view hexDigits = "0123456789ABCDEFabcdef";
    for (std::size_t place = 1; place < kProbeKeyLength; ++place) {
        for (int byte = 0; byte < 256; ++byte) {
            std::string line = "0000000A1B2C    21.5  Naam";
            line[place] = static_cast<char>(byte);
            const bool hex = hexDigits.find(static_cast<char>(byte)) != std::string_view::npos;
            const auto parsed = ParseProbeLine(line);
            ASSERT_EQ(parsed.has_value(), hex) << "byte " << byte << " at " << place;
            if (hex) {
                EXPECT_EQ(KeyText(parsed->key), line.substr(0, kProbeKeyLength));
                EXPECT_EQ(parsed->value, 21.5);
            }
        }
    }
}

TEST(ResultFileParser, ValueFieldMatchesTheDecimalValueExactly) {
    EXPECT_EQ(*ParseValueField("  21.5"), 21.5);
    EXPECT_EQ(*ParseValueField("  -0.1"), -0.1);
    EXPECT_EQ(*ParseValueField("-300.0"), -300.0);
    EXPECT_EQ(*ParseValueField(" 100.0"), 100.0);
    EXPECT_EQ(*ParseValueField("    .5"), 0.5);
    EXPECT_EQ(*ParseValueField("    17"), 17.0);
    EXPECT_EQ(*ParseValueField("12.345"), 12.345);
    for (std::string_view bad : {"", "      ", "   -  ", "1.2.3", " 1e2  ", "+21.5", "21.5 ",
                                 "   inf", "   nan", "  0x1A", "  --.5", " 1 2.5"}) {
        EXPECT_FALSE(ParseValueField(bad)) << bad;
    }
    EXPECT_EQ(*ParseValueField("   -.5"), -0.5);
    EXPECT_EQ(*ParseValueField("    5."), 5.0);
}

TEST(ResultFileParser, EveryValueTheStoreCanWriteReadsAsTheDecimalItStandsFor) {
    // The store's "%6.1f" from -999.9 to 9999.9: each must give the double
    // nearest its decimal, as strtod does, whichever way the reader takes.
    for (int tenths = -9999; tenths <= 99999; ++tenths) {
        const std::string field = fmt::format("{:6.1f}", tenths / 10.0);
        ASSERT_EQ(field.size(), 6U);
        const std::optional<double> value = ParseValueField(field);
        ASSERT_TRUE(value) << field;
        ASSERT_EQ(*value, std::strtod(field.c_str(), nullptr)) << field;
    }
}

TEST(ResultFileParser, TimeTextToMinutes) {
    EXPECT_EQ(ConvertTijdStringNaarMinuten("14:30:59"), 870);
    EXPECT_EQ(ConvertTijdStringNaarMinuten("00:00"), 0);
    EXPECT_EQ(ConvertTijdStringNaarMinuten("23:59"), 1439);
    EXPECT_EQ(ConvertTijdStringNaarMinuten("9:30"), -1);
}

TEST(ResultFileParser, TypeCharactersGiveTypeAndUnits) {
    EXPECT_EQ(ProbeTypeOfTypeCharacter('0'), kTypeTemperature);
    EXPECT_EQ(ProbeTypeOfTypeCharacter('1'), kTypeHumidity);
    EXPECT_EQ(ProbeTypeOfTypeCharacter('2'), kTypeSwitch);
    EXPECT_EQ(ProbeTypeOfTypeCharacter('\xE7'), kTypeUnknown);
    EXPECT_EQ(UnitsOfTypeCharacter('0'), "\u00B0C");
    EXPECT_EQ(UnitsOfTypeCharacter('1'), " %");
    EXPECT_EQ(UnitsOfTypeCharacter('2'), "  ");
    EXPECT_EQ(UnitsOfTypeCharacter('\xE7'), "");
}

}  // namespace
}  // namespace qrv
