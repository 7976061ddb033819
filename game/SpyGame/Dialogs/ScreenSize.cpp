#include "game/SpyGame/Dialogs/ScreenSize.h"

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"

CScreenSize GetScreenSize()
{
    CScreenSize size;
    const aGraphServer* graph = g_application ? g_application->m_graphServer : nullptr;
    if (graph && graph->m_backBufferWidth && graph->m_backBufferHeight) {
        size.width = graph->m_backBufferWidth;
        size.height = graph->m_backBufferHeight;
    }
    return size;
}
