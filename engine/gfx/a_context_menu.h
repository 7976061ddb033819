#pragma once
// A pop-up menu of text rows (plain, check, radio, submenu) with separators
// and nested submenus that open after a hover delay, driven by the mouse
// once per frame. It lays itself out with a text font shared by every menu
// ("ContextMenuFont", made through the graphics server while a menu lives)
// and draws nothing. Main thread only.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/gfx/a_gdi.h"

namespace platform {
class GfxFont;
}

enum aContextMenuItemType : std::uint32_t {
    MENU_ITEM_PLAIN = 0,
    MENU_ITEM_CHECK = 1,
    MENU_ITEM_RADIO = 2,
    MENU_ITEM_SUBMENU = 3,
};

// aContextMenu::update results.
enum aContextMenuStatus : int {
    MENU_CHOSEN = 0,
    MENU_CLOSED = 1,
    MENU_NOT_OPEN = 2,
    MENU_OVER = 3,
    MENU_OUTSIDE = 4,
};

// What aContextMenu::setItemState changes.
enum aContextMenuItemState : std::uint32_t {
    MENU_STATE_ENABLED = 0,
    MENU_STATE_CHECKED = 1,
    MENU_STATE_SUBMENU = 2,
};

class aContextMenu {
public:
    static constexpr int kFontHeight = 16;
    static constexpr int kLineHeight = kFontHeight + kFontHeight / 5;
    static constexpr int kSeparatorHeight = kFontHeight * 6 / 10;
    // Rows start this far below the top; the hit test keeps this far inside.
    static constexpr int kMargin = 4;
    static constexpr float kSubmenuDelay = 0.4f;
    static constexpr const char* kFontName = "ContextMenuFont";

    struct Descriptor {
        std::string label;  // Windows-1251
        std::uint32_t itemType = MENU_ITEM_PLAIN;
        aContextMenu* submenu = nullptr;  // not owned
    };
    struct Item {
        std::uint32_t id = 0;
        std::uint8_t enabled = 1;
        std::uint8_t checked = 0;
        aContextMenu* submenu = nullptr;
        float y = 0.0f;  // from the menu's top
    };

    aContextMenu();
    ~aContextMenu();
    aContextMenu(const aContextMenu&) = delete;
    aContextMenu& operator=(const aContextMenu&) = delete;

    // Plain descriptors for every label; width and height both 0 take the
    // graphics server's back-buffer size.
    void setItems(const std::map<std::uint32_t, std::string>& labels, std::uint32_t separatorId,
                  std::uint32_t screenWidth, std::uint32_t screenHeight);
    void setItemType(std::uint32_t id, std::uint32_t type);
    // Makes the item a submenu row; the submenu is the caller's.
    void setSubmenu(std::uint32_t id, aContextMenu* submenu);
    // The rows shown, in order. An id without a descriptor is logged and left out.
    void layout(const std::vector<std::uint32_t>& ids);
    // For every row of that id: enabled or checked (checking a radio row
    // selects it within its run of radio rows).
    void setItemState(std::uint32_t id, std::uint32_t what, int value);
    // MENU_STATE_SUBMENU: the rows' submenu.
    void setItemState(std::uint32_t id, std::uint32_t what, aContextMenu* submenu);

    // Opens to the left or upwards where the menu would pass the screen's
    // right or bottom edge.
    void open(float x, float y);
    // x, y: the parent row's right edge and top.
    void openAsSubmenu(float x, float y, float parentWidth);
    // aContextMenuStatus. An open submenu runs first.
    int update(float dt, std::int32_t mouseX, std::int32_t mouseY);
    // The hovered row's id; with none, the row whose submenu is open; else
    // -1. Once a choice closed the menu: the chosen id, even from a submenu.
    std::int32_t getSelectedId() const;
    // The last menu of the chain of open submenus (this one when none is).
    aContextMenu* getInnermostOpen();
    // Closes the menu and every submenu open below it.
    void close();

    bool isOpen() const { return m_open; }
    bool isSubmenuOpen() const { return m_submenuOpen; }
    float getX() const { return m_x; }
    float getY() const { return m_y; }
    float getWidth() const { return m_width; }
    float getHeight() const { return m_height; }
    std::int32_t getHoveredItem() const { return m_hoveredItem; }
    const std::vector<Item>& getItems() const { return m_items; }
    void setCloseOnClick(bool on) { m_closeOnClick = on; }

    // Menus alive and the font they share (null while none lives, or
    // while the graphics server has no device).
    static int liveCount();
    static platform::GfxFont* font();

    aGDI m_gdi;

private:
    std::uint32_t typeOf(std::uint32_t id) const;
    void selectRadio(std::size_t row);
    int measure(const std::string& label) const;
    bool rowAt(std::int32_t mouseX, std::int32_t mouseY);
    void closeSubmenu();

    std::uint32_t m_screenWidth = 0;
    std::uint32_t m_screenHeight = 0;
    std::uint32_t m_separatorId = 0;
    bool m_open = false;
    bool m_closeOnClick = true;
    bool m_isSubmenu = false;
    bool m_submenuOpen = false;
    float m_submenuDelay = kSubmenuDelay;
    std::int32_t m_openSubmenuItem = -1;
    aContextMenu* m_openSubmenu = nullptr;  // while m_submenuOpen
    float m_x = 0.0f;
    float m_y = 0.0f;
    float m_width = 0.0f;
    float m_height = 0.0f;
    std::int32_t m_hoveredItem = -1;  // -2: the mouse is outside
    // The id chosen last, kept until the next open, so that a choice made
    // in a submenu survives the closing of the chain.
    std::int32_t m_chosenId = -1;
    std::map<std::uint32_t, Descriptor> m_descriptors;
    std::vector<Item> m_items;
};
