// The message's save record: the input is the record of the block
// "<DialogMessage>". A message on a script with its window and children
// loads it, slides and times out for a few frames with the loaded state,
// takes a click on its window, and is saved again.
#include <string>
#include <vector>

#include "engine/gui/gui_server.h"
#include "fuzz/fuzz_support.h"
#include "game/SpyGame/Dialogs/DialogMessage.h"
#include "game/shell/save_load_system.h"
#include "support/save_blocks.h"

namespace {

GUI::Server& gui()
{
    return fuzz::scriptedGui("message.agui", "staticimage Message\n{\nAreaRect 200 650 600 100\n"
                                             "staticimage PersIcon\n{\nAreaRect 10 10 80 80\n}\n"
                                             "statictext text\n{\nAreaRect 100 10 400 80\n}\n"
                                             "widget Close\n{\nAreaRect 560 10 30 30\n}\n}\n");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::recordingGraphics();
    GUI::Widget* window = gui().GetRoot()->FindChild("Message", true);
    CDialogMessage message;
    message.Init();
    message.ShowMessageTimed("id", "", 0.05f);

    save_blocks::loadRecord(message, CDialogMessage::kEntityKey, data, size, "fuzz");
    for (float dt : {0.0f, 0.02f, 0.2f, 1.5f}) {
        message.Update(dt);
        window->LaunchEvent(GUI::EventBeginRender, GUI::WidgetEventArgs(window));
    }
    message.ShowMessageTimed(message.GetStringId(), "", 0.1f);
    message.Update(0.5f);
    window->LaunchEvent(GUI::EventClick, GUI::WidgetEventArgs(window));
    message.Update(0.5f);
    SaveLoadSystem out;
    out.BeginSave(fuzz::tempDir() + "message.save", 4374);
    out.SaveEntity(&message);
    out.Finish();
    return 0;
}
