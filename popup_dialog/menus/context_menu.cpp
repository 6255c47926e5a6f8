#include "popup_dialog/menus/context_menu.h"

#include <iterator>

#include "appconfig/language.h"
#include "base/paths.h"
#include "image/current_image.h"

namespace {
constexpr wchar_t kSection[] = L"CONTEXT_MENU";
constexpr wchar_t kList[] = L"list_menu";
}  // namespace

popup_menu::PictureState CContextMenu::CurrentPictureState() {
  const CCurrentImage& image = CCurrentImage::Get();
  const CWICImageLoaderPtr loader = image.Loader();
  popup_menu::PictureState state;
  state.shown = loader && loader->FrameSource() != nullptr;
  state.file_exists = !image.Path().empty() && base::FileExists(image.Path());
  return state;
}

void CContextMenu::OnWindowInit() {
  auto* list = FindControlAs<skin::List>(kList);
  if (!list) return;
  const popup_menu::PictureState state = CurrentPictureState();
  const int count = static_cast<int>(std::size(popup_menu::kContextItems));
  for (int i = 0; i < count && i < list->ItemCount(); ++i) {
    skin::ListItem* item = list->ItemAt(i);
    if (!item) continue;
    const popup_menu::ContextItem& spec = popup_menu::kContextItems[i];
    item->SetTag(spec.tag);
    item->SetText(GetLanguageStringById(kSection, i + 1));
    item->SetEnabled(popup_menu::IsEnabled(spec.needs, state));
  }
}

void CContextMenu::ShowAtPoint(POINT point) {
  if (!CreateMenuWindow()) return;
  RECT owner{};
  ::GetWindowRect(Owner(), &owner);
  const RECT around{point.x, point.y, point.x + 1, point.y + 1};
  ShowMenuWindow(popup_menu::PlaceContextMenu(point, owner, popup_menu::WorkAreaAround(around)));
}

void CContextMenu::OnNotify(skin::Notification& notification) {
  if (notification.Is(L"itemselect") && notification.From(kList)) {
    ReportItem(notification);
    return;
  }
  CPopupMenuWnd::OnNotify(notification);
}
