#pragma once
// The ids of the program's controls. Each control keeps its id as its object name (Named),
// so the pages, the dialogs and their tests find a control by one name, and a person reading
// a widget dump sees the numbers the controls have always had. Dialogs number their controls
// on their own, so one number may stand for different controls in different dialogs.

namespace tolva::control {

// The buttons that end a dialog.
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;

// Translate page.
inline constexpr int kSourceLocation = 1001;
inline constexpr int kDestinationLocation = 1003;
inline constexpr int kBrowseSource = 1004;
inline constexpr int kBrowseDestination = 1005;
inline constexpr int kSourceFormat = 1006;
inline constexpr int kConvertStatus = 1007;
inline constexpr int kDestinationFormat = 1008;
inline constexpr int kFixAmpersands = 1011;
inline constexpr int kNetscapeToExplorer = 1012;
inline constexpr int kPreserveName = 1013;
inline constexpr int kExplorerToNetscape = 1014;
inline constexpr int kTranslate = 1033;
inline constexpr int kConvertProgressBar = 1049;
inline constexpr int kConvertProgressText = 1050;
inline constexpr int kConvertProgressLabel = 1051;

// Verify page.
inline constexpr int kBrowseVerifyLocation = 1000;
inline constexpr int kVerifyFormat = 1015;
inline constexpr int kVerifyLocation = 1017;
inline constexpr int kInteractive = 1026;
inline constexpr int kRenameInPlace = 1031;
inline constexpr int kVerify = 1032;
inline constexpr int kVerifyStatus = 1039;
inline constexpr int kTimeoutSlider = 1055;
inline constexpr int kRetriesSlider = 1056;
inline constexpr int kTimeoutLabel = 1057;
inline constexpr int kRetriesLabel = 1058;
inline constexpr int kLinksAtOnce = 1060;
inline constexpr int kConfirmFailures = 1061;
inline constexpr int kShowResults = 1062;
inline constexpr int kKeepBackup = 1063;
inline constexpr int kUpdateMoved = 1064;
inline constexpr int kOnlyUnverified = 1070;
inline constexpr int kSkipLinks = 1071;
inline constexpr int kSuggestArchive = 1072;

// Merge page.
inline constexpr int kMergeSourceFormat = 1100;
inline constexpr int kMergeSourceLocation = 1101;
inline constexpr int kMergeBrowseSource = 1102;
inline constexpr int kMergeAdd = 1103;
inline constexpr int kMergeSources = 1104;
inline constexpr int kMergeRemove = 1105;
inline constexpr int kMergeSelectedFormat = 1106;
inline constexpr int kMergeDestinationFormat = 1107;
inline constexpr int kMergeDestinationLocation = 1108;
inline constexpr int kMergeBrowseDestination = 1109;
inline constexpr int kMergeExact = 1110;
inline constexpr int kMergeLoose = 1111;
inline constexpr int kMergeKeep = 1112;
inline constexpr int kMergeFirst = 1113;
inline constexpr int kMerge = 1114;
inline constexpr int kMergeStatus = 1115;
inline constexpr int kMergeProgressBar = 1116;
inline constexpr int kMergeProgressText = 1117;
inline constexpr int kMergeProgressLabel = 1118;
inline constexpr int kMergeFixAmpersands = 1119;
inline constexpr int kMergePreserveName = 1120;
inline constexpr int kMergeReport = 1121;
inline constexpr int kMergeBrowseReport = 1122;

// Verification progress dialog.
inline constexpr int kVerifyProgressBar = 1027;
inline constexpr int kCurrentName = 1033;
inline constexpr int kLastErrorName = 1035;
inline constexpr int kLastErrorUrl = 1036;
inline constexpr int kLastErrorText = 1037;
inline constexpr int kTestingLine = 1038;
inline constexpr int kCurrentUrl = 1052;
inline constexpr int kCurrentStatus = 1053;

// Repair dialog.
inline constexpr int kRepairName = 1020;
inline constexpr int kRepairNewUrl = 1021;
inline constexpr int kRepairUrl = 1035;
inline constexpr int kRepairErrorText = 1036;
inline constexpr int kRepairArchivedUrl = 1073;

// Cookie warning.
inline constexpr int kCookiesDuringRun = 1023;
inline constexpr int kCookiesPrompt = 1024;
inline constexpr int kCookiesAlways = 1059;

// About page.
inline constexpr int kAboutHome = 1044;
inline constexpr int kAboutDedication = 1047;
inline constexpr int kAboutCommunications = 1054;

}  // namespace tolva::control
