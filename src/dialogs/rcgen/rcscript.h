// Writes the Win32 resource script of the library's dialog templates and
// string table.  Shared by the rcgen tool and the test that compares its
// output with the committed vkmsg.rc.
#ifndef VKMSG_DIALOGS_RCGEN_RCSCRIPT_H
#define VKMSG_DIALOGS_RCGEN_RCSCRIPT_H

#include <cstdio>
#include <string>

#include "dialogs/resources.h"

namespace vkrc {

struct StyleName {
  unsigned long bits;
  unsigned long mask;  // which bits the name decides (bits for flags)
  const char* name;
};

inline void AppendStyle(std::string& out, unsigned long& style, const StyleName* names, size_t n) {
  unsigned long decided = 0;
  for (size_t i = 0; i < n; ++i) {
    if (names[i].mask & decided) continue;
    if ((style & names[i].mask) == names[i].bits) {
      decided |= names[i].mask;
      if (!out.empty()) out += " | ";
      out += names[i].name;
      style &= ~names[i].mask;
    }
  }
}

inline std::string WindowBits(unsigned long& style, bool child) {
  static const StyleName kWindow[] = {
      {vk::kWsPopup, vk::kWsPopup, "WS_POPUP"},
      {vk::kWsCaption, vk::kWsCaption, "WS_CAPTION"},
      {vk::kWsBorder, vk::kWsBorder, "WS_BORDER"},
      {vk::kWsVScroll, vk::kWsVScroll, "WS_VSCROLL"},
      {vk::kWsHScroll, vk::kWsHScroll, "WS_HSCROLL"},
      {vk::kWsSysMenu, vk::kWsSysMenu, "WS_SYSMENU"},
      {vk::kWsThickFrame, vk::kWsThickFrame, "WS_THICKFRAME"},
      {vk::kWsGroup, vk::kWsGroup, "WS_GROUP"},
      {vk::kWsTabStop, vk::kWsTabStop, "WS_TABSTOP"},
      {vk::kWsDisabled, vk::kWsDisabled, "WS_DISABLED"},
  };
  std::string out;
  if (child) {
    out = "WS_CHILD";
    // Controls are visible unless the script says otherwise.
    out += (style & vk::kWsVisible) ? " | WS_VISIBLE" : " | NOT WS_VISIBLE";
    style &= ~(vk::kWsChild | vk::kWsVisible);
  }
  AppendStyle(out, style, kWindow, sizeof kWindow / sizeof kWindow[0]);
  return out;
}

inline std::string ControlStyle(const vk::UiControlDef& c) {
  static const StyleName kStatic[] = {
      {vk::kSsRight, 0x1F, "SS_RIGHT"}, {vk::kSsCenter, 0x1F, "SS_CENTER"}, {vk::kSsLeft, 0x1F, "SS_LEFT"}};
  static const StyleName kEdit[] = {{vk::kEsMultiline, vk::kEsMultiline, "ES_MULTILINE"},
                                    {vk::kEsPassword, vk::kEsPassword, "ES_PASSWORD"},
                                    {vk::kEsAutoVScroll, vk::kEsAutoVScroll, "ES_AUTOVSCROLL"},
                                    {vk::kEsAutoHScroll, vk::kEsAutoHScroll, "ES_AUTOHSCROLL"},
                                    {vk::kEsWantReturn, vk::kEsWantReturn, "ES_WANTRETURN"}};
  static const StyleName kButton[] = {{vk::kBsDefPushButton, vk::kBsTypeMask, "BS_DEFPUSHBUTTON"},
                                      {vk::kBsAutoCheckBox, vk::kBsTypeMask, "BS_AUTOCHECKBOX"},
                                      {vk::kBsGroupBox, vk::kBsTypeMask, "BS_GROUPBOX"},
                                      {vk::kBsPushButton, vk::kBsTypeMask, "BS_PUSHBUTTON"}};
  static const StyleName kList[] = {{vk::kLbsNotify, vk::kLbsNotify, "LBS_NOTIFY"},
                                    {vk::kLbsSort, vk::kLbsSort, "LBS_SORT"},
                                    {vk::kLbsMultipleSel, vk::kLbsMultipleSel, "LBS_MULTIPLESEL"},
                                    {vk::kLbsOwnerDrawFixed, vk::kLbsOwnerDrawFixed, "LBS_OWNERDRAWFIXED"},
                                    {vk::kLbsHasStrings, vk::kLbsHasStrings, "LBS_HASSTRINGS"},
                                    {vk::kLbsNoIntegralHeight, vk::kLbsNoIntegralHeight, "LBS_NOINTEGRALHEIGHT"},
                                    {vk::kLbsExtendedSel, vk::kLbsExtendedSel, "LBS_EXTENDEDSEL"},
                                    {vk::kLbsDisableNoScroll, vk::kLbsDisableNoScroll, "LBS_DISABLENOSCROLL"}};
  static const StyleName kCombo[] = {{vk::kCbsDropDownList, 0x3, "CBS_DROPDOWNLIST"},
                                     {vk::kCbsOwnerDrawFixed, vk::kCbsOwnerDrawFixed, "CBS_OWNERDRAWFIXED"},
                                     {vk::kCbsAutoHScroll, vk::kCbsAutoHScroll, "CBS_AUTOHSCROLL"},
                                     {vk::kCbsSort, vk::kCbsSort, "CBS_SORT"},
                                     {vk::kCbsHasStrings, vk::kCbsHasStrings, "CBS_HASSTRINGS"}};
  unsigned long style = c.style;
  std::string out;
  switch (c.kind) {
    case vk::kUiStatic:
      AppendStyle(out, style, kStatic, 3);
      break;
    case vk::kUiEdit:
      out = "ES_LEFT";
      AppendStyle(out, style, kEdit, sizeof kEdit / sizeof kEdit[0]);
      break;
    case vk::kUiButton:
      AppendStyle(out, style, kButton, 4);
      break;
    case vk::kUiListBox:
      AppendStyle(out, style, kList, sizeof kList / sizeof kList[0]);
      break;
    case vk::kUiComboBox:
      AppendStyle(out, style, kCombo, sizeof kCombo / sizeof kCombo[0]);
      break;
  }
  std::string window = WindowBits(style, true);
  out += " | " + window;
  if (style) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "0x%lX", static_cast<unsigned long>(style));
    out += " | ";
    out += hex;
  }
  return out;
}

inline std::string DialogStyle(unsigned long style) {
  std::string out;
  if (style & vk::kDsModalFrame) out = "DS_MODALFRAME";
  style &= ~(vk::kDsModalFrame | vk::kDsSetFont);
  std::string window = WindowBits(style, false);
  if (!window.empty()) out += (out.empty() ? "" : " | ") + window;
  return out;
}

inline std::string Quoted(const char* text) {
  std::string out = "\"";
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p == '"')
      out += "\"\"";
    else if (*p == '\\')
      out += "\\\\";
    else
      out += *p;
  }
  return out + "\"";
}

inline const char* ClassName(vk::UiControlKind kind) {
  switch (kind) {
    case vk::kUiStatic:
      return "Static";
    case vk::kUiEdit:
      return "Edit";
    case vk::kUiButton:
      return "Button";
    case vk::kUiListBox:
      return "ListBox";
    case vk::kUiComboBox:
      return "ComboBox";
  }
  return "Static";
}

inline std::string ResourceScript() {
  std::string rc =
      "// Dialog templates and string table of the library.\n"
      "// Generated by rcgen from src/dialogs/resources.cc: edit that table, not this file.\n"
      "#include <windows.h>\n";
  int count = 0;
  const vk::UiDialogDef* dialogs = vk::DialogTemplates(&count);
  char line[128];
  for (int i = 0; i < count; ++i) {
    const vk::UiDialogDef& d = dialogs[i];
    std::snprintf(line, sizeof line, "\n%d DIALOG 0, 0, %d, %d\n", d.id, d.cx, d.cy);
    rc += line;
    rc += "STYLE " + DialogStyle(d.style) + "\n";
    rc += "CAPTION " + Quoted(d.caption) + "\n";
    std::snprintf(line, sizeof line, "FONT %d, ", d.point_size);
    rc += line + Quoted(d.font) + "\nBEGIN\n";
    for (int k = 0; k < d.control_count; ++k) {
      const vk::UiControlDef& c = d.controls[k];
      rc += "    CONTROL " + Quoted(c.text);
      std::snprintf(line, sizeof line, ", %d, \"%s\", ", c.id, ClassName(c.kind));
      rc += line + ControlStyle(c);
      std::snprintf(line, sizeof line, ", %d, %d, %d, %d\n", c.x, c.y, c.cx, c.cy);
      rc += line;
    }
    rc += "END\n";
  }
  const vk::UiStringDef* strings = vk::StringTable(&count);
  rc += "\nSTRINGTABLE\nBEGIN\n";
  for (int i = 0; i < count; ++i) {
    std::snprintf(line, sizeof line, "    %d, ", strings[i].id);
    rc += line + Quoted(strings[i].text) + "\n";
  }
  rc += "END\n";
  return rc;
}

}  // namespace vkrc

#endif
