/* The library's own exports: user administration, mail tree setup, the name
 * list that crosses the export boundary, and the dialog automation interface
 * through which every dialog of the library can be played by a program. */
#ifndef VKMSG_VKMSG_H
#define VKMSG_VKMSG_H

#include "vkmsg/cmc.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A name list: one movable global-memory block holding this header, the
 * pointer slots and the packed names.  The block's own handle is the first
 * field; a host frees the list by unlocking and freeing that handle (or,
 * portably, with vk_free_name_list). */
typedef struct NameList {
    void *handle;
    CMC_uint16 count;
    CMC_uint16 capacity;
    CMC_uint32 flags; /* bit 0: the names are sorted */
    CMC_uint32 free;
    char *next;
    char *slots[1]; /* capacity slots, then the text area */
} NameList;

#define VK_NAMELIST_SORTED 1u

/* The user registry in the mail tree.  Each answers 1 only when the passwd
   file took the change: an add makes the user's directories, then writes his
   entry, and takes back the directories it made when that fails, so no user
   is ever half-registered; a removal that passwd refused leaves the user as
   he was. */
CMC_EXPORT int CMC_CALL bAddUser(const char *user, const char *password);
CMC_EXPORT int CMC_CALL bRemUser(const char *user);
CMC_EXPORT int CMC_CALL bRemUsers(NameList *users);
CMC_EXPORT int CMC_CALL bCheckPW(const char *user, const char *password);
CMC_EXPORT NameList *CMC_CALL lpmnlGetUserList(CMC_sint32 unused);
CMC_EXPORT int CMC_CALL bSetupMHSDirs(const char *root);
CMC_EXPORT int CMC_CALL bInitServerDlg(char *buffer, int size);
CMC_EXPORT int CMC_CALL isVeskMsgDir(const char *directory);

/* Points this workstation at the complete mail tree in `directory` (its
 * root or its mail directory), as the locate dialog does when it loads the
 * configuration: WIN.INI "Mail" VeskMailPath names it from the next logon
 * on.  1, or 0 when it is no complete tree or the profile did not take it. */
CMC_EXPORT int vk_use_mail_tree(const char *directory);

/* Releases a list handed out by lpmnlGetUserList; null is allowed. */
CMC_EXPORT void vk_free_name_list(NameList *list);

/* Dialog automation.  With a driver installed every dialog of the library
 * runs on an in-memory dialog with the same controls as the real one, and the
 * driver plays the user.  The driver is called once per dialog after its
 * initialisation; a dialog still open when the driver returns gets a close
 * request, so an automated run never hangs. */
typedef struct VkDialog VkDialog; /* valid only while the driver call for it runs */
typedef void (*VkDialogDriver)(void *context, VkDialog *dialog);

/* null: the platform's own dialogs (POSIX: every dialog is cancelled). */
CMC_EXPORT void vk_set_dialog_driver(VkDialogDriver driver, void *context);

CMC_EXPORT int vk_dialog_template(VkDialog *d);
/* Control text (a password field's real text; the caption for id -1);
 * returns its length, -1 if there is no such control. */
CMC_EXPORT int vk_dialog_get_text(VkDialog *d, int id, char *buf, int size);
/* As if typed: the control's text limit applies and the change notification
 * is sent; 0 if the control is absent, disabled or hidden. */
CMC_EXPORT int vk_dialog_set_text(VkDialog *d, int id, const char *text);
/* Presses a button (sends its command); 0 if absent, disabled or hidden. */
CMC_EXPORT int vk_dialog_click(VkDialog *d, int id);
CMC_EXPORT int vk_dialog_is_enabled(VkDialog *d, int id);
CMC_EXPORT int vk_dialog_is_visible(VkDialog *d, int id);
CMC_EXPORT int vk_dialog_list_count(VkDialog *d, int id);
CMC_EXPORT int vk_dialog_list_text(VkDialog *d, int id, int index, char *buf, int size);
/* Changes one item's selection and sends the selection-change notification. */
CMC_EXPORT int vk_dialog_list_select(VkDialog *d, int id, int index, int selected);
CMC_EXPORT int vk_dialog_list_is_selected(VkDialog *d, int id, int index);
CMC_EXPORT int vk_dialog_list_double_click(VkDialog *d, int id, int index);
/* The close box (a close request). */
CMC_EXPORT int vk_dialog_close(VkDialog *d);
/* 0 once the dialog has ended. */
CMC_EXPORT int vk_dialog_is_open(VkDialog *d);
/* Screen position and size in pixels. */
CMC_EXPORT int vk_dialog_rect(VkDialog *d, int *left, int *top, int *width, int *height);
/* The controls in tab order, for a driver that knows no particular dialog:
 * the index-th control's id (-1 for a text nobody addresses), kind (0 static
 * text, 1 edit field, 2 button, 3 list box, 4 combo box), style bits (the
 * Win32 values: 0x20 a password field, 0x1 the default button, ...), state
 * (VK_CONTROL_ENABLED, VK_CONTROL_VISIBLE) and text (a password field's
 * real text); answers 1, or 0 past the last control.  Null pointers are
 * skipped. */
#define VK_CONTROL_ENABLED 1
#define VK_CONTROL_VISIBLE 2
CMC_EXPORT int vk_dialog_control(VkDialog *d, int index, int *id, int *kind, unsigned long *style, int *state,
                                 char *text, int size);

/* Tree check.  Looks through a mail tree for what failed or killed sends
 * and registry writes left behind (older than an hour, so work in progress
 * on another workstation is never touched) and, with `repair`, removes it;
 * messages that do not parse and users whose directories or entry are
 * missing are reported only.  `mail_dir` null: this workstation's tree.
 * Each finding goes to `finding` (kind as text, path or user name, whether
 * it is reported only, whether the repair removed it); `progress` hears the
 * entries looked at every thousand.  totals: entries, found, removed,
 * failed removals, reported only (may be null).  Answers 0, 1 when there is
 * no mail tree, 2 when memory ran out. */
typedef void (*VkCheckFinding)(void *context, const char *kind, const char *path, int report_only, int removed);
typedef void (*VkCheckProgress)(void *context, unsigned long entries);
CMC_EXPORT int vk_check_tree(const char *mail_dir, int repair, VkCheckFinding finding, VkCheckProgress progress,
                             void *context, unsigned long totals[5]);

#ifdef __cplusplus
}
#endif

#endif
