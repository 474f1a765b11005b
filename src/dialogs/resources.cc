// The dialog templates and the string table.  vkmsg.rc is generated from
// these tables by rcgen; a test keeps the two in step.
#include "dialogs/resources.h"

namespace vk {
namespace {

constexpr unsigned long V = kWsVisible;
constexpr unsigned long kLoginFrame = kDsModalFrame | kWsPopup | kWsCaption | kWsThickFrame;
constexpr unsigned long kPlainFrame = kDsModalFrame | kWsPopup | kWsCaption;
constexpr unsigned long kSysMenuFrame = kDsModalFrame | kWsPopup | kWsCaption | kWsSysMenu;

constexpr unsigned long kLabel = kSsLeft | V;
constexpr unsigned long kLabelRight = kSsRight | V;
constexpr unsigned long kField = kWsBorder | kWsTabStop | kEsAutoHScroll | V;
constexpr unsigned long kPasswordField = kField | kEsPassword;
constexpr unsigned long kPush = kBsPushButton | kWsTabStop | V;
constexpr unsigned long kDefault = kBsDefPushButton | kWsTabStop | V;
constexpr unsigned long kPickList = kLbsNotify | kLbsExtendedSel | kWsVScroll | kWsBorder | kWsTabStop | V;

constexpr const char* kFont = "MS Sans Serif";

const UiControlDef kLogin1001[] = {
    {-1, kUiStatic, "&Password", kLabelRight, 3, 28, 40, 8},
    {kLoginPassword, kUiEdit, "", kPasswordField, 45, 26, 128, 12},
    {kLoginAdminister, kUiButton, "&Administer Users", kPush, 10, 55, 68, 14},
    {kLoginChangePassword, kUiButton, "&Change Password", kPush, 10, 74, 68, 14},
    {kIdCancel, kUiButton, "Cancel", kPush, 89, 74, 40, 14},
    {kIdOk, kUiButton, "&Login", kDefault, 133, 74, 40, 14},
    {-1, kUiStatic, "&Name", kLabelRight, 3, 10, 40, 8},
    {kLoginName, kUiEdit, "", kField, 45, 8, 128, 12},
};

const UiControlDef kLogin1006[] = {
    {-1, kUiStatic, "&Password", kLabelRight, 3, 28, 40, 8},
    {kLoginPassword, kUiEdit, "", kPasswordField, 45, 26, 128, 12},
    {kLoginChangePassword, kUiButton, "&Change Password", kPush, 11, 74, 68, 14},
    {kIdCancel, kUiButton, "Cancel", kPush, 89, 74, 40, 14},
    {kIdOk, kUiButton, "&Login", kDefault, 134, 74, 40, 14},
    {-1, kUiStatic, "&Name", kLabelRight, 3, 10, 40, 8},
    {kLoginName, kUiEdit, "", kField, 45, 8, 128, 12},
};

const UiControlDef kAdminPassword1007[] = {
    {-1, kUiStatic, "&Password", kLabelRight, 1, 12, 43, 9},
    {kLoginPassword, kUiEdit, "", kPasswordField, 48, 10, 128, 12},
    {kIdOk, kUiButton, "OK", kDefault, 136, 28, 40, 14},
    {kIdCancel, kUiButton, "Cancel", kPush, 92, 28, 40, 14},
};

const UiControlDef kChangePassword1004[] = {
    {-1, kUiStatic, "Old Password", kLabel, 4, 11, 76, 8},
    {-1, kUiStatic, "New Password", kLabel, 3, 27, 76, 8},
    {-1, kUiStatic, "New Password (again)", kLabel, 3, 42, 76, 8},
    {kChangeOld, kUiEdit, "", kPasswordField, 80, 7, 110, 12},
    {kChangeNew, kUiEdit, "", kPasswordField, 80, 25, 110, 12},
    {kChangeAgain, kUiEdit, "", kPasswordField, 80, 42, 110, 12},
    {kIdCancel, kUiButton, "Cancel", kPush, 80, 62, 40, 14},
    {kIdOk, kUiButton, "Change", kDefault, 141, 62, 40, 14},
    {kChangeStatus, kUiStatic, "", kLabel, 3, 54, 75, 24},
};

const UiControlDef kAdministerUsers1005[] = {
    {-1, kUiStatic, "User &Name", kLabelRight, 7, 5, 52, 8},
    {kAdminName, kUiEdit, "", kField, 61, 5, 68, 12},
    {-1, kUiStatic, "&Password", kLabelRight, 7, 24, 52, 8},
    {kAdminPassword, kUiEdit, "", kField, 61, 22, 68, 12},
    {kAdminAdd, kUiButton, "&Add User", kPush, 61, 40, 68, 14},
    {kAdminRemove, kUiButton, "&Remove User", kPush, 61, 60, 68, 14},
    {kAdminChangePassword, kUiButton, "Change Pass&word", kPush, 61, 80, 68, 14},
    {-1, kUiStatic, "Current &Users", kLabel, 142, 3, 81, 8},
    {kAdminUserList, kUiListBox, "", kPickList, 142, 16, 81, 169},
    {kIdOk, kUiButton, "&Close", kDefault, 180, 194, 40, 14},
    {-1, kUiStatic, "To add a new user, enter a 1-8 character name (alphanumeric only)  and press \"Add User\".",
     kLabel, 3, 95, 135, 23},
    {-1, kUiStatic, "To remove a user, select the name in the list and press \"Remove User\".", kLabel, 3, 121, 135,
     19},
    {-1, kUiStatic,
     "If no password is provided to Add User or Change Password, the password will be the same "
     "as the user name.",
     kLabel, 3, 140, 135, 27},
    {-1, kUiStatic, "To change a user's name, remove the old name and add a new one.", kLabel, 3, 167, 135, 19},
    {-1, kUiStatic,
     "Note: When removing users, be sure to delete their .VKO, .VKG, .VKB and .VKC files in the "
     "group directory",
     kLabel, 3, 186, 135, 24},
    {kAdminStatus, kUiStatic, "", kLabel, 3, 40, 55, 52},
};

const UiControlDef kSelectUsers1000[] = {
    {-1, kUiStatic, "&All Names:", kLabel, 4, 3, 83, 8},
    {kSelectAll, kUiListBox, "", kPickList, 4, 14, 101, 99},
    {kSelectInclude, kUiButton, " &Include Person ----->", kPush, 4, 115, 101, 14},
    {-1, kUiStatic, "Users &Chosen:", kLabel, 113, 3, 71, 8},
    {kSelectChosen, kUiListBox, "", kPickList, 112, 14, 101, 99},
    {kSelectExclude, kUiButton, "<----- &Exclude Person", kPush, 112, 115, 101, 14},
    {kIdOk, kUiButton, "OK", kDefault, 216, 14, 45, 14},
    {kIdCancel, kUiButton, "Cancel", kPush, 216, 31, 45, 14},
    {kSelectAdminister, kUiButton, "Administer Users", kPush, 4, 134, 101, 14},
    {-1, kUiButton, "Local address book", kBsGroupBox | V, 4, 151, 258, 32},
    {-1, kUiStatic, "&Name:", kLabel, 10, 166, 24, 8},
    {kSelectBookName, kUiEdit, "", kField, 36, 164, 76, 12},
    {kSelectBookAdd, kUiButton, "A&dd...", kPush, 118, 163, 42, 14},
    {kSelectBookRemove, kUiButton, "Re&move", kPush, 165, 163, 42, 14},
    {kSelectRefresh, kUiButton, "Re&fresh", kPush, 212, 163, 44, 14},
};

const UiControlDef kNameEntry1020[] = {
    {-1, kUiStatic, "&Name:", kLabel, 6, 9, 24, 8},
    {kNameEntryField, kUiEdit, "", kField, 32, 7, 110, 12},
    {kIdOk, kUiButton, "OK", kDefault, 46, 26, 46, 14},
    {kIdCancel, kUiButton, "Cancel", kPush, 96, 26, 46, 14},
};

const UiControlDef kCompose1002[] = {
    {-1, kUiStatic, "&Subject:", kLabel, 4, 6, 36, 8},
    {kComposeSubject, kUiEdit, "", kField, 42, 4, 150, 12},
    {-1, kUiStatic, "&Message:", kLabel, 4, 22, 60, 8},
    {kComposeText, kUiEdit, "", kEsMultiline | kEsAutoVScroll | kEsWantReturn | kWsVScroll | kWsBorder | kWsTabStop | V,
     4, 32, 188, 120},
    {-1, kUiStatic, "&Recipients:", kLabel, 4, 156, 80, 8},
    {kComposeRecipients, kUiListBox, "", kLbsNoIntegralHeight | kWsVScroll | kWsBorder | kWsTabStop | V, 4, 166, 188,
     42},
    {kIdOk, kUiButton, "OK", kDefault, 200, 4, 52, 14},
    {kIdCancel, kUiButton, "Cancel", kPush, 200, 21, 52, 14},
    {kComposeTo, kUiButton, "&To...", kPush, 200, 44, 52, 14},
    {kComposeCc, kUiButton, "&Cc...", kPush, 200, 61, 52, 14},
};

const UiControlDef kLocate1008[] = {
    {101, kUiStatic, "To enable Parley Mail with other Vesk users, please locate the Vesk_Msg mail directory.", kLabel,
     6, 4, 268, 16},
    {1117, kUiStatic, "If you are unsure which directory to use, consult your network administrator.", kLabel, 6, 20,
     268, 16},
    {103, kUiStatic, "If the Vesk_Msg mail directory exists, select it now.", kLabel, 6, 38, 268, 8},
    {1118, kUiStatic,
     "If it does not exist, select a common network directory to be used as the mail directory "
     "and press Setup.  Setup will create the necessary files and the admin user (password "
     "\"zirva\").",
     kLabel, 6, 48, 268, 24},
    {102, kUiButton, "Network Directory", kBsGroupBox | V, 6, 76, 160, 118},
    {kLocateDirectory, kUiEdit, "c:\\", kField, 12, 86, 148, 12},
    {kLocateDirList, kUiListBox, "",
     kLbsSort | kLbsOwnerDrawFixed | kLbsHasStrings | kLbsNotify | kLbsDisableNoScroll | kWsVScroll | kWsBorder |
         kWsTabStop | V,
     12, 100, 148, 64},
    {kLocateDrivesLabel, kUiStatic, "Dri&ves:", kLabel, 12, 168, 148, 8},
    {kLocateDrives, kUiComboBox, "",
     kCbsDropDownList | kCbsOwnerDrawFixed | kCbsAutoHScroll | kCbsSort | kCbsHasStrings | kWsVScroll | kWsBorder |
         kWsTabStop | V,
     12, 178, 148, 68},
    {kIdOk, kUiButton, "OK", kDefault, 176, 82, 50, 14},
    {kLocateSetup, kUiButton, "Setup", kPush, 176, 100, 50, 14},
    {kLocateOffline, kUiButton, "Offline", kPush, 176, 118, 50, 14},
    {kLocateHelp, kUiButton, "&Help", kPush, 176, 136, 50, 14},
    {1090, kUiStatic, "File &Name:", kSsLeft, 232, 82, 40, 8},
    {kLocateFileName, kUiEdit, "", kWsBorder | kWsTabStop | kEsAutoHScroll, 232, 92, 40, 12},
    {1120, kUiListBox, "",
     kLbsSort | kLbsOwnerDrawFixed | kLbsHasStrings | kLbsNotify | kWsVScroll | kWsBorder | kWsTabStop, 232, 106, 40,
     20},
    {1089, kUiStatic, "Save File as &Type:", kSsLeft, 232, 128, 40, 8},
    {1136, kUiComboBox, "", kCbsDropDownList | kCbsAutoHScroll | kWsVScroll | kWsBorder | kWsTabStop, 232, 138, 40, 40},
    {1040, kUiButton, "&Read Only", kBsAutoCheckBox | kWsTabStop, 232, 152, 40, 12},
    {1119, kUiStatic, "", kSsLeft, 232, 166, 40, 8},
    {kIdCancel, kUiButton, "Cancel", kPush & ~V, 232, 176, 40, 14},
};

const UiControlDef kConfirmSetup1010[] = {
    {-1, kUiStatic,
     "This will create a new common network directory to be used as the mail directory at the "
     "following location:",
     kLabel, 8, 6, 204, 18},
    {kConfirmPath, kUiStatic, "<path>", kLabel, 8, 28, 204, 10},
    {-1, kUiStatic, "All users who wish to exchange Parley Mail must be connected to this directory.", kLabel, 8, 42,
     204, 18},
    {kIdOk, kUiButton, "Setup", kDefault, 56, 68, 48, 14},
    {kIdCancel, kUiButton, "Cancel", kPush, 116, 68, 48, 14},
};

#define VK_CONTROLS(a) a, static_cast<int>(sizeof(a) / sizeof((a)[0]))

const UiDialogDef kTemplates[] = {
    {kSelectUsersTemplate, "Select Vesk Users   ", kSysMenuFrame, kFont, 8, 266, 188, VK_CONTROLS(kSelectUsers1000)},
    {kNameEntryTemplate, "Add to Address Book", kSysMenuFrame, kFont, 8, 148, 46, VK_CONTROLS(kNameEntry1020)},
    {kLoginAdminTemplate, "Please Login", kLoginFrame, kFont, 8, 189, 98, VK_CONTROLS(kLogin1001)},
    {kComposeTemplate, "Send Mail", kSysMenuFrame, kFont, 8, 260, 212, VK_CONTROLS(kCompose1002)},
    {kChangePasswordTemplate, "Change Password", kPlainFrame, kFont, 8, 196, 81, VK_CONTROLS(kChangePassword1004)},
    {kAdministerUsersTemplate, "Administer Users", kSysMenuFrame, kFont, 8, 232, 214,
     VK_CONTROLS(kAdministerUsers1005)},
    {kLoginTemplate, "Please Login", kLoginFrame, kFont, 8, 189, 98, VK_CONTROLS(kLogin1006)},
    {kAdminPasswordTemplate, "Please provide Admin password", kLoginFrame, kFont, 8, 189, 49,
     VK_CONTROLS(kAdminPassword1007)},
    {kLocateTemplate, "Locate Vesk_Msg Directory ", kSysMenuFrame, kFont, 8, 280, 200, VK_CONTROLS(kLocate1008)},
    {kConfirmSetupTemplate, "Set Up New Vesk_Msg Directory ?", kSysMenuFrame, kFont, 8, 220, 90,
     VK_CONTROLS(kConfirmSetup1010)},
};

#undef VK_CONTROLS

const UiStringDef kStrings[] = {
    {kStrOldPasswordWrong, "The old password was not correct"},
    {kStrNewPasswordShort, "The new password is too short (at least 6 chars)"},
    {kStrNewPasswordsDiffer, "The new passwords do not match"},
    {kStrCcPrefix, "Cc: "},
    {kStrToPrefix, "To: "},
    {kStrNoMemoryUserList, "Not enough memory to load user list"},
    {kStrUserAdded, "The user was added"},
    {kStrUserNotAdded, "The user could not be added"},
    {kStrUsersRemoved, "The selected users were removed"},
    {kStrUsersNotRemoved, "Not every selected user could be removed"},
    {kStrPasswordChanged, "The password was changed"},
    {kStrPasswordNotChanged, "The password could not be changed"},
};

}  // namespace

const UiDialogDef* DialogTemplates(int* count) {
  if (count) *count = static_cast<int>(sizeof(kTemplates) / sizeof(kTemplates[0]));
  return kTemplates;
}

const UiStringDef* StringTable(int* count) {
  if (count) *count = static_cast<int>(sizeof(kStrings) / sizeof(kStrings[0]));
  return kStrings;
}

const UiDialogDef* FindDialogTemplate(int id) {
  for (const UiDialogDef& t : kTemplates) {
    if (t.id == id) return &t;
  }
  return nullptr;
}

const char* FindString(int id) {
  for (const UiStringDef& s : kStrings) {
    if (s.id == id) return s.text;
  }
  return nullptr;
}

}  // namespace vk
