#pragma once
// Undo and redo steps of a memo. A step toggles: undoing applies it once,
// redoing applies it again. The only kind is a piece of text at a position
// that is either in the memo's text or not. Steps are not merged.
#include <cstdint>
#include <list>
#include <memory>
#include <string>

namespace GUI {

class Memo;

class History {
public:
    class HistoryEvent {
    public:
        virtual ~HistoryEvent() = default;
        // Toggles the step; true when its piece is now present.
        virtual bool Apply() = 0;
        // False when the step no longer matches what it edits; such a
        // step is dropped instead of applied.
        virtual bool Fits() const { return true; }
    };
    using List = std::list<std::unique_ptr<HistoryEvent>>;

    History() = default;
    virtual ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    void SetSize(std::uint16_t n) { maximum = n; }
    // Puts the step first in the undo list, drops the oldest beyond the
    // maximum and empties the redo list. Null is ignored.
    void Add(std::unique_ptr<HistoryEvent> event);
    // The newest step of one list applied and moved to the front of the
    // other; nothing when the list is empty.
    void Undo() { Move(undoList, redoList); }
    void Redo() { Move(redoList, undoList); }
    static void Clear(List& list) { list.clear(); }

    List undoList;  // newest first
    List redoList;  // most recently undone first
    std::uint16_t maximum = 64;

private:
    static void Move(List& from, List& to);
};

// A piece of a memo's text: removing it when present, putting it back
// (unfiltered, beyond any length limit) when absent.
class HistoryInsertTextEvent : public History::HistoryEvent {
public:
    HistoryInsertTextEvent(std::uint32_t pos, std::wstring piece, Memo* target, bool select)
        : position(pos), text(std::move(piece)), memo(target), selectOnInsert(select)
    {
    }

    bool Apply() override;
    // Present: the piece stands at its position; absent: the position lies
    // in the text.
    bool Fits() const override;

    std::uint32_t position;
    std::wstring text;
    Memo* memo;           // not owned
    bool selectOnInsert;  // a piece put back is selected (else the caret follows it)
    bool present = true;
};

} // namespace GUI
