// The program's own window messages, all in one place so that no two share a
// number. Posted messages carry what their comment says; a std::string passed
// in lParam is taken over by the receiver.
#pragma once

#include <windows.h>

namespace qm {

// The animation host (ui/animation_host_win32.h): stop and play the strip.
constexpr UINT kStopAnimationMessage = WM_USER + 10;  // OnStopFlash
constexpr UINT kPlayAnimationMessage = WM_USER + 11;  // OnPlayFlash

// The skinned controls accept these from other threads (posted, never sent).
constexpr UINT kSkinEnableMessage = WM_APP + 0x351;  // wParam: enable
constexpr UINT kSkinShowMessage = WM_APP + 0x352;    // wParam: show
constexpr UINT kSkinSyncTextMessage = WM_APP + 0x353;

// The main window: tray icon notifications and the deferred close.
constexpr UINT kTrayMessage = WM_USER + 2;
constexpr UINT kCloseMainMessage = WM_APP + 0x171;
// Posted by the scan worker when its scan has ended (wParam 1: stopped).
constexpr UINT kScanFinishedMessage = WM_APP + 0x172;
// Posted by the repair worker when its repair has ended; lParam: its closing
// message (a std::string the receiver takes over).
constexpr UINT kRepairFinishedMessage = WM_APP + 0x173;
// Posted when a web page could not be opened; lParam: the message to show
// (a std::string the receiver takes over).
constexpr UINT kWebPageFailedMessage = WM_APP + 0x174;
// Registered (RegisterWindowMessageA) under this name: a second start posts it
// to the running copy's main window (wParam 1: start a scan), which then shows.
constexpr const char kShowRunningCopyMessageName[] = "QuillmereShowRunningCopy";

// Sent to every window of the main screen's tree when the screen closes.
constexpr UINT kPrepareToCloseMessage = WM_USER + 101;
// Enables the panel's BUTTON_SCAN.
constexpr UINT kEnableScanButtonMessage = WM_USER + 102;

// The result window: posted by its workers when their run has returned.
constexpr UINT kFinishScanMessage = WM_USER + 103;
constexpr UINT kFinishFixingMessage = WM_USER + 104;

}  // namespace qm
