#include "engine/gui/gui_draw.h"

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"

namespace GUI {

ScopedClip::ScopedClip(const aRect& rect) : m_server(g_application ? g_application->m_graphServer : nullptr)
{
    if (!m_server)
        return;
    m_kept = m_server->m_viewport;
    m_server->setViewport(m_kept.getIntersection(rect));
}

ScopedClip::~ScopedClip()
{
    if (m_server)
        m_server->setViewport(m_kept);
}

} // namespace GUI
