#include "app/shell/menu_items.h"

#include <algorithm>
#include <set>
#include <system_error>

#include "runtime/text_file.h"

namespace qrv::shell {

std::vector<int> AvailableComPorts(const PortMap& map) {
    std::vector<int> available;
    for (int com = 1; com <= 8; ++com) {
        const std::string name = map.NameOf(com);
        std::error_code error;
        if (IsSimulatorPortName(name) || std::filesystem::exists(name, error)) {
            available.push_back(com);
        }
    }
    return available;
}

std::vector<ProbeMenuItem> ProbeItems(const SensorTable& table) {
    std::vector<ProbeMenuItem> items;
    for (int index = 0; index <= table.GetMax1820Index(); ++index) {
        items.push_back({"__" + table.SensorArray[static_cast<std::size_t>(index)].Name, index});
    }
    return items;
}

namespace {

// The year of a day results file name "YYYY-....qrd", or 0.
int ResultFileYear(const std::filesystem::directory_entry& entry) {
    std::error_code ec;
    if (!entry.is_regular_file(ec)) {
        return 0;
    }
    const std::string name = entry.path().filename().string();
    if (name.size() < 9 || name[4] != '-' || !name.ends_with(".qrd") ||
        !std::all_of(name.begin(), name.begin() + 4, [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    return std::stoi(name.substr(0, 4));
}

}  // namespace

std::vector<int> YearsWithResults(const std::filesystem::path& dataDirectory, int thisYear) {
    MakeDirectories(dataDirectory);
    const int firstYear = std::max(kFirstListedYear, thisYear - kYearsBack);
    std::set<int> years;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dataDirectory, ec)) {
        const int year = ResultFileYear(entry);
        if (year >= firstYear && year <= thisYear) {
            years.insert(year);
        }
    }
    return {years.begin(), years.end()};
}

void AddYearsAsSubMenuItems(StationState& state, const Clock& clock, MainWindowView& view) {
    state.listedYears =
        YearsWithResults(state.paths.DataDirectory(state.WantedUserMode), clock.Now().year);
    view.SetYearItems(state.listedYears);
}

void AddYearOfNewFile(StationState& state, const Clock& clock, MainWindowView& view) {
    const int year = clock.Now().year;
    if (std::find(state.listedYears.begin(), state.listedYears.end(), year) ==
        state.listedYears.end()) {
        AddYearsAsSubMenuItems(state, clock, view);
    }
}

}  // namespace qrv::shell
