#pragma once
// Small pieces the in-game dialogs share: texts by id with the fallback
// text, and widget areas kept as designed. Main thread only.
#include <string>

#include "engine/gui/gui_widget.h"
#include "engine/util/a_rect.h"

// The text of the key under the group prefix; when the tables lack it,
// "String '<key>' not found!" with the key read as Windows-1251.
std::wstring DialogText(const std::string& key, const std::string& prefix);

// A widget's area as the script laid it out, to grow the widget and go back.
class CDesignedArea {
public:
    // Keeps the widget's area now; a null widget keeps nothing.
    void Keep(GUI::Widget* widget);
    GUI::Widget* get() const { return m_widget.get(); }
    const aRect& area() const { return m_area; }
    // The designed area back, when the widget still lives.
    void Restore() const;

private:
    GUI::WidgetRef m_widget;
    aRect m_area;
};
