// The library's dialog templates and string table: one table, from which
// the Win32 resource script vkmsg.rc is generated (rcgen) and on which the
// in-memory dialogs are built.
#ifndef VKMSG_DIALOGS_RESOURCES_H
#define VKMSG_DIALOGS_RESOURCES_H

#include "platform/ui.h"

namespace vk {

// Templates.
constexpr int kSelectUsersTemplate = 1000;
constexpr int kLoginAdminTemplate = 1001;  // with "&Administer Users"
constexpr int kComposeTemplate = 1002;
constexpr int kChangePasswordTemplate = 1004;
constexpr int kAdministerUsersTemplate = 1005;
constexpr int kLoginTemplate = 1006;  // without it
constexpr int kAdminPasswordTemplate = 1007;
constexpr int kLocateTemplate = 1008;
constexpr int kConfirmSetupTemplate = 1010;

// Controls shared by several templates.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// Login dialogs 1001, 1006, 1007.
constexpr int kLoginName = 1501;
constexpr int kLoginPassword = 1502;
constexpr int kLoginChangePassword = 1503;
constexpr int kLoginAdminister = 1504;

// Change password 1004.
constexpr int kChangeOld = 1550;
constexpr int kChangeNew = 1551;
constexpr int kChangeAgain = 1552;
constexpr int kChangeStatus = 1553;

// Administer users 1005.
constexpr int kAdminUserList = 1600;
constexpr int kAdminName = 1601;
constexpr int kAdminPassword = 1602;
constexpr int kAdminAdd = 1603;
constexpr int kAdminRemove = 1604;
constexpr int kAdminChangePassword = 1605;
constexpr int kAdminRefresh = 1606;  // a command the dialog sends itself
constexpr int kAdminStatus = 1607;

// Select users 1000.
constexpr int kSelectAll = 1438;
constexpr int kSelectChosen = 1439;
constexpr int kSelectInclude = 1440;
constexpr int kSelectExclude = 1441;
constexpr int kSelectAdminister = 1504;
// The local address book in the picker, and its name entry.
constexpr int kSelectRefresh = 1445;
constexpr int kSelectBookAdd = 1446;
constexpr int kSelectBookRemove = 1447;
constexpr int kSelectBookName = 1460;
constexpr int kNameEntryTemplate = 1020;
constexpr int kNameEntryField = 1021;

// Compose 1002.
constexpr int kComposeTo = 1601;
constexpr int kComposeCc = 1602;
constexpr int kComposeSubject = 1603;
constexpr int kComposeText = 1604;
constexpr int kComposeRecipients = 1605;

// Locate 1008 (the standard file dialog's ids plus the library's own) and
// confirm setup 1010.
constexpr int kLocateDirectory = 1088;  // the current directory
constexpr int kLocateDirList = 1121;
constexpr int kLocateDrives = 1137;
constexpr int kLocateDrivesLabel = 1091;
constexpr int kLocateFileName = 1152;
constexpr int kLocateSetup = 1652;
constexpr int kLocateOffline = 1656;
constexpr int kLocateHelp = 1038;
constexpr int kLocateUpdate = 1653;  // a command the dialog posts itself
constexpr int kConfirmPath = 1011;

// Strings.
constexpr int kStrCcPrefix = 1600;
constexpr int kStrToPrefix = 1601;
constexpr int kStrOldPasswordWrong = 1560;
constexpr int kStrNewPasswordShort = 1561;
constexpr int kStrNewPasswordsDiffer = 1563;
constexpr int kStrNoMemoryUserList = 1623;
// The outcome of a change in the administer users and change password
// dialogs.
constexpr int kStrUserAdded = 1624;
constexpr int kStrUserNotAdded = 1625;
constexpr int kStrUsersRemoved = 1626;
constexpr int kStrUsersNotRemoved = 1627;
constexpr int kStrPasswordChanged = 1628;
constexpr int kStrPasswordNotChanged = 1629;

struct UiStringDef {
  int id;
  const char* text;
};

// The tables, in the order the resource script lists them.
const UiDialogDef* DialogTemplates(int* count);
const UiStringDef* StringTable(int* count);
// Null when there is no template or string of that id.
const UiDialogDef* FindDialogTemplate(int id);
const char* FindString(int id);

}  // namespace vk

#endif
