// What a backend supplies to run one modal dialog: the window, its timers, its three kinds of
// control and modal message boxes. The dialog classes talk to the window only through this.
#pragma once

#include <functional>
#include <string>

class CDialog;

class DialogHost {
  public:
    virtual ~DialogHost() = default;

    // Creates the window from the dialog's template, calls dialog.InitDialog() and delivers
    // timer, socket and user notifications one at a time until EndDialog; returns its result.
    virtual int RunModal(CDialog& dialog) = 0;
    // Asks the modal run to end once the notification being handled returns. Timers still
    // armed then never fire.
    virtual void EndDialog(int result) = 0;

    // Window timers: periodic until killed; arming an armed id restarts it.
    virtual void SetTimer(unsigned id, unsigned elapseMs) = 0;
    virtual void KillTimer(unsigned id) = 0;

    // A modal box with an OK button and the exclamation-mark icon. Timers and socket
    // notifications keep arriving while it is open.
    virtual void MessageBox(const std::string& text, const std::string& caption) = 0;

    virtual void SetControlText(int controlId, const std::string& text) = 0;
    virtual void SetProgressRange(int controlId, int low, int high) = 0;
    virtual void SetProgressPos(int controlId, int pos) = 0;
    // Invalidate, erase and update now.
    virtual void RedrawControl(int controlId) = 0;
    // Shows bitmap resource `bitmapId` in a picture control.
    virtual void SetControlBitmap(int controlId, int bitmapId) = 0;
    // Big and small icon of the window, from icon resource `iconId`.
    virtual void SetWindowIcon(int iconId) = 0;

    // Why the launch did or skipped something, for the trace only; the window shows nothing.
    virtual void Note(const std::string& text) { (void)text; }

    // What a window shows as it opens, and which controls are its status line, its bar and its
    // picture (0: any), for a layer that reports what the window shows.
    struct OpenedWindow {
        std::string status;
        int bitmap = 0;
        int statusId = 0, progressId = 0, pictureId = 0;
    };
    // Told by the host once the window exists, before its dialog initialises.
    std::function<void(const OpenedWindow&)> onOpened;

    // Painting of a minimised window (only a real window has one).
    virtual bool IsIconic() { return false; }
    virtual void PaintIconCentred(int /*iconId*/) {}
    virtual void DefaultPaint() {}

    // The host that dialogs run in: the platform's own unless a test installed another.
    static DialogHost& Current();
    static void Install(DialogHost* host); // nullptr restores the platform's host
};

// The platform's host; each backend defines it.
DialogHost& PlatformDialogHost();
