#pragma once
// Widget kinds that behave exactly as the base widget and differ only in
// type name, so scripts and game code can tell them apart.
#include "engine/gui/gui_widget.h"

namespace GUI {

class Tooltip : public Widget {
public:
    using Widget::Widget;
    const char* GetTypeName() const override { return "Tooltip"; }
    bool IsA(const std::string& type) const override { return type == "Tooltip"; }
};

class MenuBase : public Widget {
public:
    using Widget::Widget;
    const char* GetTypeName() const override { return "MenuBase"; }
    bool IsA(const std::string& type) const override { return type == "MenuBase"; }
};

class MainMenu : public MenuBase {
public:
    using MenuBase::MenuBase;
    const char* GetTypeName() const override { return "MainMenu"; }
    bool IsA(const std::string& type) const override { return type == "MainMenu" || MenuBase::IsA(type); }
};

class PopupMenu : public MenuBase {
public:
    using MenuBase::MenuBase;
    const char* GetTypeName() const override { return "PopupMenu"; }
    bool IsA(const std::string& type) const override { return type == "PopupMenu" || MenuBase::IsA(type); }
};

class MenuItem : public Widget {
public:
    using Widget::Widget;
    const char* GetTypeName() const override { return "MenuItem"; }
    bool IsA(const std::string& type) const override { return type == "MenuItem"; }
};

} // namespace GUI
