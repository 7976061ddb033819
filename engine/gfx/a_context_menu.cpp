#include "engine/gfx/a_context_menu.h"

#include <cstring>

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "platform/gfx/d3dx8.h"

namespace {

int g_liveMenus = 0;
// Made into by the graphics server, and again after every reset; the
// server clears it when it releases its fonts.
platform::GfxFont* g_menuFont = nullptr;
// The server the font is registered with; null while it is not.
aGraphServer* g_fontServer = nullptr;

aGraphServer* graphServer() { return g_application ? g_application->m_graphServer : nullptr; }
aInputServer* inputServer() { return g_application ? g_application->m_inputServer : nullptr; }

void registerFont(aGraphServer* server)
{
    LOGFONTA font;
    font.lfHeight = aContextMenu::kFontHeight;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(font.lfFaceName, "Arial", sizeof font.lfFaceName - 1);
    server->createFont(aContextMenu::kFontName, font, &g_menuFont);
    g_fontServer = server;
}

void unregisterFont()
{
    aGraphServer* server = graphServer();
    // Only the server that still holds our record: a server made since
    // never had it, and a deleted one released the font itself.
    if (server && server == g_fontServer) {
        auto it = server->m_fonts.find(aContextMenu::kFontName);
        if (it != server->m_fonts.end() && it->second.target == &g_menuFont)
            server->deleteFont(aContextMenu::kFontName);
    }
    g_menuFont = nullptr;
    g_fontServer = nullptr;
}

} // namespace

aContextMenu::aContextMenu()
{
    if (g_liveMenus++ == 0) {
        if (!g_application)
            a_log("aContextMenu. Error, aApplication object not created!");
        if (!graphServer())
            a_log("aContextMenu. Error, aGraphServer object not created!");
        if (!inputServer())
            a_log("aContextMenu. Error, aInputServer object not created!");
    }
    if (!g_fontServer && graphServer())
        registerFont(graphServer());
}

aContextMenu::~aContextMenu()
{
    if (--g_liveMenus == 0)
        unregisterFont();
}

int aContextMenu::liveCount() { return g_liveMenus; }

platform::GfxFont* aContextMenu::font() { return g_menuFont; }

void aContextMenu::setItems(const std::map<std::uint32_t, std::string>& labels, std::uint32_t separatorId,
                            std::uint32_t screenWidth, std::uint32_t screenHeight)
{
    m_descriptors.clear();
    for (const auto& [id, label] : labels)
        m_descriptors[id] = Descriptor{label, MENU_ITEM_PLAIN, nullptr};
    m_separatorId = separatorId;
    if (screenWidth == 0 && screenHeight == 0) {
        if (const aGraphServer* gs = graphServer()) {
            screenWidth = gs->m_backBufferWidth;
            screenHeight = gs->m_backBufferHeight;
        }
    }
    m_screenWidth = screenWidth;
    m_screenHeight = screenHeight;
}

void aContextMenu::setItemType(std::uint32_t id, std::uint32_t type)
{
    m_descriptors[id].itemType = type;
}

void aContextMenu::setSubmenu(std::uint32_t id, aContextMenu* submenu)
{
    Descriptor& d = m_descriptors[id];
    d.itemType = MENU_ITEM_SUBMENU;
    d.submenu = submenu;
}

std::uint32_t aContextMenu::typeOf(std::uint32_t id) const
{
    auto it = m_descriptors.find(id);
    return it == m_descriptors.end() ? MENU_ITEM_PLAIN : it->second.itemType;
}

int aContextMenu::measure(const std::string& label) const
{
    if (!g_menuFont || label.empty())
        return 0;
    RECT r{0, 0, 0, 0};
    g_menuFont->DrawTextA(label.c_str(), -1, &r, DT_CALCRECT, 0xFF000000);
    return int(r.right - r.left);
}

void aContextMenu::layout(const std::vector<std::uint32_t>& ids)
{
    closeSubmenu();
    m_items.clear();
    m_hoveredItem = -1;
    float y = kMargin;
    const std::string* longest = nullptr;
    for (std::uint32_t id : ids) {
        auto it = m_descriptors.find(id);
        if (it == m_descriptors.end()) {
            a_log("aContextMenu::layout. No item with id %u", id);
            continue;
        }
        m_items.push_back(Item{id, 1, 0, it->second.submenu, y});
        y += id == m_separatorId ? kSeparatorHeight : kLineHeight;
        if (!longest || it->second.label.size() > longest->size())
            longest = &it->second.label;
    }
    m_height = y + kMargin;
    m_width = float((longest ? measure(*longest) : 0) + 2 * kFontHeight + 8);
}

void aContextMenu::setItemState(std::uint32_t id, std::uint32_t what, int value)
{
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        Item& row = m_items[i];
        if (row.id != id)
            continue;
        if (what == MENU_STATE_ENABLED) {
            row.enabled = value ? 1 : 0;
        } else if (what == MENU_STATE_CHECKED) {
            if (value && typeOf(id) == MENU_ITEM_RADIO)
                selectRadio(i);
            else
                row.checked = value ? 1 : 0;
        }
    }
}

void aContextMenu::setItemState(std::uint32_t id, std::uint32_t what, aContextMenu* submenu)
{
    if (what != MENU_STATE_SUBMENU)
        return;
    for (Item& row : m_items) {
        if (row.id == id)
            row.submenu = submenu;
    }
}

void aContextMenu::selectRadio(std::size_t row)
{
    std::size_t first = row, last = row;
    while (first > 0 && typeOf(m_items[first - 1].id) == MENU_ITEM_RADIO)
        --first;
    while (last + 1 < m_items.size() && typeOf(m_items[last + 1].id) == MENU_ITEM_RADIO)
        ++last;
    for (std::size_t i = first; i <= last; ++i)
        m_items[i].checked = 0;
    m_items[row].checked = 1;
}

void aContextMenu::open(float x, float y)
{
    if (x + m_width > float(m_screenWidth))
        x -= m_width;
    if (y + m_height > float(m_screenHeight))
        y -= m_height;
    m_x = x;
    m_y = y;
    closeSubmenu();
    m_isSubmenu = false;
    m_hoveredItem = -1;
    m_chosenId = -1;
    m_open = true;
}

void aContextMenu::openAsSubmenu(float x, float y, float parentWidth)
{
    x -= kMargin;
    y -= kMargin;
    const bool left = x + m_width > float(m_screenWidth);
    const bool up = y + m_height > float(m_screenHeight);
    open(x, y);
    m_isSubmenu = true;
    // To the left of the parent, and up so that it ends by the row's bottom.
    if (left)
        m_x = m_x - parentWidth + 8;
    if (up)
        m_y += kLineHeight + 8;
}

void aContextMenu::closeSubmenu()
{
    if (m_submenuOpen && m_openSubmenu)
        m_openSubmenu->close();
    m_openSubmenu = nullptr;
    m_submenuOpen = false;
    m_openSubmenuItem = -1;
    m_submenuDelay = kSubmenuDelay;
}

void aContextMenu::close()
{
    closeSubmenu();
    m_open = false;
}

std::int32_t aContextMenu::getSelectedId() const
{
    if (!m_open && m_chosenId >= 0)
        return m_chosenId;
    if (m_hoveredItem >= 0 && std::size_t(m_hoveredItem) < m_items.size())
        return std::int32_t(m_items[std::size_t(m_hoveredItem)].id);
    if (m_submenuOpen && m_openSubmenuItem >= 0 && std::size_t(m_openSubmenuItem) < m_items.size())
        return std::int32_t(m_items[std::size_t(m_openSubmenuItem)].id);
    return -1;
}

aContextMenu* aContextMenu::getInnermostOpen()
{
    aContextMenu* menu = this;
    while (menu->m_submenuOpen && menu->m_openSubmenu && menu->m_openSubmenu->m_open)
        menu = menu->m_openSubmenu;
    return menu;
}

bool aContextMenu::rowAt(std::int32_t mouseX, std::int32_t mouseY)
{
    const float mx = float(mouseX), my = float(mouseY);
    if (mx < m_x || mx >= m_x + m_width || my < m_y || my >= m_y + m_height) {
        m_hoveredItem = -2;
        return false;
    }
    m_hoveredItem = -1;
    if (mx < m_x + kMargin || mx >= m_x + m_width - kMargin || my < m_y + kMargin ||
        my >= m_y + m_height - kMargin)
        return true;
    for (std::size_t i = m_items.size(); i-- > 0;) {
        const Item& row = m_items[i];
        if (row.id == m_separatorId || !row.enabled)
            continue;
        const float top = m_y + row.y;
        if (my >= top && my < top + kLineHeight) {
            m_hoveredItem = std::int32_t(i);
            break;
        }
    }
    return true;
}

int aContextMenu::update(float dt, std::int32_t mouseX, std::int32_t mouseY)
{
    if (!m_open)
        return MENU_NOT_OPEN;
    const aInputServer* input = inputServer();
    const bool leftPressed = input && input->m_mouseButtons[0] == KEY_PRESSED;
    const bool leftReleased = input && input->m_mouseButtons[0] == KEY_RELEASED;

    if (m_submenuOpen) {
        const int status = m_openSubmenu->update(dt, mouseX, mouseY);
        if (status == MENU_NOT_OPEN) {
            // Closed by its owner: it may open again after the delay.
            m_openSubmenu = nullptr;
            m_submenuOpen = false;
            m_submenuDelay = kSubmenuDelay;
        } else if (status == MENU_CHOSEN) {
            // Taken before the chain closes: the submenu's row is gone after.
            m_chosenId = m_openSubmenu->getSelectedId();
            close();
            return MENU_CHOSEN;
        }
        if (status == MENU_CLOSED) {
            // Judged by where the press is now: on a row of this menu the
            // chain stays open.
            rowAt(mouseX, mouseY);
            if (m_hoveredItem < 0) {
                close();
                return MENU_CLOSED;
            }
        }
        if (status == MENU_OVER)
            return MENU_OVER;
    }

    const bool inside = rowAt(mouseX, mouseY);
    if (!inside && leftPressed && !m_submenuOpen) {
        if (!m_isSubmenu)
            close();
        return MENU_CLOSED;
    }

    if (m_hoveredItem >= 0) {
        const std::size_t index = std::size_t(m_hoveredItem);
        Item& row = m_items[index];
        const std::uint32_t type = typeOf(row.id);
        if (leftReleased && row.enabled) {
            if (type == MENU_ITEM_SUBMENU)
                return MENU_OVER;
            if (type == MENU_ITEM_CHECK)
                row.checked = row.checked ? 0 : 1;
            else if (type == MENU_ITEM_RADIO)
                selectRadio(index);
            m_chosenId = std::int32_t(row.id);
            if (m_closeOnClick)
                close();
            return MENU_CHOSEN;
        }
        if (type == MENU_ITEM_SUBMENU && m_openSubmenuItem != m_hoveredItem) {
            // Straight from one submenu row to another: the old one shuts first.
            closeSubmenu();
            m_openSubmenuItem = m_hoveredItem;
        }
    }

    if (m_hoveredItem != m_openSubmenuItem) {
        if (!inside && m_submenuOpen)
            return MENU_OUTSIDE;
        closeSubmenu();
    }

    if (!m_submenuOpen && m_openSubmenuItem >= 0) {
        m_submenuDelay -= dt;
        const Item& row = m_items[std::size_t(m_openSubmenuItem)];
        // A menu already open is in the chain: opening it again would loop.
        if (m_submenuDelay <= 0.0f && row.submenu && !row.submenu->m_open) {
            row.submenu->openAsSubmenu(float(int(m_x + m_width)), float(int(m_y + row.y)), m_width);
            m_openSubmenu = row.submenu;
            m_submenuOpen = true;
        }
    }
    return inside ? MENU_OVER : MENU_OUTSIDE;
}
