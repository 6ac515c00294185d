#pragma once

// The answers a test gives to the station's popups: GenericMessagePopup numbers
// its buttons from 1 in the order the popup lists them.
namespace qrv::testing {

inline constexpr int kYes = 1;
inline constexpr int kNo = 2;
inline constexpr int kSave = 1;
// The probe editor's question whether to save: OK, Discard, Cancel.
inline constexpr int kDiscard = 2;
inline constexpr int kCancel = 3;

}  // namespace qrv::testing
