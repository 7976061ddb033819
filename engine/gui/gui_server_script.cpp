// The meaning of GUI script sections and entries.
#include <cstdio>

#include "engine/gfx/a_font.h"
#include "engine/gui/gui_server.h"
#include "engine/gui/gui_widget_factory.h"
#include "engine/util/a_log.h"

namespace GUI {

namespace {

// The tokens after the first, joined by single blanks.
std::string valueOf(const std::vector<std::string>& tokens)
{
    std::string value;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        if (i > 1)
            value += ' ';
        value += tokens[i];
    }
    return value;
}

// The name a table section's header gives, or null (and a log line) when it
// gives none or the table has it already.
template <class Table>
const std::string* newName(const std::vector<std::string>& tokens, const Table& table, const char* missing,
                           const char* taken)
{
    if (tokens.size() < 2) {
        a_log("%s", missing);
        return nullptr;
    }
    if (table.count(tokens[1])) {
        a_log(taken, tokens[1].c_str());
        return nullptr;
    }
    return &tokens[1];
}

} // namespace

void Server::onParseBegin(const std::string& fileName)
{
    a_log("GUI script '%s' parsing started", fileName.c_str());
    m_widgetStack.clear();
    m_widget = Held(root.get());
    m_style = nullptr;
    m_template = nullptr;
    m_cursor = nullptr;
}

void Server::onParseEnd(const std::string& fileName)
{
    m_widgetStack.clear();
    m_widget = Held(root.get());
    a_log("GUI script '%s' parsing finished", fileName.c_str());
}

int Server::onSection(int parentValue, const std::vector<std::string>& tokens)
{
    if (tokens.empty())
        return 0;
    if (parentValue == SECTION_WIDGET)
        return BeginWidget(tokens);
    if (parentValue != 0)
        return 0;
    const std::string& word = tokens[0];
    if (str_equalNoCase(word, "fontlist"))
        return SECTION_FONTLIST;
    if (str_equalNoCase(word, "regionlist"))
        return SECTION_REGIONLIST;
    if (str_equalNoCase(word, "style")) {
        const std::string* name = newName(tokens, styles, "Server - style name not specified in section header",
                                          "Server - style '%s' already exists");
        if (!name)
            return 0;
        m_style = (styles[*name] = std::make_unique<Style>(*name)).get();
        m_style->BeginFillProperties();
        return SECTION_STYLE;
    }
    if (str_equalNoCase(word, "cursor")) {
        const std::string* name = newName(tokens, cursors, "Server - mouse cursor name not specified in section header",
                                          "Server - mouse cursor '%s' already exists");
        if (!name)
            return 0;
        m_cursor = (cursors[*name] = std::make_unique<MouseCursor>(*name)).get();
        m_cursor->BeginFillProperties();
        return SECTION_CURSOR;
    }
    if (str_equalNoCase(word, "template")) {
        const std::string* name = newName(tokens, templates, "Server. Template name not specified section header",
                                          "Server - template '%s' already exists");
        if (!name)
            return 0;
        m_template = &templates[*name];
        return SECTION_TEMPLATE;
    }
    return BeginWidget(tokens);
}

int Server::BeginWidget(const std::vector<std::string>& tokens)
{
    Widget* parent = m_widget.get();
    if (!parent) {
        scriptError("the enclosing widget is gone; section ignored");
        return 0;
    }
    std::string name;
    std::size_t firstParameter = 1;
    if (tokens.size() >= 2 && tokens[1].size() > 1 && tokens[1][0] != '<') {
        name = tokens[1];
        firstParameter = 2;
    } else {
        char buffer[49];
        std::snprintf(buffer, sizeof buffer, "auto%04u", unsigned(m_autoNames++));
        name = buffer;
    }
    std::unique_ptr<Widget> made = WidgetFactory::Instance().NewWidget(tokens[0], name);
    if (!made)
        return 0;
    Widget* widget = made.release();
    widget->autoDelete = true;
    parent->AddChild(widget);
    m_widgetStack.push_back(m_widget);
    m_widget = Held(widget);
    widget->BeginFillProperties();
    for (std::size_t i = firstParameter; i < tokens.size(); ++i) {
        const std::string& p = tokens[i];
        if (p.size() > 2 && p.front() == '<' && p.back() == '>')
            ApplyTemplate(p.substr(1, p.size() - 2), m_widget.get());
        else
            a_log("Server - invalid template parameter %d", int(i - firstParameter + 1));
    }
    return SECTION_WIDGET;
}

void Server::onSectionEnd(int value)
{
    switch (value) {
    case SECTION_STYLE:
        if (m_style)
            m_style->EndFillProperties();
        m_style = nullptr;
        break;
    case SECTION_CURSOR:
        if (m_cursor)
            m_cursor->EndFillProperties();
        m_cursor = nullptr;
        break;
    case SECTION_TEMPLATE:
        m_template = nullptr;
        break;
    case SECTION_WIDGET:
        if (Widget* widget = m_widget.get())
            widget->EndFillProperties();
        if (m_widgetStack.empty()) {
            m_widget = Held(root.get());
        } else {
            m_widget = m_widgetStack.back();
            m_widgetStack.pop_back();
        }
        break;
    default:
        break;
    }
}

void Server::onEntry(int value, const std::vector<std::string>& tokens)
{
    if (tokens.empty())
        return;
    switch (value) {
    case SECTION_FONTLIST:
    case SECTION_REGIONLIST: {
        const bool fontList = value == SECTION_FONTLIST;
        if (tokens.size() < 2) {
            scriptError(std::string(fontList ? "font" : "region") + " list entry '" + tokens[0] +
                        "' names no file");
            return;
        }
        if (fontList) {
            if (fonts.count(tokens[0])) {
                a_log("Server - font with name '%s' already exists", tokens[0].c_str());
                return;
            }
            fonts[tokens[0]] = std::make_unique<aFont>(tokens[1]);
        } else {
            if (regions.count(tokens[0])) {
                a_log("Server - region with name '%s' already exists", tokens[0].c_str());
                return;
            }
            auto region = std::make_unique<Region>();
            region->LoadFromBitmap(tokens[1]);
            regions[tokens[0]] = std::move(region);
        }
        return;
    }
    case SECTION_STYLE:
        if (m_style)
            m_style->Set(tokens[0], valueOf(tokens));
        return;
    case SECTION_CURSOR:
        if (m_cursor)
            m_cursor->Set(tokens[0], valueOf(tokens));
        return;
    case SECTION_TEMPLATE:
        if (m_template)
            m_template->emplace_back(tokens[0], valueOf(tokens));
        return;
    case SECTION_WIDGET:
        if (Widget* widget = m_widget.get())
            widget->Set(tokens[0], valueOf(tokens));
        return;
    default:
        return;
    }
}

} // namespace GUI
