#pragma once
// Makes widgets from the type words of script sections ("window",
// "statictext" ...), compared ignoring case. One factory exists, made on
// first use; it registers the toolkit's widget classes then, in a fixed
// order, through one registration function (no static initializers: the
// engine is a static library, and the linker drops unreferenced objects).
#include <map>
#include <memory>
#include <string>

#include "engine/util/a_string.h"

namespace GUI {

class Widget;

class WidgetFactory {
public:
    // Makes a new widget with that name, owned by the caller.
    using Creator = Widget* (*)(const std::string& name);

    static WidgetFactory& Instance();

    virtual ~WidgetFactory() = default;
    WidgetFactory(const WidgetFactory&) = delete;
    WidgetFactory& operator=(const WidgetFactory&) = delete;

    // False, and the first creator kept, when the word is taken.
    template <class T>
    bool RegisterWidget(const std::string& word)
    {
        return Register(word, [](const std::string& name) -> Widget* { return new T(name); });
    }
    bool Register(const std::string& word, Creator creator);

    // Null, and a log line, for an unregistered word. The widget has no
    // parent; its creation is logged with its class's own type name.
    std::unique_ptr<Widget> NewWidget(const std::string& word, const std::string& name) const;

private:
    WidgetFactory();

    std::map<std::string, Creator, aLessNoCase> m_creators;
};

} // namespace GUI
