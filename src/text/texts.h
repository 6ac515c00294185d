#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "text/text_keys.h"

namespace qrv::text {

// The program version of the title bar and the printouts.
inline constexpr std::string_view kProgramVersion = "3.03";

// Language index ("Taal"): 0 English, 1 German, 2 French, 3 Dutch.
inline constexpr int kLanguageCount = 4;

// One text in the four languages, UTF-8. Menu, button and pop-up labels carry
// "__" before their accelerator letter; use Plain() for anything that is
// printed, logged or written to a file, and Accel() for Qt widgets.
struct TextTable {
    std::string_view name;
    std::array<std::string_view, kLanguageCount> texts;
};

// All tables, indexed by Key.
std::span<const TextTable> Catalogue();

// The text as stored, with accelerator marks. A language outside 0..3 gives English.
std::string_view Raw(Key key, int taal);
std::string Plain(Key key, int taal);
std::string Accel(Key key, int taal);

// "__x" marks x as the accelerator. A mark at the very end of a text has no
// letter to mark and is dropped, so texts that get something appended after
// their mark (such as "COM __" followed by the port number) must be joined
// first and converted afterwards.
std::string StripAcceleratorMarks(std::string_view text);
// Qt form: a literal '&' becomes "&&", "__x" becomes "&x".
std::string ToQtAccelerators(std::string_view text);

std::optional<Key> FindKey(std::string_view name);

// Runs of tables addressed as lists by item number.
enum class Group {
    GraphStyles,        // by graph style 0..3: bar, line, connected points, dots
    Weekdays,           // Monday first, 7 items
    ProbeEditorLabels,  // name, status, high, low, delay
    AlarmEnableState,   // 0 while the alarm function is enabled, 1 while it is off
    AlarmBanner,        // 0 while the interface communication alarm stands, 1 otherwise
};
int GroupSize(Group group);
// Throws std::out_of_range when item is not within 0..GroupSize(group)-1.
Key GroupKey(Group group, int item);
std::string_view GroupText(Group group, int item, int taal);

// The main window title: the banner prefix and the program version in a
// field of five with two decimals (English "QUORVANEL   Intelligent Probe
// Network  vs  3.03").
std::string MainPanelTitle(int taal);

}  // namespace qrv::text
