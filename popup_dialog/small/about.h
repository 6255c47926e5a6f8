#pragma once
// The about box: the logo, the version of the viewer's executable, the slogan, a link to the
// user agreement and the copyright. "license" opens the agreement and leaves the box open;
// "cls" and Escape close it with 2.
#include <functional>
#include <string>

#include "services/modal_dialog.h"
#include "skin/window/dialog_base.h"

class DlgAbout2 : public CDlgBase, public services::IModalDialog {
 public:
  // The width of the row that centres the logo and the version.
  static constexpr int kRowWidth = 560;
  // The user agreement on the product's web site.
  static constexpr wchar_t kUserAgreementAddress[] = L"https://www.quellin.example/qlpx/useragreement.html";

  using PageOpener = std::function<void(const std::wstring& address)>;
  // versionText: "a.b.c.d" of the executable (empty hides the version line); openPage: how the
  // agreement's address is opened (the shell's "open" verb unless a test says otherwise).
  DlgAbout2(std::wstring versionText, PageOpener openPage);

  [[nodiscard]] const wchar_t* WindowClassName() const override { return L"DlgAbout2"; }
  [[nodiscard]] std::wstring SkinFileName() const override { return L"about.xml"; }
  void OnWindowInit() override;
  void OnNotify(skin::Notification& notification) override;

  INT_PTR DoModal(HWND owner) override { return CDlgBase::DoModal(owner); }
  [[nodiscard]] HWND GetSafeHwnd() const override { return GetHWND(); }

  // The widths that centre a slogan area of the given width in the row: the area's own width and
  // each spacer's. Never negative: an area wider than the row takes the whole row.
  struct RowWidths {
    int area;
    int spacer;
  };
  static RowWidths CentreInRow(int textWidth, int logoWidth);

  // Opens an address with the shell's "open" verb.
  static void OpenWithShell(const std::wstring& address);

 private:
  std::wstring version_;
  PageOpener open_page_;
};
