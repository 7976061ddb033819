#pragma once
// The kinds of scripted events. Each is named E + its type name (the events
// file's section name), adds only data read from its own keys after the
// common ones, and may change the common keys' usage modes in SetOwner.
// What the investigation does when one fires is decided by its kind there.
// Integers are signed 32-bit, flags integer keys (non-zero is true), lists
// split at commas and blanks. Main thread only.
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "game/SpyGame/SpyEventBase.h"

namespace SpyEvents {

// The class names both ways.
template <class Kind>
class EKind : public CSpyEventBase {
public:
    static std::string GetClassStaticName() { return Kind::kClassName; }
    std::string GetClassName() const override { return Kind::kClassName; }
};

class EAddISpyToTask : public EKind<EAddISpyToTask> {
public:
    static constexpr const char* kClassName = "AddISpyToTask";
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::int32_t ISpyCount = 0;
};

class EAddScore : public EKind<EAddScore> {
public:
    static constexpr const char* kClassName = "AddScore";
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::int32_t AddScore = 0;
};

class EChangePersonageInfo : public EKind<EChangePersonageInfo> {
public:
    static constexpr const char* kClassName = "ChangePersonageInfo";
    void SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager) override;
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::string ForPersonage, Item, TypeInfo, NewInfo;
};

class EChangePersonages : public EKind<EChangePersonages> {
public:
    static constexpr const char* kClassName = "ChangePersonages";
    // One token of SendItemsList, source:task>target.
    struct SendItem {
        std::string source, target, task;
    };
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::list<std::string> QuitPersonages, NewPersonages;
    std::vector<SendItem> SendItems;
    std::list<std::string> SendFinishedTasks;
    std::string TextIdPrefix, Ringtone;
    bool IsGoToMap = true;
};

class EChangeVisibleTasks : public EKind<EChangeVisibleTasks> {
public:
    static constexpr const char* kClassName = "ChangeVisibleTasks";
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::list<std::string> HideRoomTasks, ShowRoomTasks, HideInvTasks, ShowInvTasks;
};

class EDelFromInventory : public EKind<EDelFromInventory> {
public:
    static constexpr const char* kClassName = "DelFromInventory";
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::list<std::string> DelItems;
};

class EEventForComics : public EKind<EEventForComics> {
public:
    static constexpr const char* kClassName = "EventForComics";
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::string ComicsName, ComicsMusic;
};

class EEventForItem : public EKind<EEventForItem> {
public:
    static constexpr const char* kClassName = "EventForItem";
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::string NPC_Image, TextId, HideItem, ShowItem;
    std::int32_t AddScore = 0;
};

// The end of a stage: Location required, NotInCloseUp unused.
template <class Kind>
class EStageFinish : public EKind<Kind> {
public:
    void SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager) override
    {
        CSpyEventBase::SetOwner(owner, manager);
        this->SetUsage(CSpyEventBase::KeyLocation, CSpyEventBase::UsageRequired);
        this->SetUsage(CSpyEventBase::KeyNotInCloseUp, CSpyEventBase::UsageUnused);
    }
};

// "FAFinish", "MHFinish" and "SearchFinish" share their keys.
template <class Kind>
class EFinish : public EStageFinish<Kind> {
public:
    void ReadFromIniFile(aOptionsFile& ini) override
    {
        CSpyEventBase::ReadFromIniFile(ini);
        if (!this->GetOwner())
            return;
        this->ReadFlag(ini, "IsGoToMap", CSpyEventBase::UsageOptional, IsGoToMap, false);
        this->ReadText(ini, "TextId", CSpyEventBase::UsageOptional, TextId);
    }
    std::string TextId;
    bool IsGoToMap = false;
};

class EFAFinish : public EFinish<EFAFinish> {
public:
    static constexpr const char* kClassName = "FAFinish";
};

class EMHFinish : public EFinish<EMHFinish> {
public:
    static constexpr const char* kClassName = "MHFinish";
};

class ESearchFinish : public EFinish<ESearchFinish> {
public:
    static constexpr const char* kClassName = "SearchFinish";
};

class ELocationFinish : public EStageFinish<ELocationFinish> {
public:
    static constexpr const char* kClassName = "LocationFinish";
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::string TextId;
    bool DisableOnMap = true;
    bool HideOnMap = false;
};

class EInvestigationClose : public EKind<EInvestigationClose> {
public:
    static constexpr const char* kClassName = "InvestigationClose";
    void SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager) override;
};

class EInvestigationWin : public EKind<EInvestigationWin> {
public:
    static constexpr const char* kClassName = "InvestigationWin";
    void SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager) override;
    void ReadFromIniFile(aOptionsFile& ini) override;
    bool IsEndGame = false;
    bool IsGoToMap = false;
};

class EJumpToRoom : public EKind<EJumpToRoom> {
public:
    static constexpr const char* kClassName = "JumpToRoom";
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::string JumpRoomName;
    bool BackDisable = false;
    bool MapDisable = false;
};

class EMagicStarsChanger : public EKind<EMagicStarsChanger> {
public:
    static constexpr const char* kClassName = "MagicStarsChanger";
    void SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager) override;
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::list<std::string> Items;
    bool ShowStars = false;
    std::int32_t AddScore = 0;
};

class ENpcItemIdent : public EKind<ENpcItemIdent> {
public:
    static constexpr const char* kClassName = "NpcItemIdent";
    void SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager) override;
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::string NPC_Image, TextId;
    std::string Item;  // a copy of ItemInInventory
    std::string ShowItem;
    bool IsDelItem = false;
    std::string OpenItem;
};

class EPersonagesDialog : public EKind<EPersonagesDialog> {
public:
    static constexpr const char* kClassName = "PersonagesDialog";
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::vector<std::string> DialogWithPersonages;
    std::string TextIdPrefix;
};

class EPlayFlash : public EKind<EPlayFlash> {
public:
    static constexpr const char* kClassName = "PlayFlash";
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::string FlashFile, MusicName;
};

class EPuzzleComplete : public EKind<EPuzzleComplete> {
public:
    static constexpr const char* kClassName = "PuzzleComplete";
    void SetOwner(CSpyEventsOwner* owner, CSpyEventsManager* manager) override;
    void ReadFromIniFile(aOptionsFile& ini) override;
    bool Visible = false;
};

class ESetTaskCompleted : public EKind<ESetTaskCompleted> {
public:
    static constexpr const char* kClassName = "SetTaskCompleted";
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::string TaskItem, ActionType, Sound;
    std::int32_t AddScore = 0;
};

class EShowMessage : public EKind<EShowMessage> {
public:
    static constexpr const char* kClassName = "ShowMessage";
    void ReadFromIniFile(aOptionsFile& ini) override;
    std::string TextId;
    std::int32_t AddScore = 0;
};

} // namespace SpyEvents

// Registers the 22 kinds and "EventBase" with the events' class registry;
// a second call changes nothing.
void RegisterEventKinds();
