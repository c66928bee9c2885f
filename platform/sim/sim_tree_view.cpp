#include "platform/sim/sim_tree_view.h"

#include <algorithm>
#include <string_view>

#include "platform/sim/sim_templates.h"
#include "platform/win_values.h"

namespace qvx::sim {

namespace {

constexpr std::uint32_t kTvgnRoot = 0x0;
constexpr std::uint32_t kTvgnPrevious = 0x2;
constexpr std::uint32_t kTveToggle = kTveExpand | kTveCollapse;
constexpr std::size_t kTextLimit = 259;  // a 260-character buffer

unsigned char Fold(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Fold(x) < Fold(y); });
}

}  // namespace

SimTreeView::Tree* SimTreeView::TreeOf(WindowHandle tree, const char* operation) {
  const SimWindow* window = ui_.Window(tree);
  if (window == nullptr || window->windowClass != "SysTreeView32") {
    ui_.Fail(std::string(operation) + ": window " + std::to_string(tree) +
             " is not a live tree view");
    return nullptr;
  }
  return &trees_[tree];
}

const SimTreeView::Tree* SimTreeView::FindTree(WindowHandle tree) const {
  auto found = trees_.find(tree);
  return found == trees_.end() ? nullptr : &found->second;
}

SimTreeItem* SimTreeView::ItemOf(Tree& tree, TreeItem item, const char* operation) {
  auto found = tree.items.find(item);
  if (found == tree.items.end()) {
    ui_.Fail(std::string(operation) + ": item " + std::to_string(item) + " does not exist");
    return nullptr;
  }
  return &found->second;
}

std::vector<TreeItem>& SimTreeView::Siblings(Tree& tree, TreeItem parent) {
  return parent == kNoItem ? tree.roots : tree.items.at(parent).children;
}

bool SimTreeView::IsDescendant(const Tree& tree, TreeItem item, TreeItem ancestor) const {
  while (item != kNoItem) {
    auto found = tree.items.find(item);
    if (found == tree.items.end()) return false;
    item = found->second.parent;
    if (item == ancestor) return true;
  }
  return false;
}

void SimTreeView::Erase(Tree& tree, TreeItem item) {
  std::vector<TreeItem> children = tree.items.at(item).children;
  for (TreeItem child : children) Erase(tree, child);
  tree.items.erase(item);
}

std::intptr_t SimTreeView::Notify(WindowHandle tree, std::int32_t code, TreeItem item,
                                  std::uint32_t action) {
  Message message;
  message.message = kWmNotify;
  message.code = code;
  message.id = ui_.Window(tree)->id;
  message.item = item;
  message.action = action;
  return ui_.SendNotify(tree, message);
}

void SimTreeView::SetCaret(WindowHandle window, Tree& tree, TreeItem item) {
  if (tree.caret != kNoItem) tree.items.at(tree.caret).selectedState = false;
  tree.caret = item;
  if (item != kNoItem) tree.items.at(item).selectedState = true;
  Notify(window, kTvnSelChangedA, item, 0);
}

TreeItem SimTreeView::InsertItem(WindowHandle tree, TreeItem parent, InsertAt where,
                                 const std::string& text, int image, int selectedImage) {
  Tree* t = TreeOf(tree, "InsertItem");
  if (t == nullptr) return kNoItem;
  if (parent != kNoItem && ItemOf(*t, parent, "InsertItem") == nullptr) return kNoItem;

  TreeItem handle = nextItem_++;
  SimTreeItem& item = t->items[handle];
  item.parent = parent;
  item.text = text;
  item.image = image;
  item.selectedImage = selectedImage;

  std::vector<TreeItem>& siblings = Siblings(*t, parent);
  auto at = siblings.end();
  if (where == InsertAt::Sorted) {
    at = std::find_if(siblings.begin(), siblings.end(), [&](TreeItem sibling) {
      return LessIgnoringCase(text, t->items.at(sibling).text);
    });
  }
  siblings.insert(at, handle);
  return handle;
}

bool SimTreeView::DeleteItem(WindowHandle tree, TreeItem item) {
  Tree* t = TreeOf(tree, "DeleteItem");
  if (t == nullptr) return false;
  SimTreeItem* it = ItemOf(*t, item, "DeleteItem");
  if (it == nullptr) return false;
  // The real control would move the selection elsewhere; nothing here
  // deletes a selected item, so the sim simply drops it.
  if (t->caret == item || IsDescendant(*t, t->caret, item)) t->caret = kNoItem;
  std::vector<TreeItem>& siblings = Siblings(*t, it->parent);
  siblings.erase(std::find(siblings.begin(), siblings.end(), item));
  Erase(*t, item);
  return true;
}

TreeItem SimTreeView::GetNextItem(WindowHandle tree, TreeItem item, std::uint32_t code) {
  Tree* t = TreeOf(tree, "GetNextItem");
  if (t == nullptr) return kNoItem;
  if (code == kTvgnCaret) return t->caret;
  if (code == kTvgnRoot || (code == kTvgnChild && item == kNoItem)) {
    return t->roots.empty() ? kNoItem : t->roots.front();
  }
  if (item == kNoItem) return kNoItem;
  SimTreeItem* it = ItemOf(*t, item, "GetNextItem");
  if (it == nullptr) return kNoItem;
  switch (code) {
    case kTvgnChild:
      return it->children.empty() ? kNoItem : it->children.front();
    case kTvgnParent:
      return it->parent;
    case kTvgnNext:
    case kTvgnPrevious: {
      const std::vector<TreeItem>& siblings = Siblings(*t, it->parent);
      auto at = std::find(siblings.begin(), siblings.end(), item);
      if (code == kTvgnNext) return at + 1 == siblings.end() ? kNoItem : *(at + 1);
      return at == siblings.begin() ? kNoItem : *(at - 1);
    }
    default:
      return kNoItem;
  }
}

std::string SimTreeView::GetItemText(WindowHandle tree, TreeItem item) {
  Tree* t = TreeOf(tree, "GetItemText");
  if (t == nullptr) return "";
  SimTreeItem* it = ItemOf(*t, item, "GetItemText");
  if (it == nullptr) return "";
  return it->text.substr(0, kTextLimit);
}

bool SimTreeView::SetItemImage(WindowHandle tree, TreeItem item, int image, int selectedImage) {
  Tree* t = TreeOf(tree, "SetItemImage");
  SimTreeItem* it = t == nullptr ? nullptr : ItemOf(*t, item, "SetItemImage");
  if (it == nullptr) return false;
  it->image = image;
  it->selectedImage = selectedImage;
  return true;
}

bool SimTreeView::SetItemSelectedState(WindowHandle tree, TreeItem item) {
  Tree* t = TreeOf(tree, "SetItemSelectedState");
  SimTreeItem* it = t == nullptr ? nullptr : ItemOf(*t, item, "SetItemSelectedState");
  if (it == nullptr) return false;
  it->selectedState = true;
  return true;
}

bool SimTreeView::Expand(WindowHandle tree, TreeItem item, std::uint32_t action) {
  Tree* t = TreeOf(tree, "Expand");
  SimTreeItem* it = t == nullptr ? nullptr : ItemOf(*t, item, "Expand");
  if (it == nullptr || it->children.empty()) return false;

  const std::uint32_t kind = action & kTveToggle;
  if (kind == 0) return false;
  const bool expand = kind == kTveToggle ? !it->expanded : kind == kTveExpand;
  if (expand == it->expanded) return true;  // already in that state: no notification

  if (Notify(tree, kTvnItemExpandingA, item, expand ? kTveExpand : kTveCollapse) != 0) {
    return false;  // the owner refused
  }
  auto found = t->items.find(item);  // the handler may have changed the tree
  if (found == t->items.end()) return false;
  found->second.expanded = expand;
  if (!expand && IsDescendant(*t, t->caret, item)) SetCaret(tree, *t, item);
  return true;
}

bool SimTreeView::SelectItem(WindowHandle tree, TreeItem item, std::uint32_t code) {
  Tree* t = TreeOf(tree, "SelectItem");
  if (t == nullptr || code != kTvgnCaret) return false;
  if (item != kNoItem && ItemOf(*t, item, "SelectItem") == nullptr) return false;
  if (item == t->caret) return true;

  // The new caret must be visible: open its collapsed ancestors, outermost
  // first, each with its expanding notification.
  std::vector<TreeItem> ancestors;
  for (TreeItem p = item == kNoItem ? kNoItem : t->items.at(item).parent; p != kNoItem;
       p = t->items.at(p).parent) {
    ancestors.push_back(p);
  }
  for (auto a = ancestors.rbegin(); a != ancestors.rend(); ++a) {
    if (t->items.count(*a) != 0 && !t->items.at(*a).expanded) Expand(tree, *a, kTveExpand);
  }
  if (item != kNoItem && t->items.count(item) == 0) return false;
  SetCaret(tree, *t, item);
  return true;
}

bool SimTreeView::EnsureVisible(WindowHandle tree, TreeItem item) {
  Tree* t = TreeOf(tree, "EnsureVisible");
  if (t == nullptr || ItemOf(*t, item, "EnsureVisible") == nullptr) return false;
  t->ensureVisible.push_back(item);
  return true;
}

void SimTreeView::SetImageList(WindowHandle tree, ImageList images) {
  Tree* t = TreeOf(tree, "SetImageList");
  if (t == nullptr) return;
  if (images != kNoImageList) {
    auto found = imageLists_.find(images);
    if (found == imageLists_.end() || found->second.destroyed) {
      ui_.Fail("SetImageList: image list " + std::to_string(images) + " does not exist");
      return;
    }
  }
  t->images = images;
}

ImageList SimTreeView::ImageList_Create(int cx, int cy, std::uint32_t /*flags*/, int /*initial*/,
                                        int /*grow*/) {
  if (failImageListCreate_) return kNoImageList;
  ImageList handle = nextImageList_++;
  imageLists_[handle] = Images{cx, cy, {}};
  return handle;
}

int SimTreeView::ImageList_AddIcon(ImageList images, int iconId) {
  auto found = imageLists_.find(images);
  if (found == imageLists_.end() || found->second.destroyed) {
    ui_.Fail("ImageList_AddIcon: image list " + std::to_string(images) + " does not exist");
    return -1;
  }
  if (!IsKnownIcon(iconId)) return -1;  // LoadIconA finds no such resource
  found->second.icons.push_back(iconId);
  return static_cast<int>(found->second.icons.size()) - 1;
}

void SimTreeView::ImageList_Destroy(ImageList images) {
  auto found = imageLists_.find(images);
  if (found == imageLists_.end() || found->second.destroyed) {
    ui_.Fail("ImageList_Destroy: image list " + std::to_string(images) + " does not exist");
    return;
  }
  found->second.destroyed = true;
}

TreeItem SimTreeView::FindItem(WindowHandle tree, const std::string& path) const {
  const Tree* t = FindTree(tree);
  if (t == nullptr) return kNoItem;
  // Each level takes the child whose whole text comes next, followed by a
  // backslash or the end; so a text whose last byte is 0x5C (the second
  // byte of a double-byte character) is found without knowing the code page.
  TreeItem item = kNoItem;
  std::string_view rest = path;
  while (true) {
    const std::vector<TreeItem>& siblings = item == kNoItem ? t->roots : t->items.at(item).children;
    auto match = std::find_if(siblings.begin(), siblings.end(), [&](TreeItem s) {
      const std::string& text = t->items.at(s).text;
      return rest.substr(0, text.size()) == text &&
             (rest.size() == text.size() || rest[text.size()] == '\\');
    });
    if (match == siblings.end()) return kNoItem;
    item = *match;
    const std::size_t used = t->items.at(item).text.size();
    if (used == rest.size()) return item;
    rest = rest.substr(used + 1);
  }
}

std::vector<std::string> SimTreeView::ChildTexts(WindowHandle tree, TreeItem item) const {
  std::vector<std::string> texts;
  const Tree* t = FindTree(tree);
  if (t == nullptr || (item != kNoItem && t->items.count(item) == 0)) return texts;
  for (TreeItem child : item == kNoItem ? t->roots : t->items.at(item).children) {
    texts.push_back(t->items.at(child).text);
  }
  return texts;
}

bool SimTreeView::HasExpandButton(WindowHandle tree, TreeItem item) const {
  const SimTreeItem* it = Item(tree, item);
  return it != nullptr && !it->children.empty();
}

const SimTreeItem* SimTreeView::Item(WindowHandle tree, TreeItem item) const {
  const Tree* t = FindTree(tree);
  if (t == nullptr) return nullptr;
  auto found = t->items.find(item);
  return found == t->items.end() ? nullptr : &found->second;
}

TreeItem SimTreeView::Caret(WindowHandle tree) const {
  const Tree* t = FindTree(tree);
  return t == nullptr ? kNoItem : t->caret;
}

std::vector<TreeItem> SimTreeView::EnsureVisibleCalls(WindowHandle tree) const {
  const Tree* t = FindTree(tree);
  return t == nullptr ? std::vector<TreeItem>{} : t->ensureVisible;
}

ImageList SimTreeView::AttachedImageList(WindowHandle tree) const {
  const Tree* t = FindTree(tree);
  return t == nullptr ? kNoImageList : t->images;
}

std::vector<int> SimTreeView::Icons(ImageList images) const {
  auto found = imageLists_.find(images);
  return found == imageLists_.end() ? std::vector<int>{} : found->second.icons;
}

std::pair<int, int> SimTreeView::ImageSize(ImageList images) const {
  auto found = imageLists_.find(images);
  if (found == imageLists_.end()) return {0, 0};
  return {found->second.width, found->second.height};
}

int SimTreeView::LiveImageLists() const {
  return static_cast<int>(std::count_if(imageLists_.begin(), imageLists_.end(),
                                        [](const auto& entry) { return !entry.second.destroyed; }));
}

}  // namespace qvx::sim
