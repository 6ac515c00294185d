#include "text/texts.h"

#include <algorithm>
#include <stdexcept>

#include <fmt/format.h>

#include "text/tables/alarm_texts.h"
#include "text/tables/calibration_texts.h"
#include "text/tables/installation_texts.h"
#include "text/tables/main_menu_texts.h"
#include "text/tables/network_texts.h"
#include "text/tables/notify_texts.h"
#include "text/tables/printout_texts.h"
#include "text/tables/records_texts.h"
#include "text/tables/report_texts.h"
#include "text/tables/sheet_texts.h"
#include "text/tables/shell_texts.h"
#include "text/tables/station_file_texts.h"
#include "text/tables/time_alarm_editor_texts.h"
#include "text/tables/view_and_editor_texts.h"
#include "text/tables/window_texts.h"

namespace qrv::text {
namespace {

constexpr std::string_view kMark = "__";

template <std::size_t... N>
constexpr auto Join(const std::array<TextTable, N>&... parts) {
    std::array<TextTable, (N + ...)> all{};
    auto next = all.begin();
    ((next = std::copy(parts.begin(), parts.end(), next)), ...);
    return all;
}

constexpr auto kCatalogue =
    Join(tables::kShellTexts, tables::kNetworkTexts, tables::kAlarmTexts, tables::kMainMenuTexts,
         tables::kViewAndEditorTexts, tables::kReportTexts, tables::kInstallationTexts,
         tables::kStationFileTexts, tables::kNotifyTexts, tables::kRecordsTexts,
         tables::kCalibrationTexts, tables::kSheetTexts, tables::kTimeAlarmEditorTexts,
         tables::kWindowTexts, tables::kPrintoutTexts);
static_assert(kCatalogue.size() == kKeyCount);

struct GroupRun {
    Key first;
    int size;
};

constexpr GroupRun RunOf(Group group) {
    switch (group) {
        case Group::GraphStyles:
            return {Key::TXT_SYS_STYLE_BAR, 4};
        case Group::Weekdays:
            return {Key::TXT_Monday, 7};
        case Group::ProbeEditorLabels:
            return {Key::TXT_PROBE_NAAM, 5};
        case Group::AlarmEnableState:
            return {Key::TXT_LIST_PROBE_ALARM_ENA_STAT, 2};
        case Group::AlarmBanner:
            return {Key::TXT_ALARM_INTERFACE, 2};
    }
    throw std::out_of_range("unknown text group");
}

bool MarkAt(std::string_view text, std::size_t at) {
    return text.substr(at, kMark.size()) == kMark;
}

void AppendForQt(std::string& qt, char c) {
    if (c == '&') {
        qt += "&&";
    } else {
        qt += c;
    }
}

}  // namespace

std::span<const TextTable> Catalogue() {
    return kCatalogue;
}

std::string_view Raw(Key key, int taal) {
    const auto index = static_cast<std::size_t>(key);
    if (index >= kCatalogue.size()) {
        return {};
    }
    const int language = (taal >= 0 && taal < kLanguageCount) ? taal : 0;
    return kCatalogue[index].texts[static_cast<std::size_t>(language)];
}

std::string Plain(Key key, int taal) {
    return StripAcceleratorMarks(Raw(key, taal));
}

std::string Accel(Key key, int taal) {
    return ToQtAccelerators(Raw(key, taal));
}

std::string StripAcceleratorMarks(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        if (MarkAt(text, at)) {
            at += kMark.size();
            // The marked character is taken as it is, even when it is an underscore.
            if (at < text.size()) {
                plain += text[at++];
            }
            continue;
        }
        plain += text[at++];
    }
    return plain;
}

std::string ToQtAccelerators(std::string_view text) {
    std::string qt;
    qt.reserve(text.size() + 2);
    std::size_t at = 0;
    while (at < text.size()) {
        if (MarkAt(text, at)) {
            at += kMark.size();
            if (at < text.size()) {
                qt += '&';
                AppendForQt(qt, text[at++]);
            }
            continue;
        }
        AppendForQt(qt, text[at++]);
    }
    return qt;
}

std::optional<Key> FindKey(std::string_view name) {
    const auto found = std::find_if(kCatalogue.begin(), kCatalogue.end(),
                                    [name](const TextTable& table) { return table.name == name; });
    if (found == kCatalogue.end()) {
        return std::nullopt;
    }
    return static_cast<Key>(found - kCatalogue.begin());
}

int GroupSize(Group group) {
    return RunOf(group).size;
}

Key GroupKey(Group group, int item) {
    const GroupRun run = RunOf(group);
    if (item < 0 || item >= run.size) {
        throw std::out_of_range(
            fmt::format("text group item {} outside 0..{}", item, run.size - 1));
    }
    return static_cast<Key>(static_cast<int>(run.first) + item);
}

std::string_view GroupText(Group group, int item, int taal) {
    return Raw(GroupKey(group, item), taal);
}

std::string MainPanelTitle(int taal) {
    return fmt::format("{}{:>5}", Raw(Key::QRVNL_MAIN_MENU_TEXT, taal), kProgramVersion);
}

}  // namespace qrv::text
