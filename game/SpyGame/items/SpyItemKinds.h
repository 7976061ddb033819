#pragma once
// The item kinds beyond the plain "Item":
//   Door       Target (a room or _BACK: result 5) or CloseUp (a room: result
//              6); Locked and Key: locked until the Key is applied.
//   Container  Contents and an optional Key; opens once (on a click without
//              a Key, else when the Key is applied) over kOpenTime, busy
//              meanwhile; its contents hide until then. States closed/open.
//   Box        Contents and an optional Key needed the first time only;
//              every click toggles it; contents show while it is open.
//   Heap       Reveals; each click fades its topmost remaining object layer
//              out over kFadeTime (busy meanwhile); after the last it hides
//              and the Reveals items show.
#include <string>
#include <vector>

#include "game/SpyGame/items/SpyItem.h"

class CSpyDoor : public CSpyItem {
public:
    const std::string& GetTarget() const { return m_target; }
    const std::string& GetCloseUp() const { return m_closeUp; }
    const std::string& GetKey() const { return m_key; }
    bool IsLocked() const { return m_locked; }
    void SetLocked(bool locked) { m_locked = locked; }

    bool ApplyItem(const CSpyItemRef& used) override;
    void Reset() override;
    std::unique_ptr<CSpyItem> Clone() const override { return CloneOf(*this); }

protected:
    void LoadKind(aOptionsFile& ini) override;
    int ClickKind() override;
    std::uint8_t GetKindState() const override;
    void SetKindState(std::uint8_t state) override;

private:
    std::string m_target;
    std::string m_closeUp;
    std::string m_key;
    bool m_fileLocked = false;
    bool m_locked = false;
};

// Shared by the kinds that hold other items.
class CSpyHolder : public CSpyItem {
public:
    const std::vector<std::string>* GetContentNames() const override { return &m_contentNames; }
    const std::string& GetKey() const { return m_key; }

protected:
    // Reads the list key and, when asked, "Key".
    void LoadHolder(aOptionsFile& ini, const char* listKey, bool withKey);

    std::vector<std::string> m_contentNames;
    std::string m_key;
};

class CSpyContainer : public CSpyHolder {
public:
    static constexpr float kOpenTime = 0.4f;

    bool IsOpen() const { return m_open; }
    bool IsBusy() const override { return m_opening; }
    bool ApplyItem(const CSpyItemRef& used) override;
    void Reset() override;
    std::unique_ptr<CSpyItem> Clone() const override { return CloneOf(*this); }

protected:
    void LoadKind(aOptionsFile& ini) override;
    int ClickKind() override;
    void UpdateKind(float dt) override;
    bool FinishesOpening() const override { return m_opening; }
    bool HoldsOpen() const override { return m_open; }
    std::uint8_t GetKindState() const override { return m_open || m_opening ? 1 : 0; }
    void SetKindState(std::uint8_t state) override;
    std::string DefaultVisualState() const override { return "closed"; }

private:
    void BeginOpen();

    bool m_open = false;
    bool m_opening = false;
    float m_time = 0.0f;
};

class CSpyBox : public CSpyHolder {
public:
    bool IsOpen() const { return m_open; }
    bool IsUnlocked() const { return m_unlocked; }
    bool ApplyItem(const CSpyItemRef& used) override;
    void Reset() override;
    std::unique_ptr<CSpyItem> Clone() const override { return CloneOf(*this); }

protected:
    void LoadKind(aOptionsFile& ini) override;
    int ClickKind() override;
    bool HoldsOpen() const override { return m_open; }
    std::uint8_t GetKindState() const override;
    void SetKindState(std::uint8_t state) override;
    std::string DefaultVisualState() const override { return "closed"; }

private:
    void SetOpen(bool open);

    bool m_open = false;
    bool m_unlocked = false;
};

class CSpyHeap : public CSpyHolder {
public:
    static constexpr float kFadeTime = 0.3f;

    bool IsBusy() const override { return m_fading; }
    // Layers already faded out, and how many there are.
    std::size_t GetRemovedLayers() const { return m_removed; }
    std::size_t GetLayerCount() const { return m_layers.size(); }
    bool IsCleared() const { return m_cleared; }
    void Reset() override;
    std::unique_ptr<CSpyItem> Clone() const override { return CloneOf(*this); }

protected:
    void LoadKind(aOptionsFile& ini) override;
    int ClickKind() override;
    void UpdateKind(float dt) override;
    bool FinishesOpening() const override { return m_fading && m_removed + 1 >= m_layers.size(); }
    bool HidesWhenOpened() const override { return true; }
    bool HoldsOpen() const override { return m_cleared; }
    std::uint8_t GetKindState() const override;
    void SetKindState(std::uint8_t state) override;

private:
    // The objects of one layer take a fade factor.
    void FadeLayer(std::size_t index, float fade);
    void Clear();

    std::vector<int> m_layers;  // object layers, topmost first
    std::size_t m_removed = 0;
    bool m_fading = false;
    float m_time = 0.0f;
    bool m_cleared = false;
};

// Registers Item, Box, Container, Door and Heap; a second call changes
// nothing.
void RegisterItemKinds();
