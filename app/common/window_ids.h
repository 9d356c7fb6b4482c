// Numbers the main window is driven by: its window messages, its timers, the controls of its
// template and the texts it shows. Shared by every subsystem that talks to the main window.
#pragma once

#include <cstdint>

namespace ovistra::ids {

// --- window messages
constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmUser = 0x0400;
constexpr uint32_t kUnlockRequest = kWmUser + 101;
constexpr uint32_t kSiblingStartFrames = 1137;
constexpr uint32_t kSiblingStopFrames = 2031;
constexpr uint32_t kSiblingLinkEnded = 2032;
constexpr uint32_t kSiblingControl = 2033;
constexpr uint32_t kSiblingRegister = 2034;
// 2034's types: register the sibling, show only the requested camera, stop.
constexpr uintptr_t kSiblingRegisterType = 18;
constexpr uintptr_t kSiblingShowRequestedType = 19;
constexpr uintptr_t kSiblingStopType = 20;
// The sibling programs' window titles, in the order they are looked for.
inline constexpr const char* kSiblingTitles[] = {"Dunmarra", "Corvelle "};
// The main window's own title, which sibling programs find it by.
inline constexpr const char* kStationTitle = "Quorvane ";
constexpr uint32_t kCameraIntervalTime = 1524;
constexpr uint32_t kCameraSetToggle = 1578;
constexpr uint32_t kCameraSetTakeAll = 1579;
constexpr uint32_t kCameraSetToggleAndHand = 1580;
constexpr uint32_t kCameraSetTakeTimings = 1581;
constexpr uint32_t kScheduleConfirmed = 1674;
constexpr uint32_t kScheduleCancelled = 1675;
constexpr uint32_t kRecordSetConfirmed = 1679;
constexpr uint32_t kRecordSetCancelled = 1680;
constexpr uint32_t kPictureBrowserClosed = 1725;  // the browser was emptied and closed
constexpr uint32_t kMotionSetConfirmed = 1825;
constexpr uint32_t kMotionSetCancelled = 1826;
constexpr uint32_t kPlaybackToggle = 2025;
constexpr uint32_t kSoundNotify = 2029;
constexpr uint32_t kShowPasswordPrompt = 1125;
constexpr uint32_t kColoursChanged = 1126;
constexpr uint32_t kColoursReset = 1127;

// --- timers of the main window
constexpr uintptr_t kSiblingRecordTimer = 21;
constexpr uintptr_t kFirstClickTimer = 105;  // 105..108: camera 1..4
constexpr uintptr_t kDiskWatchTimer = 881;
constexpr uintptr_t kFirstFrameTimer = 884;  // 884..887: camera 1..4
constexpr uintptr_t kClockTimer = 906;
constexpr uintptr_t kScheduleTimer = 908;
constexpr uintptr_t kStartCaptureTimer = 909;
constexpr uintptr_t kFirstCircularTimer = 911;  // 911..914: camera 1..4
constexpr uintptr_t kMotionTimer = 915;
constexpr uintptr_t kLayoutTimer = 917;

// --- commands and controls of the main window's template
constexpr int kAboutCommand = 16;
constexpr int kLockCommand = 32803;
constexpr int kSetPasswordCommand = 32805;
constexpr int kFirstPicture = 1000;  // 1000..1003: camera 1..4
constexpr int kHiddenHolder = 1004;
constexpr int kFirstCameraButton = 1011;  // 1011..1014: camera 1..4
constexpr int kAllCamerasButton = 1015;
constexpr int kCameraSetButton = 1016;
constexpr int kRecordSetButton = 1017;
constexpr int kRecordAllButton = 1022;
constexpr int kPlaybackButton = 1023;
constexpr int kExitButton = 1024;
constexpr int kScheduleButton = 1025;
constexpr int kFirstCaption = 1027;  // 1027..1030: camera 1..4
constexpr int kFullScreenButton = 1031;
constexpr int kLargeCaption = 1038;
constexpr int kClockCaption = 1040;
constexpr int kMotionButton = 1049;
constexpr int kFirstStrip = 1061;  // 1061..1064: camera 1..4
constexpr int kLargeStrip = 1072;
constexpr int kStatusText = 1073;
constexpr int kStillAllButton = 1106;
constexpr int kMotionSetButton = 1116;
constexpr int kCyclingButton = 1127;
constexpr int kLargePicture = 1143;
constexpr int kFirstRecordButton = 1200;  // 1200..1203: camera 1..4
constexpr int kRecordingIndicator = 1204;
constexpr int kDiskLabel = 1205;

// --- resources
constexpr int kMainTemplate = 102;
constexpr int kAppIcon = 128;
constexpr int kTextAbout = 101;
constexpr int kTextNoMediaFramework = 114;
constexpr int kTextNoVideoView = 115;
constexpr int kTextNoCaptureDevice = 116;
constexpr int kTextRecordingNotSetUp = 117;
constexpr int kTextNoDiskSpace = 118;
constexpr int kTextRecordingWriteFailed = 300;
constexpr int kTextRecorderFailed = 301;
constexpr int kTextRecorderStalled = 302;
constexpr int kTextDeviceLost = 320;  // the status line while the capture device is away
constexpr int kTextNoSignal = 321;    // drawn over every picture meanwhile
constexpr int kTextLockBanner = 350;  // over every picture while the station is locked
constexpr int kTextRecBadge = 351;    // on a recording camera's picture
constexpr int kCaptionGeneral = 119;
constexpr int kCaptionWarning = 124;
constexpr int kFirstBaseCaption = 146;         // 146..149: camera 1..4 enabled
constexpr int kFirstScheduleCameraText = 162;  // 162..165: camera 1..4
constexpr int kTextScheduledRecordingStarted = 166;
constexpr int kTextScheduledCameraMissing = 167;
constexpr int kTextScheduledStartFailed = 310;
constexpr int kTextDrive = 179;
constexpr int kTextFree = 180;
constexpr int kTextKindAlarm = 194;
constexpr int kTextKindSchedule = 195;
constexpr int kTextCyclingCaption = 203;
constexpr int kTextStamped = 210;
constexpr int kTextPlain = 211;
constexpr int kTextKindHand = 217;
constexpr int kTextNoMotionCamera = 225;
constexpr int kCaptionRecording = 218;
constexpr int kTextAlreadyRunning = 228;
constexpr int kTextRecordingWithoutSound = 293;
constexpr int kTextLockCommand = 271;
constexpr int kTextSetPasswordCommand = 272;
constexpr int kTextListMovedAside = 290;
constexpr int kTextListLeftInPlace = 291;
constexpr int kPictureBrowserTemplate = 131;
constexpr int kPictureSlotMenu = 133;
constexpr int kTextCannotOpenPicture = 143;
constexpr int kTextPrinterUnusable = 144;
constexpr int kTextSelectPictureFirst = 145;
constexpr int kTextDeleteAllPictures = 231;
constexpr int kTextPictureNameNotPlain = 240;
constexpr int kTextReplaceJpeg = 241;

// --- the colour dialog (template 161), opened from the main window's context menu
constexpr int kColourCommand = 32780;
constexpr int kColourTemplate = 161;
constexpr int kTextColourRange = 260;
constexpr int kTextColoursNotSaved = 261;
constexpr int kTextColourCommand = 262;

// --- the desktop's notification of an alarm
constexpr int kTextAlarmSummary = 460;   // %1: the camera's name
constexpr int kTextAlarmBody = 461;      // %1: the alarm's time
constexpr int kTextUnnamedCamera = 462;  // %1: the camera's number

}  // namespace ovistra::ids
