// The launch window's template and the string table, for the hosts that have no resource
// compiler (the terminal and the fake); the Windows program reads the real ones.
#include "framework/DialogTemplate.h"
#include "res/resource.h"

const DialogTemplate* FindDialogTemplate(int templateId) {
    static const DialogTemplate launchWindow{
        IDD_ZYNLAUNCH_DIALOG,
        ZYN_DIALOG_CAPTION,
        {{IDC_PICTURE, DialogControl::Picture, nullptr, IDB_PICTURE_START},
         {IDC_PROGRESS, DialogControl::Progress, nullptr, 0},
         {IDC_STATUS, DialogControl::Text, ZYN_INITIAL_STATUS, 0}}};
    return templateId == IDD_ZYNLAUNCH_DIALOG ? &launchWindow : nullptr;
}

const char* FindStringResource(int id) {
    return id == IDS_SOCKETS_INIT_FAILED ? ZYN_SOCKETS_INIT_FAILED_TEXT : nullptr;
}
