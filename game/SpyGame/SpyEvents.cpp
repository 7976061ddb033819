#include "game/SpyGame/SpyEvents.h"

#include "engine/util/a_log.h"

namespace SpyEvents {

namespace {

constexpr std::uint32_t kOptional = CSpyEventBase::UsageOptional;
constexpr std::uint32_t kRequired = CSpyEventBase::UsageRequired;

} // namespace

void EAddISpyToTask::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (GetOwner())
        ReadInt(ini, "ISpyCount", kRequired, ISpyCount, 0);
}

void EAddScore::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (GetOwner())
        ReadInt(ini, "AddScore", kRequired, AddScore, 0);
}

void EChangePersonageInfo::SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager)
{
    CSpyEventBase::SetOwner(owner, manager);
    SetUsage(KeyWaitCloseMessage, UsageUnused);
}

void EChangePersonageInfo::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (!GetOwner())
        return;
    ReadText(ini, "ForPersonage", kOptional, ForPersonage);
    ReadText(ini, "Item", kRequired, Item);
    ReadText(ini, "TypeInfo", kRequired, TypeInfo);
    ReadText(ini, "NewInfo", kRequired, NewInfo);
}

void EChangePersonages::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (!GetOwner())
        return;
    ReadList(ini, "QuitPersonages", kOptional, QuitPersonages);
    ReadList(ini, "NewPersonages", kOptional, NewPersonages);
    ReadText(ini, "TextIdPrefix", kOptional, TextIdPrefix);
    ReadText(ini, "Ringtone", kOptional, Ringtone);
    ReadFlag(ini, "IsGoToMap", kOptional, IsGoToMap, true);
    std::list<std::string> tokens;
    ReadList(ini, "SendItemsList", kOptional, tokens);
    SendItems.clear();
    for (const std::string& token : tokens) {
        const std::size_t arrow = token.find('>');
        const std::size_t colon = token.find(':');
        // The task lies between the ':' and the '>', so the ':' comes first.
        if (arrow == std::string::npos || colon == std::string::npos || colon > arrow) {
            a_log("EChangePersonages::ReadFromIniFile(). Error in expression: %s", token.c_str());
            continue;
        }
        SendItems.push_back({token.substr(0, colon), token.substr(arrow + 1), token.substr(colon + 1, arrow - colon - 1)});
    }
    ReadList(ini, "SendFinishedTasks", kOptional, SendFinishedTasks);
}

void EChangeVisibleTasks::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (!GetOwner())
        return;
    ReadList(ini, "HideRoomTasks", kOptional, HideRoomTasks);
    ReadList(ini, "ShowRoomTasks", kOptional, ShowRoomTasks);
    ReadList(ini, "HideInvTasks", kOptional, HideInvTasks);
    ReadList(ini, "ShowInvTasks", kOptional, ShowInvTasks);
}

void EDelFromInventory::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (GetOwner())
        ReadList(ini, "DelItems", kRequired, DelItems);
}

void EEventForComics::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (!GetOwner())
        return;
    ReadText(ini, "ComicsName", kRequired, ComicsName);
    ReadText(ini, "ComicsMusic", kOptional, ComicsMusic);
}

void EEventForItem::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (!GetOwner())
        return;
    ReadText(ini, "NPC_Image", kOptional, NPC_Image);
    ReadText(ini, "TextId", kOptional, TextId);
    ReadText(ini, "HideItem", kOptional, HideItem);
    ReadText(ini, "ShowItem", kOptional, ShowItem);
    ReadInt(ini, "AddScore", kOptional, AddScore, 0);
}

void ELocationFinish::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (!GetOwner())
        return;
    ReadFlag(ini, "DisableOnMap", kOptional, DisableOnMap, true);
    ReadFlag(ini, "HideOnMap", kOptional, HideOnMap, false);
    ReadText(ini, "TextId", kOptional, TextId);
}

void EInvestigationClose::SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager)
{
    CSpyEventBase::SetOwner(owner, manager);
    SetUsage(KeyLocation, UsageUnused);
    SetUsage(KeyNotInCloseUp, UsageUnused);
    SetUsage(KeyPersonage, UsageUnused);
}

void EInvestigationWin::SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager)
{
    CSpyEventBase::SetOwner(owner, manager);
    SetUsage(KeyNotInCloseUp, UsageUnused);
    SetUsage(KeyPersonage, UsageUnused);
}

void EInvestigationWin::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (!GetOwner())
        return;
    ReadFlag(ini, "IsEndGame", kOptional, IsEndGame, false);
    ReadFlag(ini, "IsGoToMap", kOptional, IsGoToMap, false);
}

void EJumpToRoom::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (!GetOwner())
        return;
    ReadText(ini, "JumpRoomName", kRequired, JumpRoomName);
    ReadFlag(ini, "BackDisable", kOptional, BackDisable, false);
    ReadFlag(ini, "MapDisable", kOptional, MapDisable, false);
}

void EMagicStarsChanger::SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager)
{
    CSpyEventBase::SetOwner(owner, manager);
    SetUsage(KeyLocation, UsageUnused);
    SetUsage(KeyNotInCloseUp, UsageUnused);
    SetUsage(KeyWaitCloseMessage, UsageUnused);
}

void EMagicStarsChanger::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (!GetOwner())
        return;
    ReadList(ini, "Items", kRequired, Items);
    ReadFlag(ini, "ShowStars", kOptional, ShowStars, false);
    ReadInt(ini, "AddScore", kOptional, AddScore, 0);
}

void ENpcItemIdent::SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager)
{
    CSpyEventBase::SetOwner(owner, manager);
    SetUsage(KeyItemInInventory, UsageRequired);
}

void ENpcItemIdent::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (!GetOwner())
        return;
    ReadText(ini, "NPC_Image", kRequired, NPC_Image);
    ReadText(ini, "TextId", kRequired, TextId);
    Item = GetItemInInventory();
    ReadText(ini, "ShowItem", kRequired, ShowItem);
    ReadFlag(ini, "IsDelItem", kOptional, IsDelItem, false);
    ReadText(ini, "OpenItem", kOptional, OpenItem);
}

void EPersonagesDialog::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (!GetOwner())
        return;
    std::list<std::string> names;
    ReadList(ini, "DialogWithPersonages", kRequired, names);
    DialogWithPersonages.insert(DialogWithPersonages.end(), names.begin(), names.end());
    ReadText(ini, "TextIdPrefix", kRequired, TextIdPrefix);
}

void EPlayFlash::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (!GetOwner())
        return;
    ReadText(ini, "FlashFile", kRequired, FlashFile);
    ReadText(ini, "MusicName", kOptional, MusicName);
}

void EPuzzleComplete::SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager)
{
    CSpyEventBase::SetOwner(owner, manager);
    SetUsage(KeyNotInCloseUp, UsageUnused);
    SetUsage(KeyItemInInventory, UsageUnused);
}

void EPuzzleComplete::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (GetOwner())
        ReadFlag(ini, "Visible", kRequired, Visible, false);
}

void ESetTaskCompleted::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (!GetOwner())
        return;
    ReadText(ini, "TaskItem", kRequired, TaskItem);
    ReadText(ini, "ActionType", kRequired, ActionType);
    ReadText(ini, "Sound", kOptional, Sound);
    ReadInt(ini, "AddScore", kOptional, AddScore, 0);
}

void EShowMessage::ReadFromIniFile(aOptionsFile& ini)
{
    CSpyEventBase::ReadFromIniFile(ini);
    if (!GetOwner())
        return;
    ReadText(ini, "TextId", kRequired, TextId);
    ReadInt(ini, "AddScore", kOptional, AddScore, 0);
}

} // namespace SpyEvents

namespace {

template <class Kind>
void registerKind()
{
    CSpyEventFactory::Register<Kind>(Kind::GetClassStaticName());
}

} // namespace

void RegisterEventKinds()
{
    using namespace SpyEvents;
    registerKind<EAddISpyToTask>();
    registerKind<EAddScore>();
    registerKind<EChangePersonageInfo>();
    registerKind<EChangePersonages>();
    registerKind<EChangeVisibleTasks>();
    registerKind<EDelFromInventory>();
    registerKind<EEventForComics>();
    registerKind<EEventForItem>();
    registerKind<EFAFinish>();
    registerKind<EInvestigationClose>();
    registerKind<EInvestigationWin>();
    registerKind<EJumpToRoom>();
    registerKind<ELocationFinish>();
    registerKind<EMagicStarsChanger>();
    registerKind<EMHFinish>();
    registerKind<ENpcItemIdent>();
    registerKind<EPersonagesDialog>();
    registerKind<EPlayFlash>();
    registerKind<EPuzzleComplete>();
    registerKind<ESearchFinish>();
    registerKind<ESetTaskCompleted>();
    registerKind<EShowMessage>();
    registerKind<CSpyEventBase>();
}
