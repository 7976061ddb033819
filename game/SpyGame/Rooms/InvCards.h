#pragma once
// The case-cards board (room "InvCards"): one card per section of
// "cards.ini", each naming its case, its picture (image group InvCards) and
// the item whose pick collects it ("FoundAs", room:item). Board items come
// in pairs: "<card>", shown while the card is collected and not yet taken
// (looked at), and "<card>_seen", shown once it was taken.
//
// Class extra of the room record: u32 n x (card name, u8 collected).
// Main thread only.
#include <memory>
#include <string>
#include <vector>

#include "game/SpyGame/Rooms/RoomBase.h"
#include "game/SpyGame/items/SpyItemRef.h"

class aImage;

class CInvCards : public CRoomBase {
public:
    static constexpr const char* kClassName = "InvCards";
    static constexpr const char* kFile = "cards.ini";
    static constexpr const char* kSeen = "_seen";

    struct Card {
        std::string name;
        std::string caseName;
        std::string image;
        CSpyItemRef foundAs;  // an empty room matches the item in any room
        bool collected = false;
    };

    static std::string GetClassStaticName() { return kClassName; }
    std::string GetClassName() const override { return kClassName; }
    void Entry(std::uint32_t value) override;
    void RefreshItemState() override;
    void AfterLoadInit(CRoomBase* murderHunt, CRoomBase* invCards) override;
    void OnItemPicked(CSpyItem* item) override;
    bool ShowsInventory() const override { return false; }

    // The card's picture by card name (or its board item); null when none.
    std::shared_ptr<aImage> LoadCardIcons(const std::string& name) const;
    // keep false forgets every collected card.
    void NewInvestigation(const std::string& caseName, bool keep);

    std::size_t GetCardCount() const { return m_cards.size(); }
    const Card* GetCard(std::size_t index) const { return index < m_cards.size() ? &m_cards[index] : nullptr; }
    const Card* FindCard(const std::string& name) const;

protected:
    void LoadSettings(CRoomData& data) override;
    std::uint32_t SaveExtra(SaveLoadSystem& system, std::uint32_t pos) const override;
    void LoadExtra(SaveLoadSystem& system, std::uint32_t pos, std::uint32_t length) override;

private:
    void ReadCards(const std::string& path);

    std::vector<Card> m_cards;
};
