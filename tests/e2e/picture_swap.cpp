// zynPictureSwap: the launch window's template in the terminal window, with Enter in place of a
// deep resolution server's answer: it swaps the picture as that answer does. Escape closes it.
#include "framework/Dialog.h"
#include "res/resource.h"

namespace {
class PictureSwapWindow : public CDialog {
  public:
    PictureSwapWindow() : CDialog(IDD_ZYNLAUNCH_DIALOG) {}

  protected:
    void DoDataExchange() override { DDX_Control(IDC_PICTURE, m_picture); }
    void OnOK() override { m_picture.SetBitmap(IDB_PICTURE_FOUND); }

  private:
    CStatic m_picture;
};
} // namespace

int main() {
    PictureSwapWindow window;
    return window.DoModal();
}
