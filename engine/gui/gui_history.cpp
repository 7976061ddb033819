#include "engine/gui/gui_history.h"

#include "engine/gui/gui_memo.h"

namespace GUI {

History::~History()
{
    Clear(redoList);
    Clear(undoList);
}

void History::Add(std::unique_ptr<HistoryEvent> event)
{
    if (!event)
        return;
    undoList.push_front(std::move(event));
    if (undoList.size() > maximum)
        undoList.pop_back();
    Clear(redoList);
}

void History::Move(List& from, List& to)
{
    if (from.empty())
        return;
    std::unique_ptr<HistoryEvent> event = std::move(from.front());
    from.pop_front();
    if (!event->Fits())
        return;
    event->Apply();
    to.push_front(std::move(event));
}

bool HistoryInsertTextEvent::Fits() const
{
    if (!memo)
        return false;
    const std::wstring& t = memo->text;
    if (!present)
        return position <= t.size();
    return position <= t.size() && t.compare(position, text.size(), text) == 0;
}

bool HistoryInsertTextEvent::Apply()
{
    if (!memo || !Fits())
        return present;
    const std::uint32_t length = std::uint32_t(text.size());
    if (present)
        memo->text.erase(position, length);
    else
        memo->text.insert(position, text);
    present = !present;
    memo->RebuildLayout();
    const std::uint32_t end = present ? position + length : position;
    memo->SetSelection(present && selectOnInsert ? position : end, end);
    memo->SetCaretPos(end);
    memo->TextEdited();
    return present;
}

} // namespace GUI
