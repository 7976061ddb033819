#include "engine/gui/gui_widget_factory.h"

#include "engine/gui/gui_checkbox.h"
#include "engine/gui/gui_editbox.h"
#include "engine/gui/gui_image_button.h"
#include "engine/gui/gui_listbox.h"
#include "engine/gui/gui_memo.h"
#include "engine/gui/gui_menus.h"
#include "engine/gui/gui_option_button.h"
#include "engine/gui/gui_scrollbar.h"
#include "engine/gui/gui_shape.h"
#include "engine/gui/gui_slider.h"
#include "engine/gui/gui_spinner.h"
#include "engine/gui/gui_static_anim.h"
#include "engine/gui/gui_static_image.h"
#include "engine/gui/gui_static_text.h"
#include "engine/gui/gui_style_button.h"
#include "engine/gui/gui_widget.h"
#include "engine/gui/gui_window.h"
#include "engine/util/a_log.h"

namespace GUI {

namespace {

// Every widget class of the toolkit, in this order: checkbox, editbox,
// imagebutton, listbox, mainmenu, menuitem, optionbutton, popupmenu,
// radiobutton, scrollbar, shape, slider, spinner, staticanim, staticimage,
// statictext, stylebutton, tooltip, widget, window, memo. A class joins by
// its line at its place here.
void RegisterToolkitWidgets(WidgetFactory& factory)
{
    factory.RegisterWidget<Checkbox>("checkbox");
    factory.RegisterWidget<Editbox>("editbox");
    factory.RegisterWidget<ImageButton>("imagebutton");
    factory.RegisterWidget<Listbox>("listbox");
    factory.RegisterWidget<MainMenu>("mainmenu");
    factory.RegisterWidget<MenuItem>("menuitem");
    factory.RegisterWidget<OptionButton>("optionbutton");
    factory.RegisterWidget<PopupMenu>("popupmenu");
    factory.RegisterWidget<RadioButton>("radiobutton");
    factory.RegisterWidget<Scrollbar>("scrollbar");
    factory.RegisterWidget<Shape>("shape");
    factory.RegisterWidget<Slider>("slider");
    factory.RegisterWidget<Spinner>("spinner");
    factory.RegisterWidget<StaticAnim>("staticanim");
    factory.RegisterWidget<StaticImage>("staticimage");
    factory.RegisterWidget<StaticText>("statictext");
    factory.RegisterWidget<StyleButton>("stylebutton");
    factory.RegisterWidget<Tooltip>("tooltip");
    factory.RegisterWidget<Widget>("widget");
    factory.RegisterWidget<Window>("window");
    factory.RegisterWidget<Memo>("memo");
}

} // namespace

WidgetFactory& WidgetFactory::Instance()
{
    static WidgetFactory factory;
    return factory;
}

WidgetFactory::WidgetFactory() { RegisterToolkitWidgets(*this); }

bool WidgetFactory::Register(const std::string& word, Creator creator)
{
    if (!creator)
        return false;
    return m_creators.emplace(word, creator).second;
}

std::unique_ptr<Widget> WidgetFactory::NewWidget(const std::string& word, const std::string& name) const
{
    const auto it = m_creators.find(word);
    if (it == m_creators.end()) {
        a_log("WidgetFactory::NewWidget - cannot create widget '%s' of unregistered class '%s'", name.c_str(),
              word.c_str());
        return nullptr;
    }
    std::unique_ptr<Widget> widget(it->second(name));
    a_log("Created new %s '%s'", widget->GetTypeName(), widget->GetName().c_str());
    return widget;
}

} // namespace GUI
